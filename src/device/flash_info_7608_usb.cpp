#include "device/flash_info_7608_usb.h"

#include <algorithm>
#include <vector>

#include "base/status_codes.h"
#include "device/file_output.h"
#include "device/flash_codes.h"

namespace orbisk {

using namespace codes;

namespace {

// "MIPI Reserve" n = 1..32 keeps the camera's own data from unit n - 1 to the end of the
// bridge's 128 KB, in units of 4096 bytes.
constexpr int32_t kReserveUnits = 33;
constexpr uint32_t kReserveUnit = 4096;

}  // namespace

bool C7608FlashInfo_USB::KeepReservedData(std::vector<uint8_t>& image, LogScope& scope) {
    const int32_t reserve = process_.ConfigInt(cfg::kMipiReserve);
    if (reserve <= 0 || reserve >= kReserveUnits) return true;
    const size_t offset = size_t{static_cast<uint32_t>(reserve - 1)} * kReserveUnit;
    const size_t length = size_t{static_cast<uint32_t>(kReserveUnits - reserve)} * kReserveUnit;
    // The whole flash is erased: data that were not read, or that the image does not reach,
    // would be lost.
    if (mipi_reserved_.empty() && texts_.bridge_recovery.in_rom && !texts_.bridge_recovery.record &&
        recover_without_record()) {
        // Asked for: a bridge left in its boot ROM without a record gets the image's bytes.
        scope.Text("The bridge's reserved data cannot be restored: no recovery record\n");
        return true;
    }
    if (mipi_reserved_.size() != length) {
        scope.Section("Read Flash Fail!\n");
        process_.Report(kReportFailure, kStatusReadFlashFail);
        return false;
    }
    if (offset + length > image.size()) {
        scope.Section("Write Flash Code Fail\n");
        process_.Report(kReportFailure, kStatusUpdateFail);
        return false;
    }
    std::copy(mipi_reserved_.begin(), mipi_reserved_.end(), image.begin() + offset);
    return true;
}

int C7608FlashInfo_USB::WaitForCode(int result) {
    const uint8_t options = process_.download_options;
    if ((options & kOptReset) && (options & kOptProgram)) {
        result = camlib_.CamLib_Bridge_WaitMode2(conn_.camera_handle);
        if (result == 0) {
            process_.Report(kReportFailure, kStatusCannotEnterCache);
            return 0;
        }
    }
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kStatusDownloadSucceed);
    }
    return result;
}

int C7608FlashInfo_USB::BridgeDownload(std::vector<uint8_t>& image, const char* scope_name) {
    LogScope scope(process_.logger, scope_name);
    uint32_t code = 0;
    int result = KeepReservedData(image, scope) ? 1 : 0;
    // Nothing leaves the bridge's flash before the record of what it held is written.
    if (result && !RecordBridgeBeforeUpdate(image, scope, code)) {
        process_.Report(kReportFailure, code);
        result = 0;
    }
    if (result) result = MP_Open7608RomDevice();
    if (result) result = FF_UpdateExMipi(image);
    if (result) result = WaitForCode(result);
    if (result == 1) ForgetBridgeRecovery(scope);
    RefreshBridgeVersion();
    return result;
}

int C7608FlashInfo_USB::FFU_7608Download() {
    return BridgeDownload(images_.front, "CFlashInfo::FFU_7608Download");
}

int C7608FlashInfo_USB::FFU_7608Update() {
    return BridgeDownload(images_.rear, "CFlashInfo::FFU_7608Update");
}

int C7608FlashInfo_USB::FFU_7608Read() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_7608Read");
    const uint8_t options = process_.download_options;
    int result = MP_Open7608RomDevice();
    if (result) result = FF_ReadEx();
    if (result && (options & kOptReset) && (options & kOptProgram)) {
        result = camlib_.CamLib_Bridge_WaitMode2(conn_.camera_handle);
        if (!result) process_.Report(kReportFailure, kStatusCannotEnterCache);
    }
    if (result == 1) {
        if (process_.run_mode == kRunDialog && !dump_path_.empty())
            WriteBinaryFile(dump_path_, readback_);
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kStatusReadSucceed);
    }
    RefreshBridgeVersion();
    return result;
}

int C7608FlashInfo_USB::FFU_7608Erase() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_7608Erase");
    int result = MP_Open7608RomDevice();
    if (result) result = FF_EraseEx();
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kStatusEraseSucceed);
    }
    RefreshBridgeVersion();
    return result;
}

int C7608FlashInfo_USB::BridgeDumpCheckPassed(int result, bool rewrite_sector) {
    if ((process_.download_options & kOptReset) && conn_.rom_flag == 0) {
        process_.Report(kReportStepText, kStatusStepResetToNewCode);
        MP_7608ResetToRom();
        camlib_.CamLib_Bridge_WaitMode2(conn_.camera_handle);
    }
    if (rewrite_sector) {
        const std::vector<uint8_t> zeros(kBridgeSectorSize, 0x00);
        MP_7608RewriteSector(zeros);
    }
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kStatusDownloadSucceed);
    }
    return result;
}

int C7608FlashInfo_USB::BridgeDumpCheckFailed(LogScope& scope) {
    if (process_.download_options & kOptReset) {
        process_.logger.DebugPrint("MP_7608ResetToRom>>\n");
        camlib_.CamLib_Bridge_Command0508(conn_.camera_handle);
        camlib_.CamLib_Bridge_WaitMode2(conn_.camera_handle);
    }
    // A mismatch is reported as such; a failed read or ROM entry has reported its own code,
    // which must stay: a failure report with code 0 would clear it.
    if (dump_mismatch_) {
        scope.Section("Compare Data Fail!\n");
        process_.Report(kReportFailure, kStatusCompareFail);
    }
    SaveFailedReadBackFile();
    return 0;
}

int C7608FlashInfo_USB::FFU_7608DumpCheck() {
    LogScope scope(process_.logger, "CFlashInfo::FFU_7608DumpCheck");
    dump_mismatch_ = false;
    int result = MP_Open7608RomDevice();
    if (result) result = FF_ReadExDumpCheckFor7608();
    return result ? BridgeDumpCheckPassed(result, true) : BridgeDumpCheckFailed(scope);
}

int C7608FlashInfo_USB::FFU_Silence_7608WriteBin(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_7608WriteBin");
    if (!SilentLoad(path, false, scope)) return 0;
    return FFU_7608Download();
}

int C7608FlashInfo_USB::FFU_Silence_7608DumpCheck(const std::string& path) {
    LogScope scope(process_.logger, "CFlashInfo::FFU_Silence_7608DumpCheck");
    dump_mismatch_ = false;
    if (!SilentLoad(path, false, scope)) return 0;
    int result = MP_Open7608RomDevice();
    if (result) result = FF_ReadExDumpCheckFor7608();
    return result ? BridgeDumpCheckPassed(result, false) : BridgeDumpCheckFailed(scope);
}

}  // namespace orbisk
