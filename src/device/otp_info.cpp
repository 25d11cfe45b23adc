#include "device/otp_info.h"

#include "base/prompter.h"
#include "device/file_output.h"
#include "device/otp_parts.h"

namespace orbisk {

namespace {

constexpr uint32_t kStepDownload = 41721;
constexpr uint32_t kStepResetToNewCode = 41724;
constexpr uint32_t kResetDeviceFail = 41512;
constexpr uint8_t kOptReset = 0x01;
// OTP_Read knows this chip only.
constexpr uint16_t kOtpChipId = 0x8010;
constexpr const char* kCaption = "Tessaly_AllInOne";

}  // namespace

// ---- Downloads --------------------------------------------------------------------------------

int COTPInfo::OTP_Download() {
    LogScope scope(process_.logger, "COTPInfo::OTP_Download");
    // The camera answers, and runs its code or may be written from its boot ROM; where it runs
    // decides where its serial number comes from.
    if (!CheckCameraForWriting(scope)) return 0;
    const std::vector<uint8_t> as_loaded = images_.front;
    uint32_t code = kOtpDownloadSucceed;
    // The record keeps the serial number while the camera is out of its code: a camera left
    // in its boot ROM is written again with it, not with the image's own.
    if (!PreActionForAllInOne(code) || !RecordBeforeUpdate(as_loaded, scope, code)) {
        ReportFailure(code);
        return 0;
    }
    const int result = RunDownload(images_.front, kOtpDownloadSucceed, scope);
    if (result == 1) ForgetRecovery(scope);
    return result;
}

int COTPInfo::OTP_Update() {
    LogScope scope(process_.logger, "COTPInfo::OTP_Update");
    return RunDownload(images_.rear, kOtpUpdateSucceed, scope);
}

int COTPInfo::RunDownload(std::span<const uint8_t> image, uint32_t success_code, LogScope& scope) {
    failure_reported_ = false;
    int result = MP_OpenRomDevice();
    if (result) result = CheckSpace(scope);  // a declined check restarts the camera itself
    if (result) {
        result = OTP_ForNormalDownload(image);
        // A camera lost in the middle fails a transfer without a code of the flow's own.
        if (!result && !failure_reported_) ReportFailure(kOtpWriteFail);
        // Nothing in an OTP is erased: the blocks the camera ran are still listed (or the new
        // code block, once its entry is written). Restarted into them, it runs again at once
        // instead of waiting in its boot ROM; the failure keeps its code.
        if (!result && !MP_ResetToCode(kBootNewCode, 0))
            scope.Text("Restart into the code after the failure Fail\n");
    }
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, success_code);
    }
    process_.otp_code_part = 0;
    working_ = {};
    if (process_.run_mode == kRunDialog) {
        MP_GetDevStatus(status_);
        MP_GetFWVersionText();
    }
    return result;
}

int COTPInfo::CheckSpace(LogScope& scope) {
    if (process_.ConfigInt(cfg::kOtpMp) != 0) return 1;
    otp::VdTable vd;
    otp::EccTable ecc;
    const auto decline = [&] {
        MP_ResetToCode(kBootNewCode, 0);
        ReportFailure(kOtpWriteFail);
        return 0;
    };
    if (!ReadOtpTables(&vd, &ecc)) return decline();
    const otp::SpaceFacts facts = otp::ReadSpace(vd, ecc);
    Prompter* ask = process_.prompter;
    if (facts.free_entries == 0) {
        scope.Text("No Available VD Block!\n");
        if (ask) ask->Message(kCaption, "No Available VD Block!", Prompter::Icon::kError);
        return decline();
    }
    // Unanswered questions take their default button, No.
    const auto agrees = [&](const char* question) {
        scope.Text("%s\n", question);
        return ask != nullptr && ask->AskYesNo(kCaption, question);
    };
    if (otp::FreeBytes(facts.used) < otp::kLowSpaceBytes &&
        !agrees("OTP Code Size Less than 5K,\nContinue to Update!"))
        return decline();
    if (facts.free_entries < otp::kLowEntries &&
        !agrees("OTP VD Block Less than 4,\nContinue to Update!"))
        return decline();
    return 1;
}

int COTPInfo::OTP_ForNormalDownload(std::span<const uint8_t> image) {
    return WriteParts(image, true);
}

int COTPInfo::OTP_ForConfigDownload(std::span<const uint8_t> image) {
    return WriteParts(image, false);
}

int COTPInfo::WriteParts(std::span<const uint8_t> image, bool code_too) {
    LogScope scope(process_.logger, "COTPInfo::OTP_ForNormalDownload");
    std::string why;
    const std::optional<otp::ImageParts> parts = otp::SplitImage(image, &why);
    if (!parts) {
        scope.Text("%s\n", why.c_str());
        scope.Section("Get VD Code Fail!\n");
        ReportFailure(kOtpGetPartFail);
        return 0;
    }
    for (const bool code : {true, false}) {
        const auto& part = code ? parts->code : parts->config;
        if (!part || (code && !code_too)) continue;
        process_.otp_code_part = code ? 1 : 0;
        // The part is the working copy the verify step compares against.
        images_.working = *part;
        process_.Report(kReportStepText, kStepDownload);
        if (!OTP_UpdateEx_Cmd2(images_.working)) return 0;
    }
    if (process_.download_options & kOptReset) {
        process_.Report(kReportStepText, kStepResetToNewCode);
        if (!ResetIntoNewCode(scope)) return 0;
    }
    return 1;
}

bool COTPInfo::ResetIntoNewCode(LogScope& scope) {
    if (MP_ResetToCode(kBootNewCode, 0)) return true;
    scope.Text("Device ResetToRom Fail\n");
    ReportFailure(kResetDeviceFail);
    return false;
}

int COTPInfo::OTP_Erase() {
    LogScope scope(process_.logger, "COTPInfo::OTP_Erase");
    ReportFailure(kOtpNotSupportErase);
    return 0;
}

// ---- Reads ------------------------------------------------------------------------------------

std::optional<std::vector<uint8_t>> COTPInfo::ReadBlockOfKind(const otp::VdTable& vd,
                                                              const otp::EccTable& ecc,
                                                              uint8_t flag, bool* failed) {
    // The address and length of the same, newest entry: an older block of equal length must not
    // stand in for it.
    const int index = otp::LatestBlockOfKind(vd, ecc, flag);
    if (index < 0) return std::nullopt;
    const otp::VdEntry& e = vd[index];
    std::vector<uint8_t> block(e.length, 0xFF);
    if (!OTP_ReadEx_Cmd2(e.address, e.length, block.data(), flag == otp::kFlagCode)) {
        *failed = true;
        return std::nullopt;
    }
    otp::ApplyEcc(ecc, e.address, block);
    return block;
}

int COTPInfo::ReadBackParts(LogScope& scope) {
    const auto fail = [&](uint32_t code) {
        scope.Section(code == kOtpCodeNotExist ? "OTP Code Not Exist!\n" : "Read OTP Fail!\n");
        ReportFailure(code);
        return 0;
    };
    if (ReadChipIdOrZero() != kOtpChipId) return fail(kOtpReadFail);
    if (!MP_OpenRomDevice()) return 0;
    otp::VdTable vd;
    otp::EccTable ecc;
    if (!ReadOtpTables(&vd, &ecc)) return fail(kOtpReadFail);
    bool failed = false;
    const auto code = ReadBlockOfKind(vd, ecc, otp::kFlagCode, &failed);
    const auto config = failed ? std::nullopt : ReadBlockOfKind(vd, ecc, otp::kFlagConfig, &failed);
    if (failed) return fail(kOtpReadFail);
    readback_ = otp::CombineParts(code, config);
    if (readback_.empty()) return fail(kOtpCodeNotExist);
    return 1;
}

int COTPInfo::OTP_Read() {
    LogScope scope(process_.logger, "COTPInfo::OTP_Read");
    if (!ReadBackParts(scope)) return 0;
    process_.Report(kReportStepText, kStepResetToNewCode);
    if (!ResetIntoNewCode(scope)) return 0;
    if (process_.run_mode == kRunDialog && !dump_path_.empty())
        WriteBinaryFile(dump_path_, readback_);
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, kOtpReadSucceed);
    return 1;
}

int COTPInfo::OTP_DumpCheck() {
    LogScope scope(process_.logger, "COTPInfo::OTP_DumpCheck");
    dump_mismatch_ = false;
    int result = ReadBackParts(scope);
    if (result && !DumpCompare()) {
        dump_mismatch_ = true;
        result = 0;
    }
    const bool reset = (process_.download_options & kOptReset) != 0;
    if (result) {
        if (reset && conn_.rom_flag == 0) {
            process_.Report(kReportStepText, kStepResetToNewCode);
            MP_ResetToCode(kBootNewCode, 0);
        }
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kOtpReadSucceed);
        return 1;
    }
    if (reset) MP_ResetToCode(kBootNewCode, 0);
    // A failed read keeps the code it reported: reporting 0 here would turn it into success.
    if (dump_mismatch_) {
        scope.Section("Compare Data Fail!\n");
        ReportFailure(kOtpCompareFail);
    }
    SaveFailedReadBackFile();
    return 0;
}

// ---- File operations --------------------------------------------------------------------------

int COTPInfo::Silence_OTPWriteBin(const std::string& path) {
    LogScope scope(process_.logger, "COTPInfo::Silence_OTPWriteBin");
    if (!SilentLoad(path, true, scope, ChipCheck::kStrict)) return 0;
    // Every OTP download takes a block for good: a camera that runs the image already keeps
    // the space, as a flash camera is left alone.
    if (CameraRunsImage(scope)) return 1;
    return OTP_Download();
}

int COTPInfo::Silence_OTPWriteSNBin(const std::string& path) {
    LogScope scope(process_.logger, "COTPInfo::Silence_OTPWriteSNBin");
    if (!SilentLoad(path, true, scope, ChipCheck::kStrict)) return 0;
    return OTP_Download();
}

int COTPInfo::Silence_OTPDumpCheck(const std::string& path) {
    LogScope scope(process_.logger, "COTPInfo::Silence_OTPDumpCheck");
    if (!SilentLoad(path, true, scope, ChipCheck::kPaired)) return 0;
    return OTP_DumpCheck();
}

int COTPInfo::SilenceReadBin(const std::string& path) {
    LogScope scope(process_.logger, "COTPInfo::SilenceReadBin");
    if (!OTP_Read()) return 0;
    WriteBinaryFile(path, readback_);
    return 1;
}

}  // namespace orbisk
