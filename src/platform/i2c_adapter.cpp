#include "platform/i2c_adapter.h"

#include <cstring>
#include <vector>

namespace orbisk {

HResult I2cWriteRegister(I2cAdapter& adapter, uint16_t address, uint16_t reg, const uint8_t* data,
                         uint16_t length) {
    if (length > 0xFFFF - 2 || (length != 0 && data == nullptr)) return kInvalidArg;
    std::vector<uint8_t> bytes(size_t{length} + 2);
    bytes[0] = static_cast<uint8_t>(reg >> 8);
    bytes[1] = static_cast<uint8_t>(reg);
    if (length != 0) std::memcpy(bytes.data() + 2, data, length);
    I2cMessage message{address, false, bytes.data(), static_cast<uint16_t>(bytes.size())};
    return adapter.Transfer(std::span(&message, 1));
}

HResult I2cReadRegister(I2cAdapter& adapter, uint16_t address, uint16_t reg, uint8_t* out,
                        uint16_t length) {
    if (length == 0 || out == nullptr) return kInvalidArg;
    uint8_t reg_bytes[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg)};
    I2cMessage messages[2] = {{address, false, reg_bytes, 2}, {address, true, out, length}};
    return adapter.Transfer(messages);
}

}  // namespace orbisk
