// Image, video coding, on-screen display, project-specific and audio controls of the
// extension-unit protocol: one command each, with at most one small data phase.
#include "transport/ext_unit_base.h"

namespace orbisk {

HResult CExtUnitBase::LoadIQPatch() {
    return Command("LoadIQPatch", xu::kLoadIQPatch, P());
}

HResult CExtUnitBase::SetMode(uint8_t first, uint8_t second) {
    const uint8_t bytes[2] = {first, second};
    return WritePacket("SetMode", xu::kSetMode, P(), bytes, 2);
}

HResult CExtUnitBase::GetMode(uint8_t* first, uint8_t* second) {
    uint8_t bytes[2] = {};
    const HResult hr = ReadPacket("GetMode", xu::kGetMode, P(), bytes, 2);
    if (hr == kOk) {
        *first = bytes[0];
        *second = bytes[1];
    }
    return hr;
}

HResult CExtUnitBase::FT2MIPISkewCheck(uint8_t* result) {
    return ReadPacket("FT2MIPISkewCheck", xu::kFT2MIPISkewCheck, P(), result, 8);
}

HResult CExtUnitBase::GetIRMode(uint8_t* buf, uint16_t len) {
    return ReadPacket("GetIRMode", xu::kGetIRMode, P(), buf, len);
}

HResult CExtUnitBase::GetIRResolution(uint16_t* width, uint16_t* height, uint8_t* extra) {
    uint8_t bytes[5] = {};
    const HResult hr = ReadPacket("GetIRResolution", xu::kGetIRResolution, P(), bytes, 5);
    if (hr == kOk) {
        *width = uint16_t(bytes[0] | (bytes[1] << 8));
        *height = uint16_t(bytes[2] | (bytes[3] << 8));
        *extra = bytes[4];
    }
    return hr;
}

HResult CExtUnitBase::IsSupportUVTag(uint32_t* supported) {
    uint8_t bytes[6] = {};
    const HResult hr = ReadPacket("IsSupportUVTag", xu::kIsSupportUVTag, P(), bytes, 6);
    if (hr == kOk) *supported = bytes[5];
    return hr;
}

HResult CExtUnitBase::MDIORead(uint16_t arg, uint16_t len, uint8_t* buf) {
    return ReadBytes("MDIORead", xu::kMDIORead, P(arg, len), buf, len);
}
HResult CExtUnitBase::MDIOWrite(uint16_t arg, uint16_t len, const uint8_t* buf) {
    return WriteBytes("MDIOWrite", xu::kMDIOWrite, P(arg, len), buf, len);
}
HResult CExtUnitBase::MDIORead2(uint16_t arg, uint16_t len, uint8_t* buf) {
    return ReadBytes("MDIORead2", xu::kMDIORead2, P(arg, len), buf, len);
}
HResult CExtUnitBase::MDIOWrite2(uint16_t arg, uint16_t len, const uint8_t* buf) {
    return WriteBytes("MDIOWrite2", xu::kMDIOWrite2, P(arg, len), buf, len);
}

// Image processing.

HResult CExtUnitBase::GetTouch2AStatus(uint8_t* value) {
    return ReadPacket("GetTouch2AStatus", xu::kGetTouch2AStatus, P(), value, 1);
}
HResult CExtUnitBase::SetTouch2APos(const uint8_t* data, uint16_t len) {
    return WriteBytes("SetTouch2APos", xu::kSetTouch2APos, P(0, len), data, len);
}
HResult CExtUnitBase::GetTouch2ASize(uint8_t* buf, uint16_t len) {
    return ReadBytes("GetTouch2ASize", xu::kGetTouch2ASize, P(), buf, len);
}
HResult CExtUnitBase::GetSensorImgDir(uint8_t* value) {
    return ReadPacket("GetSensorImgDir", xu::kGetSensorImgDir, P(), value, 1);
}
HResult CExtUnitBase::SetSensorImgDir(uint8_t value) {
    return WritePacket("SetSensorImgDir", xu::kSetSensorImgDir, P(), &value, 1);
}
HResult CExtUnitBase::GetSensorEffect(uint8_t* value) {
    return ReadPacket("GetSensorEffect", xu::kGetSensorEffect, P(), value, 1);
}
HResult CExtUnitBase::SetSensorEffect(uint8_t value) {
    return WritePacket("SetSensorEffect", xu::kSetSensorEffect, P(), &value, 1);
}
HResult CExtUnitBase::SetJpegQTableScale(uint8_t value) {
    return WriteBytes("SetJpegQTableScale", xu::kSetJpegQTableScale, P(), &value, 1);
}
HResult CExtUnitBase::GetJpegQTableScale(uint8_t* value) {
    return ReadBytes("GetJpegQTableScale", xu::kGetJpegQTableScale, P(), value, 1);
}
HResult CExtUnitBase::SNRSelSet(uint8_t value) {
    return WritePacket("SNRSelSet", xu::kSNRSelSet, P(), &value, 1);
}
// The version is the command's three bytes, taken from the transfer buffer so that a packet
// larger than the caller's buffer cannot overrun it.
HResult CExtUnitBase::VD3AVersionGet(uint8_t index, uint8_t* version) {
    return ReadPacket("VD3AVersionGet", xu::kVD3AVersionGet, P(index), version, 3);
}

// Video coding and on-screen display.

HResult CExtUnitBase::GetSensorFormat(uint8_t* value) {
    return ReadPacket("GetSensorFormat", xu::kGetSensorFormat, P(), value, 1);
}
HResult CExtUnitBase::SetOSDSRAM(const uint8_t* data, uint16_t len) {
    return WriteBytes("SetOSDSRAM", xu::kSetOSDSRAM, P(0, len), data, len);
}
HResult CExtUnitBase::SetOSDTIME(const uint8_t* data, uint16_t len) {
    return WriteBytes("SetOSDTIME", xu::kSetOSDTIME, P(0, len), data, len);
}
HResult CExtUnitBase::SetAEMotionDetectSensitivity(uint8_t value) {
    return WriteBytes("SetAEMotionDetectSensitivity", xu::kSetAEMotionDetectSensitivity, P(),
                      &value, 1);
}
HResult CExtUnitBase::GetAEMotionDetectSensitivity(uint8_t* value) {
    return ReadPacket("GetAEMotionDetectSensitivity", xu::kGetAEMotionDetectSensitivity, P(), value,
                      1);
}
HResult CExtUnitBase::GetAEMotinoDetectResult(uint8_t* result) {
    return ReadBytes("GetAEMotinoDetectResult", xu::kGetAEMotinoDetectResult, P(), result, 4);
}
HResult CExtUnitBase::GetCircumStatus(uint8_t* value) {
    return ReadPacket("GetCircumStatus", xu::kGetCircumStatus, P(), value, 1);
}
HResult CExtUnitBase::ReadOSDCFGString(uint8_t* buf, uint16_t len) {
    return ReadBytes("ReadOSDCFGString", xu::kReadOSDCFGString, P(0, len), buf, len);
}
HResult CExtUnitBase::WriteOSDCFGString(const uint8_t* buf, uint16_t len) {
    return WriteBytes("WriteOSDCFGString", xu::kWriteOSDCFGString, P(0, len), buf, len);
}
HResult CExtUnitBase::SetCircumCtrl(uint8_t value) {
    return WritePacket("SetCircumCtrl", xu::kSetCircumCtrl, P(), &value, 1);
}
HResult CExtUnitBase::SetMTDSensitivity(const uint8_t* values) {
    return WriteBytes("SetMTDSensitivity", xu::kSetMTDSensitivity, P(), values, 3);
}
HResult CExtUnitBase::GetMTDSensitivity(uint8_t* values) {
    return ReadBytes("GetMTDSensitivity", xu::kGetMTDSensitivity, P(), values, 3);
}
HResult CExtUnitBase::SetGOPVal(uint8_t value) {
    return WriteBytes("SetGOPVal", xu::kSetGOPVal, P(), &value, 1);
}
HResult CExtUnitBase::GetGOPVal(uint8_t* value) {
    return ReadBytes("GetGOPVal", xu::kGetGOPVal, P(), value, 1);
}
HResult CExtUnitBase::SetH264VSCMDRate(uint8_t value) {
    return WriteBytes("SetH264VSCMDRate", xu::kSetH264VSCMDRate, P(), &value, 1);
}
HResult CExtUnitBase::GetH264VSCMDRate(uint8_t* value) {
    return ReadBytes("GetH264VSCMDRate", xu::kGetH264VSCMDRate, P(), value, 1);
}
HResult CExtUnitBase::SetH264MaxQP(uint8_t value) {
    return WriteBytes("SetH264MaxQP", xu::kSetH264MaxQP, P(), &value, 1);
}
HResult CExtUnitBase::GetH264MaxQP(uint8_t* value) {
    return ReadBytes("GetH264MaxQP", xu::kGetH264MaxQP, P(), value, 1);
}
HResult CExtUnitBase::SetH264BitRate(const uint8_t* rate) {
    return WriteBytes("SetH264BitRate", xu::kSetH264BitRate, P(), rate, 4);
}
HResult CExtUnitBase::GetH264BitRate(uint8_t* rate) {
    return ReadBytes("GetH264BitRate", xu::kGetH264BitRate, P(), rate, 4);
}
HResult CExtUnitBase::SetPThresHoldCoeff(uint8_t value) {
    return WriteBytes("SetPThresHoldCoeff", xu::kSetPThresHoldCoeff, P(), &value, 1);
}
HResult CExtUnitBase::GetPThresHoldCoeff(uint8_t* value) {
    return ReadBytes("GetPThresHoldCoeff", xu::kGetPThresHoldCoeff, P(), value, 1);
}
HResult CExtUnitBase::SetBackGroundMTD(const uint8_t* data, uint16_t len) {
    return WriteBytes("SetBackGroundMTD", xu::kSetBackGroundMTD, P(0, len), data, len);
}
HResult CExtUnitBase::StopBackGroundMTD() {
    return Command("StopBackGroundMTD", xu::kStopBackGroundMTD, P());
}
HResult CExtUnitBase::BpsThresholdSet(uint8_t value) {
    return WritePacket("BpsThresholdSet", xu::kBpsThresholdSet, P(), &value, 1);
}
HResult CExtUnitBase::BpsThresholdGet(uint8_t* value) {
    return ReadPacket("BpsThresholdGet", xu::kBpsThresholdGet, P(), value, 1);
}
HResult CExtUnitBase::MeRangeSet(uint8_t first, uint8_t second) {
    const uint8_t bytes[2] = {first, second};
    return WritePacket("MeRangeSet", xu::kMeRangeSet, P(), bytes, 2);
}
HResult CExtUnitBase::MeRangeGet(uint8_t* first, uint8_t* second) {
    uint8_t bytes[2] = {};
    const HResult hr = ReadPacket("MeRangeGet", xu::kMeRangeGet, P(), bytes, 2);
    if (hr == kOk) {
        *first = bytes[0];
        *second = bytes[1];
    }
    return hr;
}
HResult CExtUnitBase::SetDMICI2SMode(uint8_t value) {
    return WritePacket("SetDMICI2SMode", xu::kSetDMICI2SMode, P(), &value, 1);
}
HResult CExtUnitBase::GetDMICI2SMode(uint8_t* value) {
    return ReadPacket("GetDMICI2SMode", xu::kGetDMICI2SMode, P(), value, 1);
}

// Project-specific controls.

HResult CExtUnitBase::Shale_MJPG_Q_GET(uint8_t* value) {
    return ReadPacket("Shale_MJPG_Q_GET", xu::kShaleMjpgQGet, P(), value, 1);
}
HResult CExtUnitBase::Shale_MJPG_Q_SET(uint8_t value) {
    return WritePacket("Shale_MJPG_Q_SET", xu::kShaleMjpgQSet, P(), &value, 1);
}
HResult CExtUnitBase::Shale_Crop_Start_Set(const uint8_t* data, uint16_t len) {
    return WriteBytes("Shale_Crop_Start_Set", xu::kShaleCropStartSet, P(0, len), data, len);
}
HResult CExtUnitBase::Shale_Crop_Start_Get(uint16_t len, uint8_t* buf) {
    return ReadBytes("Shale_Crop_Start_Get", xu::kShaleCropStartGet, P(0, len), buf, len);
}
HResult CExtUnitBase::Shale_Camera_Switch(uint8_t value) {
    return WritePacket("Shale_Camera_Switch", xu::kShaleCameraSwitch, P(), &value, 1);
}
HResult CExtUnitBase::Shale_Denoise_Set(uint8_t value) {
    return WritePacket("Shale_Denoise_Set", xu::kShaleDenoiseSet, P(), &value, 1);
}

// Audio.

HResult CExtUnitBase::SetSrcSwap(uint8_t channel, uint8_t value) {
    return WritePacket("SetSrcSwap", xu::kSetSrcSwap, P(channel), &value, 1);
}
HResult CExtUnitBase::GetSrsSwap(uint8_t channel, uint8_t* value) {
    return ReadPacket("GetSrsSwap", xu::kGetSrsSwap, P(channel), value, 1);
}
HResult CExtUnitBase::AudioHWVersionGet(uint8_t* value) {
    return ReadPacket("AudioHWVersionGet", xu::kAudioHWVersionGet, P(), value, 1);
}

}  // namespace orbisk
