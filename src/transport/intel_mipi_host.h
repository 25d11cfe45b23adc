#pragma once
#include <memory>

#include "platform/i2c_adapter.h"
#include "transport/mipi_vendor_cmd.h"

namespace orbisk {

// The MIPI bridge of a camera on a host I2C adapter: the mailbox commands of CMipiVendorCmd,
// with the I2C long read and write going to the adapter instead of a USB transport. The
// bridge's addresses are given in their 8-bit (write) form, as the controller's commands name
// them; the adapter takes the 7-bit address.
class CIntelMipiHost : public CMipiVendorCmd {
  public:
    // Without an adapter every transfer answers 1.
    CIntelMipiHost(std::unique_ptr<I2cAdapter> adapter, Logger& logger);

    // Pieces of 64 bytes, the register advancing with them; a write marks every piece but the
    // last with bit 15 of its register, as the extension unit's long write does.
    HResult I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                        ProgressCallback progress, void* context) override;
    HResult I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t piece_size, uint32_t len,
                         const uint8_t* buf, ProgressCallback progress, void* context) override;

  private:
    std::unique_ptr<I2cAdapter> adapter_;
};

}  // namespace orbisk
