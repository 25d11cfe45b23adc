#pragma once
#include <cstdint>

// The status codes and step texts the flash flows report (identifiers of the string table).
namespace orbisk::codes {

inline constexpr uint32_t kResetDeviceFail = 41512;     // "Reset Device Fail!"
inline constexpr uint32_t kReadFlashFail = 41704;       // "Read Flash Fail!"
inline constexpr uint32_t kEraseFlashFail = 41705;      // "Erase Flash Fail!"
inline constexpr uint32_t kUpdateFlashFail = 41706;     // "Update Flash Fail!"
inline constexpr uint32_t kMallocFail = 41708;          // "Malloc Data Fail!"
inline constexpr uint32_t kCompareFail = 41709;         // "Compare Data Fail!"
inline constexpr uint32_t kDisableWpFail = 41710;       // "Disable Write Protect Fail!"
inline constexpr uint32_t kEnableWpFail = 41711;        // "Enable Write Protect Fail!"
inline constexpr uint32_t kWriteTagFail = 41712;        // "Write Tag Fail!"
inline constexpr uint32_t kCannotEnterCache = 41905;    // "Can't Enter cache code!"
inline constexpr uint32_t kStepWaitReset = 41718;       // "Wait device to reset"
inline constexpr uint32_t kStepErasing = 41719;         // "Erasing"
inline constexpr uint32_t kStepDownload = 41721;        // "Download"
inline constexpr uint32_t kStepVerify = 41722;          // "Verify"
inline constexpr uint32_t kStepWriteTag = 41723;        // "Write Tag"
inline constexpr uint32_t kStepResetToNewCode = 41724;  // "Reset to new code"
inline constexpr uint32_t kStepReadCrc = 41733;         // "Read CRC"
inline constexpr uint32_t kStepCompareCrc = 41734;      // "Compare CRC"
inline constexpr uint32_t kReadSucceed = 41751;         // "Read Flash Code Succeed."
inline constexpr uint32_t kEraseSucceed = 41752;        // "Erase Flash Code Succeed."
inline constexpr uint32_t kDownloadSucceed = 41755;     // "Firmware Update Succeed."

// Download options.
inline constexpr uint8_t kOptReset = 0x01, kOptProgram = 0x10;

}  // namespace orbisk::codes
