#pragma once
#include <cstdint>

#include "platform/usb.h"
#include "transport/vendor_cmd_common.h"

namespace orbisk {

class Logger;

// USB vendor requests of the second generation: every operation is one vendor request (or a
// row of 4,096-byte ones) to the device. No device lock is taken.
class CVendorRequestV2 : public CVendorCmdCommon {
  public:
    static constexpr uint32_t kPiece = 4096;

    // The device handle belongs to the camera record and must outlive the transport.
    CVendorRequestV2(UsbDeviceHandle& device, Logger& logger);
    ~CVendorRequestV2() override;

    bool DevQualify() override;
    HResult GetDevStatus(uint16_t first_record, uint8_t* out, uint32_t count) override;
    HResult ResetToUpdateFW(uint16_t arg) override;
    HResult ResetToNewCode(uint16_t arg) override;
    HResult ResetToRom() override;
    HResult ReadIMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    HResult ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                    void* context) override;
    HResult WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    HResult ReadCode(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    HResult ReadPhy(uint32_t addr, uint32_t len, uint8_t* buf) override;
    HResult WritePhy(uint32_t addr, uint32_t len, const uint8_t* buf) override;
    HResult NorFlash_Erase() override;
    HResult NorFlash_Read(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                          void* context) override;
    HResult NorFlash_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                           ProgressCallback progress, void* context) override;
    HResult NorFlash_WriteTag() override;
    HResult SPI_SF_ReadID(uint8_t* id) override;
    HResult SPI_SF_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                        ProgressCallback progress, void* context) override;
    HResult SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                         void* context) override;
    HResult SPI_SF_ReadSr(uint8_t* status) override;
    HResult SPI_SF_WriteSr(uint8_t value) override;
    HResult SPI_SF_EraseChip(uint32_t ignored) override;
    HResult SPI_SF_EraseSector(uint32_t addr, uint32_t sector_size) override;
    HResult SPI_SF_WriteTag() override;
    HResult I2C_EEP8_Erase(uint32_t len) override;
    HResult I2C_EEP8_Read(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                          void* context) override;
    HResult I2C_EEP8_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                           ProgressCallback progress, void* context) override;
    HResult I2C_EEP16_Erase(uint32_t len) override;
    HResult I2C_EEP16_Read(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                           void* context) override;
    HResult I2C_EEP16_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                            ProgressCallback progress, void* context) override;
    HResult MTP_ReadData(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                         void* context) override;
    HResult MTP_WriteData(uint32_t addr, uint32_t len, const uint8_t* buf,
                          ProgressCallback progress, void* context) override;
    HResult MTP_Erase(uint32_t len) override;
    HResult MTP_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                     ProgressCallback progress, void* context) override;
    HResult MTP_Write(uint32_t addr, uint32_t len, const uint8_t* buf, uint8_t mode,
                      ProgressCallback progress, void* context) override;
    HResult MTP_WriteTag() override;
    HResult I2CRead(uint8_t width, uint32_t reg, uint16_t* value) override;
    HResult I2CWrite(uint8_t width, uint32_t reg, uint16_t value) override;
    using CVendorCmdCommon::I2CRead;
    using CVendorCmdCommon::I2CWrite;
    HResult VendorWrite52(uint8_t value) override;
    HResult GetSensorImgDir(uint8_t* value) override;
    HResult SetSensorImgDir(uint8_t value) override;
    HResult GetSensorEffect(uint8_t* value) override;
    HResult SetSensorEffect(uint8_t value) override;
    HResult VendorReadE0(uint8_t* value) override;
    HResult VendorReadE1(uint8_t* value) override;
    HResult VendorReadE2(uint8_t* value) override;
    HResult I2CGenRead(uint8_t addr, uint16_t len, uint8_t* buf) override;
    HResult I2CGenWrite(uint8_t addr, uint16_t len, const uint8_t* buf) override;
    HResult I2CRandomRead(uint8_t slave, uint16_t len, uint8_t* buf) override;
    HResult I2CRandomWrite(uint8_t slave, uint16_t len, const uint8_t* buf) override;

    // Own operations.
    HResult ReadVendorByte(uint8_t* value);
    HResult WriteVendorByte(uint8_t value);
    HResult VendorRead42(uint32_t addr, uint16_t len, uint8_t* buf);
    HResult VendorWrite41(uint32_t addr, uint16_t len, const uint8_t* buf);
    HResult VendorRead40(uint32_t addr, uint16_t len, uint8_t* buf);
    HResult VendorWrite3F(uint16_t len, const uint8_t* buf);
    HResult VendorCommand43();

  private:
    // One request; data may be null when length is 0. Failures are logged.
    HResult Send(uint8_t type_bits, uint8_t request, uint16_t value, uint16_t index,
                 const uint8_t* out_data, uint8_t* in_data, uint16_t length);
    // One request with the packed address and length (at most 0xFFFF bytes).
    HResult Single(uint8_t type_bits, uint8_t request, uint8_t selector, uint32_t addr,
                   uint32_t len, const uint8_t* out_data, uint8_t* in_data);
    // A transfer in 4,096-byte requests with progress per request.
    HResult Pieces(uint8_t type_bits, uint8_t request, uint8_t selector, uint32_t addr,
                   uint32_t len, const uint8_t* out_data, uint8_t* in_data,
                   ProgressCallback progress, void* context);
    // len bytes of 0xFF from address 0 with a write request.
    HResult Blank(uint8_t request, uint8_t selector, uint32_t len);

    UsbDeviceHandle& device_;
    Logger& logger_;
};

}  // namespace orbisk
