#include "sim/sim_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orbisk::sim {

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// A string record: payload bLength, 0x03, then 8-bit characters.
std::string StringPayload(const uint8_t* payload, size_t payload_length) {
    if (payload_length < 2 || payload[1] != 0x03) return {};
    size_t length = payload[0];
    if (length < 2) return {};
    length = std::min(length, payload_length) - 2;
    return std::string(reinterpret_cast<const char*>(payload + 2), length);
}

void ReadConfig(const std::vector<uint8_t>& memory, uint32_t start, ImageFacts* facts) {
    if (start + 6 > memory.size()) return;
    const uint8_t* area = memory.data() + start;
    if (area[1] != 0xA5) return;
    facts->has_config = true;
    facts->chip_model_index = static_cast<uint8_t>(area[2] >> 3);
    const size_t limit = std::min<size_t>(memory.size() - start, 0x20000);
    const size_t total = std::min<size_t>(Le16(area + 3), limit);
    const int count = area[5];
    size_t position = 6;
    // The count covers every record after the header, the leading 0x2F and 0x08 included.
    for (int i = 0; i < count && position + 2 <= total; ++i) {
        const uint8_t type = area[position + 1] & 0x3F;
        size_t length = area[position] | ((area[position + 1] & 0xC0) << 2);
        size_t payload_offset = 2;
        if (length == 1023 && position + 4 <= total) {
            length = Le16(area + position + 2);
            payload_offset = 4;
        }
        if (length < 2 || position + length > total) break;
        const uint8_t* payload = area + position + payload_offset;
        const size_t payload_length = length - payload_offset;
        switch (type) {
            case 0x2F:
                if (payload_length >= 4) {
                    facts->config_chip_id = Le16(payload);
                    facts->config_version = Le16(payload + 2);
                }
                break;
            case 0x04:
                if (payload_length >= 6) {
                    facts->identity.vid = Le16(payload);
                    facts->identity.pid = Le16(payload + 2);
                    facts->identity.rev = Le16(payload + 4);
                    facts->has_identity = true;
                }
                break;
            case 0x01:
                facts->identity.manufacturer = StringPayload(payload, payload_length);
                break;
            case 0x02:
                facts->identity.product = StringPayload(payload, payload_length);
                break;
            case 0x03:
                facts->identity.serial = StringPayload(payload, payload_length);
                break;
            default:
                break;
        }
        position += length;
    }
}

}  // namespace

ImageFacts ReadImageFacts(const std::vector<uint8_t>& memory, uint32_t config_address,
                          uint32_t tag_address) {
    ImageFacts facts;
    facts.tagged = tag_address + 1 < memory.size() && memory[tag_address] == 0x55 &&
                   memory[tag_address + 1] == 0xAA;
    ReadConfig(memory, config_address, &facts);
    const size_t marker_length = sizeof kVersionMarker - 1;
    const uint8_t* marker = memory.data() + kVersionMarkerOffset;
    if (kVersionMarkerOffset + marker_length + 4 <= memory.size() &&
        std::memcmp(marker, kVersionMarker, marker_length) == 0) {
        const uint8_t* v = marker + marker_length;
        facts.marker_version =
            uint32_t{v[0]} | uint32_t{v[1]} << 8 | uint32_t{v[2]} << 16 | uint32_t{v[3]} << 24;
    }
    return facts;
}

std::string VersionText(const std::vector<uint8_t>& s) {
    if (s.size() < 84) return "N/A";
    // Primary fields unless the primary run mode is 0 and the secondary one is usable.
    const bool secondary = (s[64] & 0x0F) == 0 && (s[72] & 0x0F) != 0 && (s[72] & 0x0F) != 11;
    const uint8_t lead = secondary ? s[75] : s[67];
    const size_t word = secondary ? 78 : 70;
    char text[32];
    std::snprintf(text, sizeof text, "0x%02X-%02X%02X-%02X%02X", lead, s[word], s[word + 1], s[5],
                  s[4]);
    return text;
}

}  // namespace orbisk::sim
