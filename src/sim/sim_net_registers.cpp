// Register access of the simulated network camera (command 6): the controller's registers,
// the I2C bus with the sensor, and the camera's own register spaces.
#include <algorithm>
#include <cstring>

#include "sim/sim_net_camera.h"

namespace orbisk::sim {
namespace {

constexpr size_t kPayloadHeader = 8;
constexpr uint8_t kMaxPiece = 32;
constexpr uint16_t kRead = 0x0080;

// A piece of a plain register space: false when it reaches past the end.
bool MoveBytes(uint8_t* space, size_t size, uint16_t address, bool read,
               std::vector<uint8_t>* bytes) {
    if (size_t{address} + bytes->size() > size) return false;
    if (read)
        std::copy_n(space + address, bytes->size(), bytes->begin());
    else
        std::copy(bytes->begin(), bytes->end(), space + address);
    return true;
}

}  // namespace

uint16_t SimNetCamera::I2cTransfer(uint8_t slave, bool read, uint8_t* bytes, uint8_t count) {
    const auto it = i2c_.find(slave);
    if (it == i2c_.end()) return kNetNoAcknowledge;
    I2cDevice& device = it->second;
    uint8_t i = 0;
    if (read) {
        for (; i < count; ++i) bytes[i] = device.registers[device.pointer++];
        device.selected = false;
        return kNetOk;
    }
    if (!device.selected) {
        device.pointer = bytes[i++];
        device.selected = count == 1;
        if (device.selected) return kNetOk;
    } else {
        device.selected = false;
    }
    for (; i < count; ++i) device.registers[device.pointer++] = bytes[i];
    return kNetOk;
}

SimNetCamera::Reply SimNetCamera::Register(const Request& request) {
    const std::vector<uint8_t>& data = request.data;
    if (request.parameter != 0 || data.size() < kPayloadHeader) return {kNetBadRequest};
    const uint16_t code = static_cast<uint16_t>(data[0] | (data[1] << 8));
    const uint8_t extra = data[2];
    const uint8_t count = data[3];
    const uint16_t second = static_cast<uint16_t>(data[4] | (data[5] << 8));
    const uint16_t address = static_cast<uint16_t>(data[6] | (data[7] << 8));
    const bool read = (code & kRead) != 0;
    const size_t expected = kPayloadHeader + (read ? 0 : count);
    if (count == 0 || count > kMaxPiece || second != 0 || data.size() != expected)
        return {kNetBadRequest};

    // The reply repeats the payload header; a read adds the bytes read.
    Reply reply{kNetOk, 0, std::vector<uint8_t>(data.begin(), data.begin() + kPayloadHeader)};
    std::vector<uint8_t> bytes(count);
    if (!read) std::copy(data.begin() + kPayloadHeader, data.end(), bytes.begin());
    switch (code & ~kRead) {
        case 0x0001:
            if (extra != 0) return {kNetBadRequest};
            if ((read ? camera_->ReadRegisters(address, count, bytes.data())
                      : camera_->WriteRegisters(address, bytes.data(), count)) != kStsNoErr)
                return {kNetOutOfRange};
            break;
        case 0x0002:
            // Extra selector 0: the general transfer, 1: by slave address; one bus.
            if (extra > 1) return {kNetBadRequest};
            if (address > 0xFF) return {kNetNoAcknowledge};
            if (uint16_t status =
                    I2cTransfer(static_cast<uint8_t>(address), read, bytes.data(), count);
                status != kNetOk)
                return {status};
            break;
        case 0x0003:
            if (extra != 0) return {kNetBadRequest};
            if (!MoveBytes(registers03_.data(), registers03_.size(), address, read, &bytes))
                return {kNetOutOfRange};
            break;
        case 0x0501: {
            auto& block = blocks05_[extra];
            if (!MoveBytes(block.data(), block.size(), address, read, &bytes))
                return {kNetOutOfRange};
            break;
        }
        case 0x0A1D:
        case 0x0A01:
        case 0x0A05:
        case 0x0A06: {
            if (extra != 0 || count != 1 || address != 0) return {kNetBadRequest};
            uint8_t& value = bytes0a_[static_cast<uint16_t>(code & ~kRead)];
            if (read)
                bytes[0] = value;
            else
                value = bytes[0];
            break;
        }
        default:
            return {kNetUnknownCommand};
    }
    if (read) reply.data.insert(reply.data.end(), bytes.begin(), bytes.end());
    return reply;
}

}  // namespace orbisk::sim
