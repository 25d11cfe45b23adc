#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/result.h"

namespace orbisk {

// One message of a combined I2C transfer: 7-bit device address, direction, buffer.
struct I2cMessage {
    uint16_t address = 0;
    bool read = false;
    uint8_t* data = nullptr;
    uint16_t length = 0;
};

// A host I2C adapter as the kernel offers one (/dev/i2c-N): combined transfers, a repeated
// start between the messages of one transfer. The simulated MIPI bridge serves the same face.
class I2cAdapter {
  public:
    virtual ~I2cAdapter() = default;
    // kOk when every message went through; otherwise why not (a device that did not
    // acknowledge, a transfer the adapter cut short, an adapter that went away).
    virtual HResult Transfer(std::span<I2cMessage> messages) = 0;
};

// Register access to a device with 16-bit register addresses, most significant byte first:
// a write is one message (register, then data); a read writes the register and reads back in
// a second message of the same transfer.
HResult I2cWriteRegister(I2cAdapter& adapter, uint16_t address, uint16_t reg, const uint8_t* data,
                         uint16_t length);
HResult I2cReadRegister(I2cAdapter& adapter, uint16_t address, uint16_t reg, uint8_t* out,
                        uint16_t length);

// Opens the host's I2C adapter named by `name`: "/dev/i2c-3", "i2c-3" or "3". nullptr with a
// reason when there is none, it cannot be opened, or it cannot do combined transfers.
using I2cAdapterOpener = std::unique_ptr<I2cAdapter> (*)(const std::string& name,
                                                         std::string* error);

}  // namespace orbisk
