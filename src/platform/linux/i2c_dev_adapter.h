#pragma once
#include <memory>
#include <string>

#include "platform/i2c_adapter.h"

namespace orbisk {

// A host I2C adapter through the kernel's i2c-dev interface: combined transfers with the
// I2C_RDWR request on /dev/i2c-N.
class I2cDevAdapter final : public I2cAdapter {
  public:
    // `name`: "/dev/i2c-3", "i2c-3" or "3". nullptr with a reason when the node is missing,
    // cannot be opened, or its adapter cannot do combined (plain I2C) transfers.
    static std::unique_ptr<I2cAdapter> Open(const std::string& name, std::string* error);
    ~I2cDevAdapter() override;
    I2cDevAdapter(const I2cDevAdapter&) = delete;
    I2cDevAdapter& operator=(const I2cDevAdapter&) = delete;

    // A transfer of which the kernel ran fewer messages than it was given fails with EIO.
    HResult Transfer(std::span<I2cMessage> messages) override;

  private:
    explicit I2cDevAdapter(int fd) : fd_(fd) {}
    int fd_;
};

// The device node for an adapter name, or empty when the name is none.
std::string I2cDevNodeFor(const std::string& name);

}  // namespace orbisk
