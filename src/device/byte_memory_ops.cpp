// The operations the EEPROM and MTP memory types share: the silent family over their own read,
// erase and download, and the dump check.
#include <cstring>

#include "device/device_rules.h"
#include "device/eeprom_config_info.h"
#include "device/file_output.h"
#include "device/flash_codes.h"

namespace orbisk {

int CEepromConfigInfo::SilentWriteBinWith(const std::string& path, const MemoryOp& download,
                                          LogScope& scope) {
    if (!SilentLoad(path, true, scope, ChipCheck::kStrict)) return 0;
    char label[40];
    std::snprintf(label, sizeof label, "VID_%04X&PID_%04X&REV_%04X", conn_.vid, conn_.pid,
                  conn_.rev);
    if (ImageMatchesCameraIdentity(images_.vid_pid_text, images_.rev_text, label)) {
        scope.Text("Device firmware version is the latest version.\n");
        // The camera runs this image: an update that wrote it and could not finish is done.
        ForgetRecovery(scope);
        return 1;
    }
    return download();
}

int CEepromConfigInfo::SilentWriteSNBinWith(const std::string& path, const MemoryOp& download,
                                            LogScope& scope) {
    if (!SilentLoad(path, true, scope, ChipCheck::kStrict)) return 0;
    return download();
}

int CEepromConfigInfo::SilentReadBinWith(const std::string& path, const MemoryOp& read) {
    const int result = read();
    if (!result) return 0;
    WriteBinaryFile(path, readback_);
    return result;
}

int CEepromConfigInfo::SilentVerifyBinWith(const std::string& path, const MemoryOp& read,
                                           LogScope& scope) {
    if (!SilentLoad(path, false, scope)) return 0;
    read_length_ = static_cast<uint32_t>(images_.front.size());
    if (!read()) return 0;
    if (readback_.size() >= images_.front.size() &&
        std::memcmp(readback_.data(), images_.front.data(), images_.front.size()) == 0)
        return 1;
    process_.status.SetCode(codes::kCompareFail);
    return 0;
}

int CEepromConfigInfo::SilentSaveHexBinWith(const std::string& path, const MemoryOp& read) {
    const int result = read();
    if (!result) return 0;
    const std::string text = HexText(images_.rear);
    WriteBinaryFile(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return result;
}

int CEepromConfigInfo::SilentEraseWith(int reset, const MemoryOp& erase) {
    if (reset)
        process_.download_options |= codes::kOptReset;
    else
        process_.download_options &= static_cast<uint8_t>(~codes::kOptReset);
    return erase();
}

void CEepromConfigInfo::ShowSerialNumberState() {
    if (process_.run_mode != kRunDialog || process_.ConfigInt(cfg::kSaveSn) == 0) return;
    for (const char* state : {"2", "1"}) {
        texts_.sn_state = state;
        process_.Report(kReportStepText, 0);
        process_.clock.sleep_ms(1000);
    }
}

int CEepromConfigInfo::DumpCheckWith(const DumpCheckPlan& plan, LogScope& scope) {
    dump_mismatch_ = false;
    const bool reset = (process_.download_options & codes::kOptReset) != 0;
    int result = MP_OpenRomDevice();
    if (result) {
        if (!AllocateReadback(plan.length)) {
            process_.Report(kReportFailure, codes::kMallocFail);
            return 0;
        }
        result = plan.read(plan.length, readback_);
        if (!result) process_.Report(kReportFailure, plan.read_fail);
    }
    if (result) {
        result = DumpCompare();
        if (!result) dump_mismatch_ = true;
    }
    if (result) {
        if (reset && (plan.always_reset || conn_.rom_flag == 0)) {
            process_.Report(kReportStepText, codes::kStepResetToNewCode);
            MP_ResetToCode(kBootNewCode, 0);
        }
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, codes::kDownloadSucceed);
        return 1;
    }
    if (reset) MP_ResetToCode(kBootNewCode, 0);
    // A failed switch or read has reported its own code, which must stay: a report of code 0
    // here would turn the failure into exit code 0.
    if (dump_mismatch_) {
        if (plan.log_mismatch) scope.Section("Compare Data Fail!\n");
        process_.Report(kReportFailure, codes::kCompareFail);
    }
    SaveFailedReadBackFile();
    return 0;
}

}  // namespace orbisk
