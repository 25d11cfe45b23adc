#include "device/mtp_info.h"

#include <cstring>

#include "device/file_output.h"
#include "device/flash_codes.h"

namespace orbisk {

namespace {

constexpr uint8_t kOptCheckEmpty = 0x02;
// The download and update erase and check this much: a write in the mode the host uses
// replaces bytes, so the erase only clears the configuration header ahead of the write.
constexpr uint32_t kMtpEraseLength = 64;

}  // namespace

int CMTPInfo::MtpSequence(std::span<const uint8_t> image, bool checked, uint32_t& code,
                          LogScope& scope) {
    const uint8_t options = process_.download_options;
    const auto fail = [&](const char* text, uint32_t failure) {
        scope.Section(text);
        code = failure;
        return 0;
    };
    if (!MP_EraseMTP(kMtpEraseLength)) return fail("Erase MTP Fail\n", codes::kEraseMtpFail);
    if (checked && (options & kOptCheckEmpty)) {
        std::vector<uint8_t> head(kMtpEraseLength, 0);
        if (!MP_CheckMTPEmpty(kMtpEraseLength, head))
            return fail("Check MTP Empty Fail\n", codes::kCheckEmptyFail);
    }
    const bool program = !checked || (options & codes::kOptProgram);
    if (program) {
        if (image.size() <= kByteMemoryTagAddress)
            return fail("Write MTP Fail\n", codes::kUpdateMtpFail);
        // The tag is written only after the comparison: the write leaves its place 0xFF.
        std::vector<uint8_t> held = WithTagHeldBack(image);
        const auto n = static_cast<uint32_t>(held.size());
        if (!MP_WriteMTP(n, held)) return fail("Write MTP Fail\n", codes::kUpdateMtpFail);
        if (!AllocateReadback(n)) return fail("Malloc Data Fail\n", codes::kMallocFail);
        if (!MP_ReadMTP(n, readback_)) return fail("Read MTP Fail\n", codes::kReadMtpFail);
        if (std::memcmp(readback_.data(), held.data(), n) != 0)
            return fail("Check MTP Fail\n", codes::kCompareFail);
        const uint64_t h = conn_.camera_handle;
        if (!WriteTagChecked([&] { return camlib_.CamLib_MTP_WriteTag(h) != 0; },
                             [&](uint8_t* tag) {
                                 return camlib_.CamLib_MTP_Read(h, kByteMemoryTagAddress, 1, tag,
                                                                nullptr, nullptr) != 0;
                             }))
            return fail("Write MTP Tag Fail\n", codes::kWriteTagFail);
    }
    if (!checked || (options & codes::kOptReset)) {
        const uint32_t failure = ResetIntoWrittenCode(scope, program, "Devcie ResetToRom Fail\n");
        if (failure) {
            code = failure;
            return 0;
        }
    }
    return 1;
}

int CMTPInfo::MTP_Download() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Download");
    if (!PrepareForWriting(scope)) return 0;
    if (!AllocateReadback(static_cast<uint32_t>(images_.front.size()))) {
        process_.Report(kReportFailure, codes::kMallocFail);
        return 0;
    }
    int result = MP_OpenRomDevice();
    if (result) {
        uint32_t code = 0;
        result = MtpSequence(images_.front, true, code, scope);
        if (!result) process_.Report(kReportFailure, code);
        ShowSerialNumberState();
    }
    if (result == 1) {
        ForgetRecovery(scope);
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, codes::kDownloadMtpSucceed);
    }
    MP_GetDevStatus(status_);
    MP_GetFWVersionText();
    return result;
}

int CMTPInfo::MTP_Update() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Update");
    if (!MP_OpenRomDevice()) return 0;
    uint32_t code = 0;
    if (!MtpSequence(images_.rear, false, code, scope)) {
        process_.Report(kReportFailure, code);
        return 0;
    }
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, codes::kUpdateMtpSucceed);
    return 1;
}

int CMTPInfo::MTP_Read() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Read");
    if (!MP_OpenRomDevice()) return 0;
    if (!AllocateReadback(read_length_)) {
        process_.Report(kReportFailure, codes::kMallocFail);
        return 0;
    }
    if (!MP_ReadMTP(read_length_, readback_)) {
        scope.Section("Read MTP Fail\n");
        process_.Report(kReportFailure, codes::kReadMtpFail);
        return 0;
    }
    process_.Report(kReportStepText, codes::kStepResetToNewCode);
    if (!MP_ResetToCode(kBootNewCode, 0)) {
        process_.Report(kReportFailure, codes::kResetDeviceFail);
        return 0;
    }
    if (process_.run_mode == kRunDialog && !dump_path_.empty())
        WriteBinaryFile(dump_path_, readback_);
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, codes::kReadMtpSucceed);
    return 1;
}

int CMTPInfo::MTP_Erase() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Erase");
    if (!MP_OpenRomDevice()) return 0;
    if (!MP_EraseMTP(read_length_)) {
        scope.Section("Erase MTP Fail\n");
        process_.Report(kReportFailure, codes::kEraseMtpFail);
        return 0;
    }
    if (process_.download_options & codes::kOptReset) {
        process_.Report(kReportStepText, codes::kStepResetToNewCode);
        if (!MP_ResetToCode(kBootNewCode, 0)) {
            process_.Report(kReportFailure, codes::kResetDeviceFail);
            return 0;
        }
    }
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, codes::kEraseMtpSucceed);
    return 1;
}

int CMTPInfo::MTP_DumpCheck() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_DumpCheck");
    DumpCheckPlan plan;
    plan.length = read_length_;
    plan.read = [this](uint32_t n, std::span<uint8_t> out) { return MP_ReadMTP(n, out); };
    plan.read_fail = codes::kReadMtpFail;
    plan.always_reset = true;
    plan.log_mismatch = false;
    return DumpCheckWith(plan, scope);
}

int CMTPInfo::MTP_Silence_WriteBin(const std::string& path) {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Silence_WriteBin");
    return SilentWriteBinWith(
        path, [this] { return MTP_Download(); }, scope);
}

int CMTPInfo::MTP_Silence_WriteSNBin(const std::string& path) {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Silence_WriteSNBin");
    return SilentWriteSNBinWith(
        path, [this] { return MTP_Download(); }, scope);
}

int CMTPInfo::MTP_Silence_VerifyBin(const std::string& path) {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Silence_VerifyBin");
    return SilentVerifyBinWith(
        path, [this] { return MTP_Read(); }, scope);
}

}  // namespace orbisk
