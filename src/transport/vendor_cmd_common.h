#pragma once
#include <cstdint>

#include "platform/result.h"

namespace orbisk {

// Called after every data packet with the number of bytes it moved; null is allowed.
using ProgressCallback = void (*)(void* context, uint32_t bytes);

// The one command interface of every camera transport. An operation that a transport's wire
// protocol does not carry answers kNotImpl and touches no device; DevQualify answers false.
// Results: 0 success, 1 device lock not taken, kNotImpl, kInvalidArg (nothing sent), kFail,
// 0x8007nnnn for operating-system error nnnn (kDeviceGone: device not connected), other
// negative values as the platform returned them. The operations keep the interface's
// declaration order.
class CVendorCmdCommon {
  public:
    // Deleting a transport through this interface must be safe.
    virtual ~CVendorCmdCommon() = default;

    // Identity, status and resets.
    virtual bool DevQualify() { return false; }
    virtual HResult GetDevStatus(uint16_t first_record, uint8_t* out, uint32_t count);
    virtual HResult ResetToUpdateFW(uint16_t arg);
    virtual HResult ResetToNewCode(uint16_t arg);
    virtual HResult ResetToRom();

    // Memory and code access.
    virtual HResult ReadIMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                             void* context);
    virtual HResult ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                            void* context);
    virtual HResult WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf,
                             ProgressCallback progress, void* context);
    virtual HResult ReadCode(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                             void* context);
    virtual HResult ReadPhy(uint32_t addr, uint32_t len, uint8_t* buf);
    virtual HResult WritePhy(uint32_t addr, uint32_t len, const uint8_t* buf);

    // Program memories: NOR flash, serial flash, I2C EEPROM (8- and 16-bit addresses), MTP.
    virtual HResult NorFlash_Erase();
    virtual HResult NorFlash_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                  ProgressCallback progress, void* context);
    virtual HResult NorFlash_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                   ProgressCallback progress, void* context);
    virtual HResult NorFlash_WriteTag();
    virtual HResult SPI_SF_ReadID(uint8_t* id /* 8 bytes */);
    virtual HResult SPI_SF_FastRead(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                                    ProgressCallback progress, void* context);
    virtual HResult SPI_SF_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                                ProgressCallback progress, void* context);
    virtual HResult SPI_SF_ReadAlt(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                                   ProgressCallback progress, void* context);
    virtual HResult SPI_SF_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                 ProgressCallback progress, void* context);
    virtual HResult SPI_SF_ReadSr(uint8_t* status);
    virtual HResult SPI_SF_WriteSr(uint8_t value);
    virtual HResult SPI_SF_EraseChip(uint32_t ignored);
    virtual HResult SPI_SF_EraseSector(uint32_t addr, uint32_t sector_size);
    virtual HResult SPI_SF_WriteTag();
    virtual HResult I2C_EEP8_Erase(uint32_t len);
    virtual HResult I2C_EEP8_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                  ProgressCallback progress, void* context);
    virtual HResult I2C_EEP8_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                   ProgressCallback progress, void* context);
    // Writes the tag byte 0xA5 at address 1 through I2C_EEP8_Write.
    virtual HResult I2C_EEP8_WriteTag();
    virtual HResult I2C_EEP16_Erase(uint32_t len);
    virtual HResult I2C_EEP16_Read(uint32_t addr, uint32_t len, uint8_t* buf,
                                   ProgressCallback progress, void* context);
    virtual HResult I2C_EEP16_Write(uint32_t addr, uint32_t len, const uint8_t* buf,
                                    ProgressCallback progress, void* context);
    // Writes the tag byte 0xA5 at address 1 through I2C_EEP16_Write.
    virtual HResult I2C_EEP16_WriteTag();
    virtual HResult MTP_ReadData(uint32_t addr, uint32_t len, uint8_t* buf,
                                 ProgressCallback progress, void* context);
    virtual HResult MTP_WriteData(uint32_t addr, uint32_t len, const uint8_t* buf,
                                  ProgressCallback progress, void* context);
    virtual HResult MTP_Erase(uint32_t len);
    virtual HResult MTP_Read(uint32_t addr, uint32_t len, uint8_t* buf, uint8_t mode,
                             ProgressCallback progress, void* context);
    virtual HResult MTP_Write(uint32_t addr, uint32_t len, const uint8_t* buf, uint8_t mode,
                              ProgressCallback progress, void* context);
    virtual HResult MTP_WriteTag();

    // Sensor I2C: by slave address, and a sensor register (width 1 = 8-bit, 2 = 16-bit value).
    virtual HResult I2CRead(uint8_t slave, uint16_t len, uint8_t* buf);
    virtual HResult I2CRead(uint8_t width, uint32_t reg, uint16_t* value);
    virtual HResult I2CWrite(uint8_t slave, uint16_t len, const uint8_t* data);
    virtual HResult I2CWrite(uint8_t width, uint32_t reg, uint16_t value);

    virtual HResult IpCamRegRead83(uint32_t addr, uint32_t len, uint8_t* buf);
    virtual HResult IpCamRegWrite03(uint32_t addr, uint32_t len, const uint8_t* buf);
    virtual HResult VendorWrite52(uint8_t value);
    virtual HResult GetSensorImgDir(uint8_t* value);
    virtual HResult SetSensorImgDir(uint8_t value);
    virtual HResult GetSensorEffect(uint8_t* value);
    virtual HResult SetSensorEffect(uint8_t value);
    virtual HResult VendorReadE0(uint8_t* value);
    virtual HResult VendorReadE1(uint8_t* value);
    virtual HResult VendorReadE2(uint8_t* value);
    virtual HResult I2CGenRead(uint8_t addr, uint16_t len, uint8_t* buf);
    virtual HResult I2CGenWrite(uint8_t addr, uint16_t len, const uint8_t* buf);
    virtual HResult I2CRandomRead(uint8_t slave, uint16_t len, uint8_t* buf);
    virtual HResult I2CRandomWrite(uint8_t slave, uint16_t len, const uint8_t* buf);
    virtual HResult I2CSuperRead(uint8_t slave, uint16_t len, uint8_t* buf);
    virtual HResult I2CSuperWrite(uint8_t slave, uint16_t len, const uint8_t* buf);
    virtual HResult I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                                ProgressCallback progress, void* context);
    // piece_size is used by the first vendor-request generation; the extension unit always
    // moves 64-byte pieces.
    virtual HResult I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t piece_size, uint32_t len,
                                 const uint8_t* buf, ProgressCallback progress, void* context);

    // Image, video coding, on-screen display and audio controls.
    virtual HResult GetSensorFormat(uint8_t* value);
    virtual HResult SetOSDSRAM(const uint8_t* data, uint16_t len);
    virtual HResult SetOSDTIME(const uint8_t* data, uint16_t len);
    virtual HResult SetAEMotionDetectSensitivity(uint8_t value);
    virtual HResult GetAEMotionDetectSensitivity(uint8_t* value);
    virtual HResult GetAEMotinoDetectResult(uint8_t* result /* 4 bytes */);
    virtual HResult GetCircumStatus(uint8_t* value);
    virtual HResult ReadOSDCFGString(uint8_t* buf, uint16_t len);
    virtual HResult WriteOSDCFGString(const uint8_t* buf, uint16_t len);
    virtual HResult SetCircumCtrl(uint8_t value);
    virtual HResult VendorCommand4F();
    virtual HResult SetMTDSensitivity(const uint8_t* values /* 3 bytes */);
    virtual HResult GetMTDSensitivity(uint8_t* values /* 3 bytes */);
    virtual HResult SetPowerMipi(uint8_t state);
    // 0 when the device reports itself as a MIPI I/O bridge.
    virtual HResult ProbeMipiIO();
    virtual HResult Shale_MJPG_Q_GET(uint8_t* value);
    virtual HResult Shale_MJPG_Q_SET(uint8_t value);
    virtual HResult Shale_Crop_Start_Set(const uint8_t* data, uint16_t len);
    virtual HResult Shale_Crop_Start_Get(uint16_t len, uint8_t* buf);

    // IP camera.
    virtual HResult IpCamSendFile(const char* path);
    virtual HResult IpCamCommand3();
    virtual HResult IpCamCommand3Ex();
    virtual HResult IpCamQuery4(uint8_t* buf, uint32_t size, uint8_t value);
    virtual HResult IpCamQuery5(uint8_t* buf, uint32_t size, uint8_t value);
    virtual HResult IpCamGet9(uint32_t* value);
    virtual HResult IpCamSet9(bool on);
    virtual HResult IpCamGet7(uint32_t* value);
    virtual HResult IpCamSet7(bool on, const char* path);
    virtual HResult IpCamGet8(uint32_t* value);
    virtual HResult IpCamSet8(bool on);
    // len: capacity of buf on entry, bytes stored on return.
    virtual HResult IpCamGet10(uint8_t* buf, uint32_t* len);
    virtual HResult IpCamSet10(const uint8_t* data, uint32_t len);
    virtual HResult IpCamGet11(uint8_t* buf, uint32_t* len);
    virtual HResult IpCamGet12(uint8_t* buf, uint32_t size);
    virtual HResult IpCamGet13(uint8_t* buf, uint32_t size);
    virtual HResult IpCamGet14(uint8_t* buf, uint32_t size);
    virtual HResult IpCamGet16(uint8_t* value);
    virtual HResult IpCamSet16(uint8_t value);
    virtual HResult IpCamCommand19(uint8_t value);

    virtual HResult GetIRMode(uint8_t* buf, uint16_t len);
    virtual HResult GetIRResolution(uint16_t* width, uint16_t* height, uint8_t* extra);
    virtual HResult IsSupportUVTag(uint32_t* supported);
    virtual HResult Shale_Camera_Switch(uint8_t value);
    virtual HResult Shale_Denoise_Set(uint8_t value);

    // OTP: the two trailing values are accepted and ignored.
    virtual HResult OTP_Write(uint16_t addr, uint16_t len, uint16_t bank, const uint8_t* data,
                              uint32_t ignored1, uint32_t ignored2);
    virtual HResult OTP_Read(uint16_t addr, uint16_t len, uint8_t* out, uint32_t ignored1,
                             uint32_t ignored2);
    virtual HResult OTP_BlankCheck(uint16_t addr, uint16_t len, uint8_t* out, uint32_t ignored1,
                                   uint32_t ignored2);
    virtual HResult OTP_AllBlankCheck(uint16_t start, uint16_t len, uint8_t* out, uint32_t ignored1,
                                      uint32_t ignored2);
    virtual HResult OTP_ReadProgramFailAdr(uint16_t len, uint8_t* out);

    virtual HResult SetSrcSwap(uint8_t channel, uint8_t value);
    virtual HResult GetSrsSwap(uint8_t channel, uint8_t* value);
    virtual HResult BpsThresholdSet(uint8_t value);
    virtual HResult BpsThresholdGet(uint8_t* value);
    virtual HResult MeRangeSet(uint8_t first, uint8_t second);
    virtual HResult MeRangeGet(uint8_t* first, uint8_t* second);
    virtual HResult AudioHWVersionGet(uint8_t* value);
    virtual HResult MDIORead(uint16_t arg, uint16_t len, uint8_t* buf);
    virtual HResult MDIOWrite(uint16_t arg, uint16_t len, const uint8_t* buf);
    virtual HResult MDIORead2(uint16_t arg, uint16_t len, uint8_t* buf);
    virtual HResult MDIOWrite2(uint16_t arg, uint16_t len, const uint8_t* buf);
    virtual HResult VD3AVersionGet(uint8_t index, uint8_t* version /* 3 bytes */);

    virtual HResult IpCamQuery18(uint8_t* buf, uint32_t size);
    virtual HResult IpCamCommand17(uint8_t value);
    virtual HResult IpCamRead0581(uint8_t selector, uint32_t len, uint8_t* buf);
    virtual HResult IpCamWrite0501(uint8_t selector, uint32_t len, const uint8_t* buf);
    virtual HResult IpCamWrite0A1D(uint8_t value);
    virtual HResult IpCamRead0A9D(uint8_t* value);
    virtual HResult IpCamSet20(uint32_t param, uint32_t value);
    virtual HResult IpCamGet20(uint32_t param, uint32_t* value);

    // Protection.
    virtual HResult SecureBioByPass(const uint8_t* data, uint16_t len);
    virtual bool IsSecureBioByPass() { return false; }
    virtual HResult GetWPStatus(uint8_t* value);
};

}  // namespace orbisk
