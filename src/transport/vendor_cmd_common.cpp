#include "transport/vendor_cmd_common.h"

namespace orbisk {

// Every operation answers "not implemented" until a transport carries it.

HResult CVendorCmdCommon::GetDevStatus(uint16_t, uint8_t*, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ResetToUpdateFW(uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ResetToNewCode(uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ResetToRom() {
    return kNotImpl;
}
HResult CVendorCmdCommon::ReadIMem(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ReadMem(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::WriteMem(uint32_t, uint32_t, const uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ReadCode(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ReadPhy(uint32_t, uint32_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::WritePhy(uint32_t, uint32_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::NorFlash_Erase() {
    return kNotImpl;
}
HResult CVendorCmdCommon::NorFlash_Read(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::NorFlash_Write(uint32_t, uint32_t, const uint8_t*, ProgressCallback,
                                         void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::NorFlash_WriteTag() {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_ReadID(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_FastRead(uint32_t, uint32_t, uint8_t*, uint8_t, ProgressCallback,
                                          void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_Read(uint32_t, uint32_t, uint8_t*, uint8_t, ProgressCallback,
                                      void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_ReadAlt(uint32_t, uint32_t, uint8_t*, uint8_t, ProgressCallback,
                                         void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_Write(uint32_t, uint32_t, const uint8_t*, ProgressCallback,
                                       void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_ReadSr(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_WriteSr(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_EraseChip(uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_EraseSector(uint32_t, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SPI_SF_WriteTag() {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2C_EEP8_Erase(uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2C_EEP8_Read(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2C_EEP8_Write(uint32_t, uint32_t, const uint8_t*, ProgressCallback,
                                         void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2C_EEP16_Erase(uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2C_EEP16_Read(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2C_EEP16_Write(uint32_t, uint32_t, const uint8_t*, ProgressCallback,
                                          void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MTP_ReadData(uint32_t, uint32_t, uint8_t*, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MTP_WriteData(uint32_t, uint32_t, const uint8_t*, ProgressCallback,
                                        void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MTP_Erase(uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MTP_Read(uint32_t, uint32_t, uint8_t*, uint8_t, ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MTP_Write(uint32_t, uint32_t, const uint8_t*, uint8_t, ProgressCallback,
                                    void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MTP_WriteTag() {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CRead(uint8_t, uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CRead(uint8_t, uint32_t, uint16_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CWrite(uint8_t, uint16_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CWrite(uint8_t, uint32_t, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamRegRead83(uint32_t, uint32_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamRegWrite03(uint32_t, uint32_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::VendorWrite52(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetSensorImgDir(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetSensorImgDir(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetSensorEffect(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetSensorEffect(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::VendorReadE0(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::VendorReadE1(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::VendorReadE2(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CGenRead(uint8_t, uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CGenWrite(uint8_t, uint16_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CRandomRead(uint8_t, uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CRandomWrite(uint8_t, uint16_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CSuperRead(uint8_t, uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CSuperWrite(uint8_t, uint16_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CLongRead(uint16_t, uint16_t, uint32_t, uint8_t*, ProgressCallback,
                                      void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::I2CLongWrite(uint16_t, uint16_t, uint32_t, uint32_t, const uint8_t*,
                                       ProgressCallback, void*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetSensorFormat(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetOSDSRAM(const uint8_t*, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetOSDTIME(const uint8_t*, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetAEMotionDetectSensitivity(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetAEMotionDetectSensitivity(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetAEMotinoDetectResult(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetCircumStatus(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ReadOSDCFGString(uint8_t*, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::WriteOSDCFGString(const uint8_t*, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetCircumCtrl(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::VendorCommand4F() {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetMTDSensitivity(const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetMTDSensitivity(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetPowerMipi(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::ProbeMipiIO() {
    return kNotImpl;
}
HResult CVendorCmdCommon::Shale_MJPG_Q_GET(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::Shale_MJPG_Q_SET(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::Shale_Crop_Start_Set(const uint8_t*, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::Shale_Crop_Start_Get(uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamSendFile(const char*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamCommand3() {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamCommand3Ex() {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamQuery4(uint8_t*, uint32_t, uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamQuery5(uint8_t*, uint32_t, uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet9(uint32_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamSet9(bool) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet7(uint32_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamSet7(bool, const char*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet8(uint32_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamSet8(bool) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet10(uint8_t*, uint32_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamSet10(const uint8_t*, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet11(uint8_t*, uint32_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet12(uint8_t*, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet13(uint8_t*, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet14(uint8_t*, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet16(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamSet16(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamCommand19(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetIRMode(uint8_t*, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetIRResolution(uint16_t*, uint16_t*, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IsSupportUVTag(uint32_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::Shale_Camera_Switch(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::Shale_Denoise_Set(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::OTP_Write(uint16_t, uint16_t, uint16_t, const uint8_t*, uint32_t,
                                    uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::OTP_Read(uint16_t, uint16_t, uint8_t*, uint32_t, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::OTP_BlankCheck(uint16_t, uint16_t, uint8_t*, uint32_t, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::OTP_AllBlankCheck(uint16_t, uint16_t, uint8_t*, uint32_t, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::OTP_ReadProgramFailAdr(uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SetSrcSwap(uint8_t, uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetSrsSwap(uint8_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::BpsThresholdSet(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::BpsThresholdGet(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MeRangeSet(uint8_t, uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MeRangeGet(uint8_t*, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::AudioHWVersionGet(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MDIORead(uint16_t, uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MDIOWrite(uint16_t, uint16_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MDIORead2(uint16_t, uint16_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::MDIOWrite2(uint16_t, uint16_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::VD3AVersionGet(uint8_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamQuery18(uint8_t*, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamCommand17(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamRead0581(uint8_t, uint32_t, uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamWrite0501(uint8_t, uint32_t, const uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamWrite0A1D(uint8_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamRead0A9D(uint8_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamSet20(uint32_t, uint32_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::IpCamGet20(uint32_t, uint32_t*) {
    return kNotImpl;
}
HResult CVendorCmdCommon::SecureBioByPass(const uint8_t*, uint16_t) {
    return kNotImpl;
}
HResult CVendorCmdCommon::GetWPStatus(uint8_t*) {
    return kNotImpl;
}

// The tag is one byte written by the family's own write, so it works wherever that does.
HResult CVendorCmdCommon::I2C_EEP8_WriteTag() {
    const uint8_t tag = 0xA5;
    return I2C_EEP8_Write(1, 1, &tag, nullptr, nullptr);
}

HResult CVendorCmdCommon::I2C_EEP16_WriteTag() {
    const uint8_t tag = 0xA5;
    return I2C_EEP16_Write(1, 1, &tag, nullptr, nullptr);
}

}  // namespace orbisk
