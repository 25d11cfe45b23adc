// The operations the EEPROM and MTP memory types share: the silent family over their own read,
// erase and download, and the dump check.
#include <cstring>

#include "base/status_codes.h"
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
    process_.status.SetCode(kStatusCompareFail);
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
            process_.Report(kReportFailure, kStatusMallocFail);
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
            process_.Report(kReportStepText, kStatusStepResetToNewCode);
            MP_ResetToCode(kBootNewCode, 0);
        }
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kStatusDownloadSucceed);
        return 1;
    }
    if (reset) MP_ResetToCode(kBootNewCode, 0);
    // A failed switch or read has reported its own code, which must stay: a report of code 0
    // here would turn the failure into exit code 0.
    if (dump_mismatch_) {
        if (plan.log_mismatch) scope.Section("Compare Data Fail!\n");
        process_.Report(kReportFailure, kStatusCompareFail);
    }
    SaveFailedReadBackFile();
    return 0;
}

}  // namespace orbisk

namespace orbisk {

namespace {

constexpr uint8_t kOptCheckEmpty = 0x02;
// The download and update erase and check this much: the bytes are rewritten in place, so the
// erase only clears the configuration header ahead of the write.
constexpr uint32_t kHeadLength = 64;

}  // namespace

int CEepromConfigInfo::ByteMemorySequence(const ByteMemoryPlan& plan,
                                          std::span<const uint8_t> image, bool checked,
                                          uint32_t& code, LogScope& scope) {
    const uint8_t options = process_.download_options;
    const auto fail = [&](const std::string& text, uint32_t failure) {
        scope.Section(text.c_str());
        code = failure;
        return 0;
    };
    const std::string& name = plan.name;
    if (plan.protect && !plan.protect(false))
        return fail("Disable Write Protect Fail\n", kStatusDisableWpFail);
    if (!plan.erase(kHeadLength)) return fail("Erase " + name + " Fail\n", plan.codes.erase_fail);
    if (checked && (options & kOptCheckEmpty)) {
        std::vector<uint8_t> head(kHeadLength, 0);
        if (!plan.check_empty(kHeadLength, head))
            return fail("Check " + name + " Empty Fail\n", kStatusCheckEmptyFail);
    }
    const bool program = !checked || (options & codes::kOptProgram);
    if (program) {
        // The tag is held back: an update cut short must leave a memory the boot ROM does not
        // start.
        if (image.size() <= kByteMemoryTagAddress)
            return fail("Write " + name + " Fail\n", plan.codes.write_fail);
        std::vector<uint8_t> held = WithTagHeldBack(image);
        const auto n = static_cast<uint32_t>(held.size());
        if (!plan.write(n, held)) return fail("Write " + name + " Fail\n", plan.codes.write_fail);
        if (!AllocateReadback(n)) return fail("Malloc Data Fail\n", kStatusMallocFail);
        if (!plan.read(n, readback_)) return fail("Read " + name + " Fail\n", plan.codes.read_fail);
        if (std::memcmp(readback_.data(), held.data(), n) != 0)
            return fail("Check " + name + " Fail\n", kStatusCompareFail);
        if (!WriteTagChecked(plan.write_tag, plan.read_tag))
            return fail("Write " + name + " Tag Fail\n", kStatusWriteTagFail);
    }
    if (plan.protect && !plan.protect(true))
        return fail("Enable Write Protect Fail\n", kStatusEnableWpFail);
    if (!checked || (options & codes::kOptReset)) {
        const uint32_t failure = ResetIntoWrittenCode(scope, program, "Devcie ResetToRom Fail\n");
        if (failure) {
            code = failure;
            return 0;
        }
    }
    return 1;
}

int CEepromConfigInfo::FinishByteMemoryDownload(int result, uint32_t success, LogScope& scope) {
    if (result == 1) {
        ForgetRecovery(scope);
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, success);
    }
    MP_GetDevStatus(status_);
    MP_GetFWVersionText();
    return result;
}

int CEepromConfigInfo::ByteMemoryDownload(const ByteMemoryPlan& plan, LogScope& scope) {
    if (!PrepareForWriting(scope)) return 0;
    if (!AllocateReadback(static_cast<uint32_t>(images_.front.size()))) {
        process_.Report(kReportFailure, kStatusMallocFail);
        return 0;
    }
    int result = MP_OpenRomDevice();
    if (result) {
        uint32_t code = 0;
        result = ByteMemorySequence(plan, images_.front, true, code, scope);
        if (!result) process_.Report(kReportFailure, code);
        ShowSerialNumberState();
    }
    return FinishByteMemoryDownload(result, plan.codes.download_success, scope);
}

int CEepromConfigInfo::ByteMemoryUpdate(const ByteMemoryPlan& plan, LogScope& scope) {
    if (!MP_OpenRomDevice()) return 0;
    uint32_t code = 0;
    if (!ByteMemorySequence(plan, images_.rear, false, code, scope)) {
        process_.Report(kReportFailure, code);
        return 0;
    }
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, plan.codes.update_success);
    return 1;
}

int CEepromConfigInfo::ByteMemoryRead(const ByteMemoryPlan& plan, LogScope& scope) {
    if (!MP_OpenRomDevice()) return 0;
    if (!AllocateReadback(read_length_)) {
        process_.Report(kReportFailure, kStatusMallocFail);
        return 0;
    }
    if (!plan.read(read_length_, readback_)) {
        scope.Section(("Read " + plan.name + " Fail\n").c_str());
        process_.Report(kReportFailure, plan.codes.read_fail);
        return 0;
    }
    process_.Report(kReportStepText, kStatusStepResetToNewCode);
    if (!MP_ResetToCode(kBootNewCode, 0)) {
        process_.Report(kReportFailure, kStatusResetDeviceFail);
        return 0;
    }
    if (process_.run_mode == kRunDialog && !dump_path_.empty())
        WriteBinaryFile(dump_path_, readback_);
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, plan.codes.read_success);
    return 1;
}

int CEepromConfigInfo::ByteMemoryErase(const ByteMemoryPlan& plan, LogScope& scope) {
    if (!MP_OpenRomDevice()) return 0;
    // A protected EEPROM takes the erase and keeps its bytes, which would pass for erased ones.
    if (plan.protect && !plan.protect(false)) {
        scope.Section("Disable Write Protect Fail\n");
        process_.Report(kReportFailure, kStatusDisableWpFail);
        return 0;
    }
    const int erased = plan.erase(read_length_);
    if (plan.protect) plan.protect(true);  // its result is not what the erase reports
    if (!erased) {
        scope.Section(("Erase " + plan.name + " Fail\n").c_str());
        process_.Report(kReportFailure, plan.codes.erase_fail);
        return 0;
    }
    if (process_.download_options & codes::kOptReset) {
        process_.Report(kReportStepText, kStatusStepResetToNewCode);
        if (!MP_ResetToCode(kBootNewCode, 0)) {
            process_.Report(kReportFailure, kStatusResetDeviceFail);
            return 0;
        }
    }
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, plan.codes.erase_success);
    return 1;
}

}  // namespace orbisk
