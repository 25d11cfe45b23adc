#pragma once
#include <cstdint>

namespace orbisk {

// The keys of config.ini (section "Orbisk Config") with the default that most readers pass.
// Readers that need another default (CheckVIDPID_BIN is read with 1 in the dialog and in the
// default-camera choice, 0 elsewhere) pass their own through Process::ConfigInt.
struct ConfigKey {
    const char* name;
    int32_t default_value;
};

namespace cfg {
inline constexpr ConfigKey kDebugLog{"Debug Log", 0};
inline constexpr ConfigKey kCustomizeUi{"Customize UI", 0};
inline constexpr ConfigKey kIniType{"Ini Type", 0};
inline constexpr ConfigKey kLibType{"Lib Type", 0};
inline constexpr ConfigKey kAutoRun{"AutoRun", 0};
inline constexpr ConfigKey kAutoRunDelay{"AutoRunDelay", 0};
inline constexpr ConfigKey kLoopTest{"Loop Test", 0};
inline constexpr ConfigKey kLogType{"LogType", 0};
inline constexpr ConfigKey kRtd3{"RTD3", 0};
inline constexpr ConfigKey kSaveResultToFile{"SaveResultToFile", 0};
inline constexpr ConfigKey kBcdType{"BCDType", 0};
inline constexpr ConfigKey kSnAddress{"SN Address", 0};
inline constexpr ConfigKey kCheckVidPidIni{"CheckVIDPID_INI", 0};
inline constexpr ConfigKey kCheckVidPidBin{"CheckVIDPID_BIN", 0};
inline constexpr ConfigKey kMipiCamera{"MIPI Camera", 0};
inline constexpr ConfigKey kMipiReserve{"MIPI Reserve", 0};
inline constexpr ConfigKey kLockPort{"LockPort", 0};
inline constexpr ConfigKey kPortNo{"PortNo", 0};
inline constexpr ConfigKey kResetToCache{"ResetToCache", 1};
inline constexpr ConfigKey kNormalReset{"Normal Reset", 1};
inline constexpr ConfigKey kGpio{"GPIO", 0};
inline constexpr ConfigKey kSnFunction{"SN Function", 0};
inline constexpr ConfigKey kSaveSn{"SaveSN", 0};
inline constexpr ConfigKey kSensorId{"SensorID", 0};
inline constexpr ConfigKey kMultiCamera{"MultiCamera", 0};
inline constexpr ConfigKey kOtpMp{"OTP MP", 1};
// Flash images go into NOR flash (1) rather than serial flash (0): the image cannot tell.
inline constexpr ConfigKey kNorFlash{"NOR Flash", 0};
// The command line's answer to the OTP space questions: 1 Yes, anything else No.
inline constexpr ConfigKey kOtpSpaceContinue{"OTP Space Continue", 0};
// 1: serial-flash updates use the largest data packets the camera takes (up to 1,024 bytes)
// and leave out the empty check when the image is verified anyway.
inline constexpr ConfigKey kFastProfile{"Fast Profile", 0};
inline constexpr ConfigKey kEraseTimeOut{"EraseTimeOut", 5000};
inline constexpr ConfigKey kEraseCommandTime{"EraseCommandTime", 0};
inline constexpr ConfigKey kWaitTime{"Wait Time", 5000};
inline constexpr ConfigKey kRemoveManufacture{"Remove_Manufacture", 0};
inline constexpr ConfigKey kRemovePpWriteBack{"Remove_PPWriteBack", 0};
// Text keys: empty by default.
inline constexpr const char* kFrontCamera = "FrontCamera";
inline constexpr const char* kRearCamera = "RearCamera";
inline constexpr const char* kOtpPassword = "OTP Password";
// The host I2C adapter of a MIPI camera on the host's own bus ("/dev/i2c-3", "i2c-3", "3").
inline constexpr const char* kMipiI2cAdapter = "MIPI I2C Adapter";
}  // namespace cfg

}  // namespace orbisk
