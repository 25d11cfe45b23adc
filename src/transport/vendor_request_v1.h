#pragma once
#include <cstdint>

#include "transport/ext_unit.h"

namespace orbisk {

// USB vendor requests of the first generation. Everything it does not carry itself goes
// through the extension unit it derives from. Its own requests take no device lock.
class CVendorRequestV1 : public CExtUnit {
  public:
    static constexpr uint32_t kPiece = 4096;

    using CExtUnit::CExtUnit;

    HResult ResetToUpdateFW(uint16_t arg) override;
    HResult ResetToNewCode(uint16_t arg) override;
    HResult ResetToRom() override;
    HResult NorFlash_Erase() override;
    HResult NorFlash_Read(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                          void* context) override;
    HResult NorFlash_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                           ProgressCallback progress, void* context) override;
    HResult NorFlash_WriteTag() override;
    HResult SPI_SF_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                        ProgressCallback progress, void* context) override;
    HResult SPI_SF_ReadAlt(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                           ProgressCallback progress, void* context) override;
    HResult SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                         void* context) override;
    HResult SPI_SF_EraseChip(uint32_t ignored) override;
    HResult SPI_SF_WriteTag() override;
    HResult I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                        ProgressCallback progress, void* context) override;
    // Pieces of piece_size bytes; the last one goes with bit 15 of the register cleared.
    HResult I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t piece_size, uint32_t len,
                         const uint8_t* buf, ProgressCallback progress, void* context) override;
    HResult VendorCommand4F() override;

    HResult ReadVendorByte(uint8_t* value);
    HResult WriteVendorByte(uint8_t value);

  private:
    // One request; data may be null when length is 0. Failures are logged.
    HResult Send(uint8_t type_bits, uint8_t request, uint16_t value, uint16_t index,
                 const uint8_t* out_data, uint8_t* in_data, uint16_t length);
    // A transfer in 4,096-byte requests with the packed address and length.
    HResult Pieces(uint8_t type_bits, uint8_t request, uint8_t selector, uint32_t addr,
                   uint32_t len, const uint8_t* out_data, uint8_t* in_data,
                   ProgressCallback progress, void* context);
};

}  // namespace orbisk
