#include "device/flash_info.h"

#include <cstring>

#include "device/device_rules.h"
#include "device/file_output.h"
#include "image/firmware_image.h"

namespace orbisk {

namespace {

constexpr uint32_t kCompareFail = 41709;
constexpr uint32_t kAccel6644Fail = 41731;
constexpr uint32_t kAccel6521Fail = 41732;
constexpr uint32_t kReadSucceed = 41751;
constexpr uint32_t kEraseSucceed = 41752;
constexpr uint32_t kUpdateSucceed = 41753;
constexpr uint32_t kDownloadSucceed = 41755;
constexpr uint32_t kStepResetToNewCode = 41724;
constexpr uint8_t kOptReset = 0x01;

}  // namespace

bool CFlashInfo::Accelerate(LogScope& scope) {
    if (!MP_Accelerate6644Download()) {
        scope.Section("Accelerate6644Download Fail\n");
        process_.Report(kReportFailure, kAccel6644Fail);
        return false;
    }
    if (!MP_Accelerate6521Download()) {
        scope.Section("Accelerate6521Download Fail\n");
        process_.Report(kReportFailure, kAccel6521Fail);
        return false;
    }
    return true;
}

void CFlashInfo::RefreshVersionAfterDownload() {
    if (process_.run_mode != kRunDialog) return;
    MP_GetDevStatus(status_);
    MP_GetFWVersionText();
}

int CFlashInfo::FFU_Download() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Download");
    camlib_.CamLib_GetVidPidRev(&conn_.vid, &conn_.pid, &conn_.rev);
    process_.logger.DebugPrint("Start Download VID is %04x PID is %04x RevID is %04x", conn_.vid,
                               conn_.pid, conn_.rev);
    if (!PrepareForWriting(scope)) return 0;
    int result = MP_OpenRomDevice();
    if (result) result = Accelerate(scope) ? 1 : 0;
    if (result) {
        result = FF_UpdateEx(images_.front);
        if (process_.run_mode == kRunDialog && process_.ConfigInt(cfg::kSaveSn) != 0) {
            for (const char* state : {"2", "1"}) {
                texts_.sn_state = state;
                process_.Report(kReportStepText, 0);
                process_.clock.sleep_ms(1000);
            }
        }
        if (result == 1) {
            camlib_.CamLib_GetVidPidRev(&conn_.vid, &conn_.pid, &conn_.rev);
            ForgetRecovery(scope);
            process_.Report(kReportProgress, 100);
            process_.Report(kReportSuccess, kDownloadSucceed);
        }
    }
    camlib_.CamLib_GetVidPidRev(&conn_.vid, &conn_.pid, &conn_.rev);
    process_.logger.DebugPrint("After Download VID is %04x PID is %04x RevID is %04x", conn_.vid,
                               conn_.pid, conn_.rev);
    RefreshVersionAfterDownload();
    return result;
}

int CFlashInfo::FFU_Update() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Update");
    if (!MP_OpenRomDevice() || !Accelerate(scope)) return 0;
    const int result = FF_UpdateEx(images_.rear);
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kUpdateSucceed);
    }
    return result;
}

int CFlashInfo::FFU_Read() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Read");
    if (!MP_OpenRomDevice()) return 0;
    const int result = FF_ReadEx();
    if (result == 1) {
        if (process_.run_mode == kRunDialog && !dump_path_.empty())
            WriteBinaryFile(dump_path_, readback_);
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kReadSucceed);
    }
    return result;
}

int CFlashInfo::FFU_Erase() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Erase");
    if (!MP_OpenRomDevice()) return 0;
    const int result = FF_EraseEx();
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kEraseSucceed);
    }
    return result;
}

int CFlashInfo::FFU_Silence_Erase(int reset) {
    if (reset)
        process_.download_options |= kOptReset;
    else
        process_.download_options &= static_cast<uint8_t>(~kOptReset);
    return FFU_Erase();
}

int CFlashInfo::DumpCheckPassed(int result) {
    if ((process_.download_options & kOptReset) && conn_.rom_flag == 0) {
        process_.Report(kReportStepText, kStepResetToNewCode);
        MP_ResetToCode(kBootNewCode, 0);
    }
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kDownloadSucceed);
    }
    return result;
}

int CFlashInfo::DumpCheckFailed(LogScope& scope) {
    if (process_.download_options & kOptReset) MP_ResetToCode(kBootNewCode, 0);
    // A mismatch is reported as such; a failed switch or read has reported its own code, which
    // must stay: a report of code 0 here would turn the failure into exit code 0.
    if (dump_mismatch_) {
        scope.Section("Compare Data Fail!\n");
        process_.Report(kReportFailure, kCompareFail);
    }
    SaveFailedReadBackFile();
    return 0;
}

int CFlashInfo::FFU_DumpCheck() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_DumpCheck");
    dump_mismatch_ = false;
    int result = MP_OpenRomDevice();
    if (result) result = FF_ReadExDumpCheck(static_cast<uint32_t>(images_.front.size()));
    return result ? DumpCheckPassed(result) : DumpCheckFailed(scope);
}

int CFlashInfo::FFU_Silence_WriteBin(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_WriteBin");
    if (!SilentLoad(path, true, scope)) return 0;
    if (CameraRunsImage(scope)) return 1;
    // The download of this memory type (serial or NOR flash).
    return Download();
}

int CFlashInfo::FFU_Silence_WriteSNBin(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_WriteSNBin");
    if (!SilentLoad(path, true, scope)) return 0;
    return Download();
}

int CFlashInfo::FFU_Silence_ReadBin(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_ReadBin");
    const int result = FFU_Read();
    if (!result) return 0;
    WriteBinaryFile(path, readback_);
    return result;
}

int CFlashInfo::FFU_Silence_VerifyBin(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_VerifyBin");
    if (!SilentLoad(path, false, scope)) return 0;
    read_length_ = static_cast<uint32_t>(images_.front.size());
    if (!FFU_Read()) return 0;
    if (readback_.size() >= images_.front.size() &&
        std::memcmp(readback_.data(), images_.front.data(), images_.front.size()) == 0)
        return 1;
    process_.status.SetCode(kCompareFail);
    return 0;
}

int CFlashInfo::FFU_Silence_SaveHexBin(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_SaveHexBin");
    const int result = FFU_Read();
    if (!result) return 0;
    const std::string text = HexText(images_.rear);
    WriteBinaryFile(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return result;
}

int CFlashInfo::FFU_Silence_DumpCheck(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_DumpCheck");
    dump_mismatch_ = false;
    if (!SilentLoad(path, true, scope)) return 0;
    int result = MP_OpenRomDevice();
    if (result) result = FF_ReadExDumpCheck(static_cast<uint32_t>(images_.front.size()));
    return result ? DumpCheckPassed(result) : DumpCheckFailed(scope);
}

}  // namespace orbisk
