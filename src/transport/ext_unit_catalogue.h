#pragma once
#include <cstdint>

namespace orbisk::xu {

// Command template of one extension-unit operation: group, opcode, and the default p2 (every
// other byte of the 8-byte block is 0 unless the operation fills it). Opcode bit 7: a data
// phase follows; bit 6 with it: the data flows from the device.
struct Cmd {
    uint8_t group;
    uint8_t opcode;
    uint16_t p2 = 0;
};

// General and memory (group 0x00).
inline constexpr Cmd kDevQualify{0x00, 0xD0, 8};
inline constexpr Cmd kGetDevStatus{0x00, 0xCD, 8};
inline constexpr Cmd kResetToUpdateFW{0x00, 0x07};
inline constexpr Cmd kResetToNewCode{0x00, 0x08};
inline constexpr Cmd kResetToRom{0x00, 0x09};
inline constexpr Cmd kReadIMem{0x00, 0xC1};
inline constexpr Cmd kReadMem{0x00, 0xC2};
inline constexpr Cmd kWriteMem{0x00, 0x82};
inline constexpr Cmd kReadCode{0x00, 0xC3};
inline constexpr Cmd kReadPhy{0x00, 0xCC, 1};
inline constexpr Cmd kWritePhy{0x00, 0x8C, 1};
inline constexpr Cmd kNorFlashErase{0x00, 0x04};
inline constexpr Cmd kNorFlashRead{0x00, 0xC5};
inline constexpr Cmd kNorFlashWrite{0x00, 0x85};
inline constexpr Cmd kNorFlashWriteTag{0x00, 0x06};
inline constexpr Cmd kChangeDataControlSize{0x00, 0x16};
inline constexpr Cmd kLoadIQPatch{0x00, 0x2E};
inline constexpr Cmd kSetMode{0x00, 0x93, 2};
inline constexpr Cmd kGetMode{0x00, 0xD3, 2};
inline constexpr Cmd kFT2MIPISkewCheck{0x00, 0xEB, 8};
inline constexpr Cmd kGetIRMode{0x00, 0xFA, 2};
inline constexpr Cmd kGetIRResolution{0x00, 0xFB, 5};
inline constexpr Cmd kIsSupportUVTag{0x00, 0xFB, 6};
inline constexpr Cmd kSecureBioByPass{0x00, 0xBC, 8};
inline constexpr Cmd kIsSecureBioByPass{0x00, 0xFC, 8};
inline constexpr Cmd kGetWPStatus{0x00, 0xFC, 1};
inline constexpr Cmd kSWWriteProtect{0x00, 0xBD, 1};
inline constexpr Cmd kSetPowerMipi{0x00, 0xB3, 1};
inline constexpr Cmd kMDIORead{0x00, 0xEF, 8};
inline constexpr Cmd kMDIOWrite{0x00, 0xAF, 8};
inline constexpr Cmd kMDIORead2{0x00, 0xF9, 8};
inline constexpr Cmd kMDIOWrite2{0x00, 0xB9, 8};

// Sensor I2C (group 0x00).
inline constexpr Cmd kI2CReadSlave{0x00, 0xEA};
inline constexpr Cmd kI2CWriteSlave{0x00, 0xAA};
inline constexpr Cmd kI2CReadReg{0x00, 0xCA, 2};
inline constexpr Cmd kI2CWriteReg{0x00, 0x8A, 2};
inline constexpr Cmd kI2CGenRead{0x00, 0xEA};
inline constexpr Cmd kI2CGenWrite{0x00, 0xAA};
inline constexpr Cmd kI2CRandomRead{0x00, 0xF1};
inline constexpr Cmd kI2CRandomWrite{0x00, 0xB1};
inline constexpr Cmd kI2CSuperRead{0x00, 0xF2};
inline constexpr Cmd kI2CSuperWrite{0x00, 0xB2};
inline constexpr Cmd kI2CLongRead{0x00, 0xF0};
inline constexpr Cmd kI2CLongWrite{0x00, 0xB0};

// Storage (group 0x02).
inline constexpr Cmd kSpiReadID{0x02, 0xC1, 8};
inline constexpr Cmd kSpiFastRead1{0x02, 0xD4};
inline constexpr Cmd kSpiFastRead2{0x02, 0xD5};
inline constexpr Cmd kSpiFastRead3{0x02, 0xD6};
inline constexpr Cmd kSpiRead{0x02, 0xC2};
inline constexpr Cmd kSpiWrite{0x02, 0x82};
inline constexpr Cmd kSpiReadSr{0x02, 0xC3, 1};
inline constexpr Cmd kSpiWriteSr{0x02, 0x83, 1};
inline constexpr Cmd kSpiEraseChip{0x02, 0x04};
inline constexpr Cmd kSpiEraseSector{0x02, 0x05};
inline constexpr Cmd kSpiWriteTag{0x02, 0x13};
inline constexpr Cmd kEep8Read{0x02, 0xCB};
inline constexpr Cmd kEep8Write{0x02, 0x8B};
inline constexpr Cmd kEep16Read{0x02, 0xD1};
inline constexpr Cmd kEep16Write{0x02, 0x91};
inline constexpr Cmd kOtpWrite{0x02, 0x97};
inline constexpr Cmd kOtpRead{0x02, 0xD7};
inline constexpr Cmd kOtpBlankCheck{0x02, 0xD8};
inline constexpr Cmd kOtpAllBlankCheck{0x02, 0xDF, 8};
inline constexpr Cmd kOtpReadProgramFailAdr{0x02, 0xDC, 0x13};
inline constexpr Cmd kOTPTestDec{0x02, 0xD9};
inline constexpr Cmd kOTPWriteTest{0x02, 0x9A};

// Image processing (group 0x01).
inline constexpr Cmd kGetTouch2AStatus{0x01, 0xD8, 1};
inline constexpr Cmd kSetTouch2APos{0x01, 0x99, 4};
inline constexpr Cmd kGetTouch2ASize{0x01, 0xDA, 2};
inline constexpr Cmd kGetSensorImgDir{0x01, 0xD0, 1};
inline constexpr Cmd kSetSensorImgDir{0x01, 0x90, 1};
inline constexpr Cmd kGetSensorEffect{0x01, 0xCF, 1};
inline constexpr Cmd kSetSensorEffect{0x01, 0x8F, 1};
inline constexpr Cmd kSetJpegQTableScale{0x01, 0x9B, 1};
inline constexpr Cmd kGetJpegQTableScale{0x01, 0xDB, 1};
inline constexpr Cmd kSNRSelSet{0x01, 0x9D, 1};
inline constexpr Cmd kVD3AVersionGet{0x01, 0xDD, 3};

// Video coding and on-screen display (group 0x03).
inline constexpr Cmd kGetSensorFormat{0x03, 0xC1, 1};
inline constexpr Cmd kSetOSDSRAM{0x03, 0x83};
inline constexpr Cmd kSetOSDTIME{0x03, 0x84, 8};
inline constexpr Cmd kSetAEMotionDetectSensitivity{0x03, 0xA7, 1};
inline constexpr Cmd kGetAEMotionDetectSensitivity{0x03, 0xE7, 1};
inline constexpr Cmd kGetAEMotinoDetectResult{0x03, 0xE8, 4};
inline constexpr Cmd kGetCircumStatus{0x03, 0xC2, 1};
inline constexpr Cmd kReadOSDCFGString{0x03, 0xC7, 8};
inline constexpr Cmd kWriteOSDCFGString{0x03, 0x88, 8};
inline constexpr Cmd kSetCircumCtrl{0x03, 0x86, 1};
inline constexpr Cmd kSetMTDSensitivity{0x03, 0x95, 3};
inline constexpr Cmd kGetMTDSensitivity{0x03, 0xD5, 3};
inline constexpr Cmd kSetGOPVal{0x03, 0x9B, 1};
inline constexpr Cmd kGetGOPVal{0x03, 0xDB, 1};
inline constexpr Cmd kSetH264VSCMDRate{0x03, 0x9F, 1};
inline constexpr Cmd kGetH264VSCMDRate{0x03, 0xDF, 1};
inline constexpr Cmd kSetH264MaxQP{0x03, 0xA1, 1};
inline constexpr Cmd kGetH264MaxQP{0x03, 0xE1, 1};
inline constexpr Cmd kSetH264BitRate{0x03, 0xA4, 4};
inline constexpr Cmd kGetH264BitRate{0x03, 0xE4, 4};
inline constexpr Cmd kSetPThresHoldCoeff{0x03, 0xA5, 1};
inline constexpr Cmd kGetPThresHoldCoeff{0x03, 0xE5, 1};
inline constexpr Cmd kSetBackGroundMTD{0x03, 0x9D, 3};
inline constexpr Cmd kStopBackGroundMTD{0x03, 0x1E};
inline constexpr Cmd kBpsThresholdSet{0x03, 0xA9, 1};
inline constexpr Cmd kBpsThresholdGet{0x03, 0xE9, 1};
inline constexpr Cmd kMeRangeSet{0x03, 0xAA, 2};
inline constexpr Cmd kMeRangeGet{0x03, 0xEA, 2};
inline constexpr Cmd kSetDMICI2SMode{0x03, 0xA0, 1};
inline constexpr Cmd kGetDMICI2SMode{0x03, 0xE0, 1};

// Project-specific controls (group 0x04).
inline constexpr Cmd kShaleMjpgQGet{0x04, 0xC0, 1};
inline constexpr Cmd kShaleMjpgQSet{0x04, 0x80, 1};
inline constexpr Cmd kShaleCropStartSet{0x04, 0x81, 4};
inline constexpr Cmd kShaleCropStartGet{0x04, 0xC1, 4};
inline constexpr Cmd kShaleCameraSwitch{0x04, 0x82, 1};
inline constexpr Cmd kShaleDenoiseSet{0x04, 0x83, 1};

// Audio (group 0x06).
inline constexpr Cmd kSetSrcSwap{0x06, 0x80, 1};
inline constexpr Cmd kGetSrsSwap{0x06, 0xC0, 1};
inline constexpr Cmd kAudioHWVersionGet{0x06, 0xC2, 1};

// Sent after a failure so that the next command starts from a clean state.
inline constexpr Cmd kAbort{0xFF, 0x00};

}  // namespace orbisk::xu
