#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orbisk::ipcam {

// The IP camera's message protocol: every request and every reply is a 12-byte header
// (command, status, parameter, data length n; little-endian) followed by n data bytes.
inline constexpr uint16_t kPort = 6666;
inline constexpr size_t kHeaderSize = 12;
// The largest reply the camera sends; a reply that announces more is refused.
inline constexpr uint32_t kMaxReplyData = 524800;
// The largest request data besides the file upload (the camera's message buffer).
inline constexpr uint32_t kMaxRequestData = 1u << 20;

enum Command : uint16_t {
    kUpload = 2,
    kCommand3 = 3,
    kQuery4 = 4,
    kQuery5 = 5,
    kRegister = 6,
    kSwitch7 = 7,
    kSwitch8 = 8,
    kSwitch9 = 9,
    kData10 = 10,
    kData11 = 11,
    kText12 = 12,
    kText13 = 13,
    kText14 = 14,
    kChipIdentity = 15,
    kValue16 = 16,
    kCommand17 = 17,
    kQuery18 = 18,
    kCommand19 = 19,
    kParam20 = 20,
};

// Register access (command 6): an 8-byte payload header at the start of the data, then the
// bytes of a write. One message moves at most kRegisterPiece bytes.
inline constexpr size_t kPayloadHeaderSize = 8;
inline constexpr uint32_t kRegisterPiece = 32;
inline constexpr uint16_t kAccessRead = 0x0080;  // low byte bit 7: data flows from the camera
enum AccessCode : uint16_t {
    kAccessMemory = 0x0001,
    kAccessI2C = 0x0002,  // extra selector 1: by slave address ("random")
    kAccessRegister03 = 0x0003,
    kAccessBlock05 = 0x0501,
    kAccessByte1D = 0x0A1D,
    kAccessByte01 = 0x0A01,
    kAccessByte05 = 0x0A05,
    kAccessByte06 = 0x0A06,
};
// The sensor's I2C address for the register operations.
inline constexpr uint8_t kSensorAddress = 0x60;

struct Header {
    uint16_t command = 0;
    uint16_t status = 0;
    uint32_t parameter = 0;
    uint32_t length = 0;
};

void EncodeHeader(const Header& header, uint8_t* out /* kHeaderSize */);
Header DecodeHeader(const uint8_t* in /* kHeaderSize */);
// A whole request: header (status 0) and data.
std::vector<uint8_t> Request(uint16_t command, uint32_t parameter, const uint8_t* data,
                             uint32_t length);

struct RegisterPayload {
    uint16_t code = 0;
    uint8_t extra = 0;  // extra selector
    uint8_t count = 0;  // bytes of this piece
    uint16_t second = 0;
    uint16_t address = 0;
};
void EncodePayload(const RegisterPayload& payload, uint8_t* out /* kPayloadHeaderSize */);

// The camera's host in an "rtsp://host:port/path" address (user information before "@" is
// skipped; an IPv6 host stays in its brackets). The port is not used: the camera always
// answers on kPort. False with the reason when the address cannot name a camera.
bool HostOfAddress(const std::string& address, std::string* host, std::string* reason);
inline constexpr const char* kWrongAddressText = "RTSP address is wrong!";

// The chip identity text of command 15: one to four hexadecimal digits (an "0x" before them
// is allowed), possibly followed by NUL bytes or white space. False for anything else.
bool ParseChipIdentityText(const uint8_t* data, size_t size, uint16_t* word);
inline constexpr size_t kChipIdentityTextMax = 16;

}  // namespace orbisk::ipcam
