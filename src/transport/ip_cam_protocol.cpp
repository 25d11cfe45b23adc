#include "transport/ip_cam_protocol.h"

#include <strings.h>

#include <cctype>
#include <cstring>

namespace orbisk::ipcam {
namespace {

void Put16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}
void Put32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
uint16_t Get16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}
uint32_t Get32(const uint8_t* in) {
    return uint32_t{in[0]} | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16) |
           (uint32_t{in[3]} << 24);
}

}  // namespace

void EncodeHeader(const Header& header, uint8_t* out) {
    Put16(out, header.command);
    Put16(out + 2, header.status);
    Put32(out + 4, header.parameter);
    Put32(out + 8, header.length);
}

Header DecodeHeader(const uint8_t* in) {
    return Header{Get16(in), Get16(in + 2), Get32(in + 4), Get32(in + 8)};
}

std::vector<uint8_t> Request(uint16_t command, uint32_t parameter, const uint8_t* data,
                             uint32_t length) {
    std::vector<uint8_t> message(kHeaderSize + length);
    EncodeHeader(Header{command, 0, parameter, length}, message.data());
    if (length != 0) std::memcpy(message.data() + kHeaderSize, data, length);
    return message;
}

void EncodePayload(const RegisterPayload& payload, uint8_t* out) {
    Put16(out, payload.code);
    out[2] = payload.extra;
    out[3] = payload.count;
    Put16(out + 4, payload.second);
    Put16(out + 6, payload.address);
}

bool HostOfAddress(const std::string& address, std::string* host, std::string* reason) {
    constexpr size_t kScheme = 7;  // "rtsp://"
    if (address.size() < kScheme || strncasecmp(address.c_str(), "rtsp://", kScheme) != 0) {
        *reason = "not an rtsp:// address";
        return false;
    }
    // Only the authority names the host: a ":" in the stream path must not cut it.
    std::string authority = address.substr(kScheme, address.find('/', kScheme) - kScheme);
    if (const size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
    size_t colon = authority.rfind(':');
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        colon = close == std::string::npos ? std::string::npos : authority.find(':', close);
    }
    if (colon == std::string::npos || colon == 0) {
        *reason = kWrongAddressText;
        return false;
    }
    *host = authority.substr(0, colon);
    return true;
}

bool ParseChipIdentityText(const uint8_t* data, size_t size, uint16_t* word) {
    if (size > kChipIdentityTextMax) return false;
    size_t end = 0;
    while (end < size && data[end] != 0) ++end;
    // Whatever follows the first NUL must be padding.
    for (size_t i = end; i < size; ++i)
        if (data[i] != 0) return false;
    while (end > 0 && std::isspace(data[end - 1])) --end;
    size_t begin = 0;
    if (end >= 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X')) begin = 2;
    if (end == begin || end - begin > 4) return false;
    uint32_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (!std::isxdigit(data[i])) return false;
        const int c = std::tolower(data[i]);
        value = value * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    *word = static_cast<uint16_t>(value);
    return true;
}

}  // namespace orbisk::ipcam
