#include "device/eeprom_info.h"

#include <cstring>

#include "device/file_output.h"
#include "device/flash_codes.h"

namespace orbisk {

namespace {

constexpr uint8_t kOptCheckEmpty = 0x02;
// The 8-bit download and update erase and check this much of the EEPROM: the bytes are
// rewritten in place, so the erase only clears the configuration header ahead of the write.
constexpr uint32_t kEeprom8EraseLength = 64;

}  // namespace

// ---- both widths ------------------------------------------------------------------------------

int CEepromInfo::FinishDownload(int result, LogScope& scope) {
    if (result == 1) {
        ForgetRecovery(scope);
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, codes::kDownloadEepromSucceed);
    }
    MP_GetDevStatus(status_);
    MP_GetFWVersionText();
    return result;
}

int CEepromInfo::ReadWith(bool wide, LogScope& scope) {
    if (!MP_OpenRomDevice()) return 0;
    if (!AllocateReadback(read_length_)) {
        process_.Report(kReportFailure, codes::kMallocFail);
        return 0;
    }
    const int read =
        wide ? MP_ReadEeprom16(read_length_, readback_) : MP_ReadEeprom8(read_length_, readback_);
    if (!read) {
        scope.Section("Read I2CEEP Fail\n");
        process_.Report(kReportFailure, codes::kReadEepromFail);
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
    process_.Report(kReportSuccess, codes::kReadEepromSucceed);
    return 1;
}

int CEepromInfo::DumpCheckOf(bool wide, LogScope& scope) {
    DumpCheckPlan plan;
    plan.length = static_cast<uint32_t>(images_.front.size());
    plan.read = [this, wide](uint32_t n, std::span<uint8_t> out) {
        return wide ? MP_ReadEeprom16(n, out) : MP_ReadEeprom8(n, out);
    };
    plan.read_fail = codes::kReadEepromFail;
    plan.always_reset = false;
    plan.log_mismatch = wide;
    return DumpCheckWith(plan, scope);
}

// ---- 16-bit word addresses --------------------------------------------------------------------

int CEepromInfo::EEU16_Download() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Download");
    if (!PrepareForWriting(scope)) return 0;
    if (!AllocateReadback(static_cast<uint32_t>(images_.front.size()))) {
        process_.Report(kReportFailure, codes::kMallocFail);
        return 0;
    }
    int result = MP_OpenRomDevice();
    if (result) result = EE16_UpdateEx(images_.front);
    ShowSerialNumberState();
    return FinishDownload(result, scope);
}

int CEepromInfo::EEU16_Update() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Update");
    int result = MP_OpenRomDevice();
    if (result) result = EE16_UpdateEx(images_.rear);
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, codes::kUpdateEepromSucceed);
    }
    if (process_.run_mode == kRunDialog) MP_GetFWVersionText();
    return result;
}

int CEepromInfo::EEU16_Erase() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Erase");
    if (!MP_OpenRomDevice()) return 0;
    if (!EepromWriteProtect(false, true)) {
        scope.Section("Disable Write Protect Fail\n");
        process_.Report(kReportFailure, codes::kDisableWpFail);
        return 0;
    }
    const int erased = MP_EraseEeprom16(read_length_);
    EepromWriteProtect(true, true);  // its result is not what the erase reports
    if (!erased) {
        scope.Section("Erase I2CEEP Fail\n");
        process_.Report(kReportFailure, codes::kEraseEepromFail);
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
    process_.Report(kReportSuccess, codes::kEraseEepromSucceed);
    return 1;
}

int CEepromInfo::EEU16_Read() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Read");
    return ReadWith(true, scope);
}

int CEepromInfo::EEU16_DumpCheck() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_DumpCheck");
    return DumpCheckOf(true, scope);
}

int CEepromInfo::EEU16_Silence_WriteBin(const std::string& path) {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Silence_WriteBin");
    return SilentWriteBinWith(
        path, [this] { return EEU16_Download(); }, scope);
}

int CEepromInfo::EEU16_Silence_WriteSNBin(const std::string& path) {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Silence_WriteSNBin");
    return SilentWriteSNBinWith(
        path, [this] { return EEU16_Download(); }, scope);
}

int CEepromInfo::EEU16_Silence_VerifyBin(const std::string& path) {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Silence_VerifyBin");
    return SilentVerifyBinWith(
        path, [this] { return EEU16_Read(); }, scope);
}

int CEepromInfo::Silence_DumpCheck(const std::string& path) {
    LogScope scope(process_.logger, "CEepromInfo16_USB::Silence_DumpCheck");
    dump_mismatch_ = false;
    if (!SilentLoad(path, true, scope)) return 0;
    return DumpCheckOf(true, scope);
}

// ---- 8-bit word addresses ---------------------------------------------------------------------

int CEepromInfo::Eeprom8Sequence(std::span<const uint8_t> image, bool checked, uint32_t& code,
                                 LogScope& scope) {
    const uint8_t options = process_.download_options;
    const auto fail = [&](const char* text, uint32_t failure) {
        scope.Section(text);
        code = failure;
        return 0;
    };
    if (!EepromWriteProtect(false, false))
        return fail("Disable Write Protect Fail\n", codes::kDisableWpFail);
    if (!MP_EraseEeprom8(kEeprom8EraseLength))
        return fail("Erase I2CEEP Fail\n", codes::kEraseEepromFail);
    if (checked && (options & kOptCheckEmpty)) {
        std::vector<uint8_t> head(kEeprom8EraseLength, 0);
        if (!MP_CheckEeprom8Empty(kEeprom8EraseLength, head))
            return fail("Check I2CEEP Empty Fail\n", codes::kCheckEmptyFail);
    }
    const bool program = !checked || (options & codes::kOptProgram);
    if (program) {
        // The tag is held back as in the 16-bit sequence: an update cut short must leave an
        // EEPROM the boot ROM does not start.
        if (image.size() <= kByteMemoryTagAddress)
            return fail("Write I2CEEP Fail\n", codes::kUpdateEepromFail);
        std::vector<uint8_t> held = WithTagHeldBack(image);
        const auto n = static_cast<uint32_t>(held.size());
        if (!MP_WriteEeprom8(n, held)) return fail("Write I2CEEP Fail\n", codes::kUpdateEepromFail);
        if (!AllocateReadback(n)) return fail("Malloc Data Fail\n", codes::kMallocFail);
        if (!MP_ReadEeprom8(n, readback_))
            return fail("Read I2CEEP Fail\n", codes::kReadEepromFail);
        if (std::memcmp(readback_.data(), held.data(), n) != 0)
            return fail("Check I2CEEP Fail\n", codes::kCompareFail);
        const uint64_t h = conn_.camera_handle;
        const uint32_t o = conn_.command_options;
        if (!WriteTagChecked([&] { return camlib_.CamLib_I2C_EEP8_WriteTag(h, o) != 0; },
                             [&](uint8_t* tag) {
                                 return camlib_.CamLib_I2C_EEP8_Read(h, kByteMemoryTagAddress, 1,
                                                                     tag, o) != 0;
                             }))
            return fail("Write I2CEEP Tag Fail\n", codes::kWriteTagFail);
    }
    if (!EepromWriteProtect(true, false))
        return fail("Enable Write Protect Fail\n", codes::kEnableWpFail);
    // The update always restarts the camera; the download when option 0x01 asks for it.
    if (!checked || (options & codes::kOptReset)) {
        const uint32_t failure = ResetIntoWrittenCode(scope, program, "Devcie ResetToRom Fail\n");
        if (failure) {
            code = failure;
            return 0;
        }
    }
    return 1;
}

int CEepromInfo::EEU8_Download() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Download");
    if (!PrepareForWriting(scope)) return 0;
    if (!AllocateReadback(static_cast<uint32_t>(images_.front.size()))) {
        process_.Report(kReportFailure, codes::kMallocFail);
        return 0;
    }
    int result = MP_OpenRomDevice();
    if (result) {
        uint32_t code = 0;
        result = Eeprom8Sequence(images_.front, true, code, scope);
        if (!result) process_.Report(kReportFailure, code);
        ShowSerialNumberState();
    }
    return FinishDownload(result, scope);
}

int CEepromInfo::EEU8_Update() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Update");
    if (!MP_OpenRomDevice()) return 0;
    uint32_t code = 0;
    if (!Eeprom8Sequence(images_.rear, false, code, scope)) {
        process_.Report(kReportFailure, code);
        return 0;
    }
    process_.Report(kReportProgress, 100);
    process_.Report(kReportSuccess, codes::kUpdateEepromSucceed);
    return 1;
}

int CEepromInfo::EEU8_Erase() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Erase");
    if (!MP_OpenRomDevice()) return 0;
    // The pin is released as for the download: a protected EEPROM takes the erase and keeps its
    // bytes, which would pass for an erased one.
    if (!EepromWriteProtect(false, false)) {
        scope.Section("Disable Write Protect Fail\n");
        process_.Report(kReportFailure, codes::kDisableWpFail);
        return 0;
    }
    const int erased = MP_EraseEeprom8(read_length_);
    EepromWriteProtect(true, false);  // its result is not what the erase reports
    if (!erased) {
        scope.Section("Erase I2CEEP Fail\n");
        process_.Report(kReportFailure, codes::kEraseEepromFail);
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
    process_.Report(kReportSuccess, codes::kEraseEepromSucceed);
    return 1;
}

int CEepromInfo::EEU8_Read() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Read");
    return ReadWith(false, scope);
}

int CEepromInfo::EEU8_DumpCheck() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_DumpCheck");
    return DumpCheckOf(false, scope);
}

int CEepromInfo::EEU8_Silence_WriteBin(const std::string& path) {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Silence_WriteBin");
    return SilentWriteBinWith(
        path, [this] { return EEU8_Download(); }, scope);
}

int CEepromInfo::EEU8_Silence_WriteSNBin(const std::string& path) {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Silence_WriteSNBin");
    return SilentWriteSNBinWith(
        path, [this] { return EEU8_Download(); }, scope);
}

int CEepromInfo::EEU8_Silence_VerifyBin(const std::string& path) {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Silence_VerifyBin");
    return SilentVerifyBinWith(
        path, [this] { return EEU8_Read(); }, scope);
}

}  // namespace orbisk
