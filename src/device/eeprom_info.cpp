#include "device/eeprom_info.h"

#include <cstring>

#include "base/status_codes.h"
#include "device/file_output.h"
#include "device/flash_codes.h"

namespace orbisk {

// ---- both widths ------------------------------------------------------------------------------

int CEepromInfo::DumpCheckOf(bool wide, LogScope& scope) {
    DumpCheckPlan plan;
    plan.length = static_cast<uint32_t>(images_.front.size());
    plan.read = [this, wide](uint32_t n, std::span<uint8_t> out) {
        return wide ? MP_ReadEeprom16(n, out) : MP_ReadEeprom8(n, out);
    };
    plan.read_fail = kStatusReadEepromFail;
    plan.always_reset = false;
    plan.log_mismatch = wide;
    return DumpCheckWith(plan, scope);
}

// ---- 16-bit word addresses --------------------------------------------------------------------

int CEepromInfo::EEU16_Download() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Download");
    if (!PrepareForWriting(scope)) return 0;
    if (!AllocateReadback(static_cast<uint32_t>(images_.front.size()))) {
        process_.Report(kReportFailure, kStatusMallocFail);
        return 0;
    }
    int result = MP_OpenRomDevice();
    if (result) result = EE16_UpdateEx(images_.front);
    ShowSerialNumberState();
    return FinishByteMemoryDownload(result, kStatusDownloadEepromSucceed, scope);
}

int CEepromInfo::EEU16_Update() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Update");
    int result = MP_OpenRomDevice();
    if (result) result = EE16_UpdateEx(images_.rear);
    if (result == 1) {
        process_.Report(kReportProgress, 100);
        process_.Report(kReportSuccess, kStatusUpdateEepromSucceed);
    }
    if (process_.run_mode == kRunDialog) MP_GetFWVersionText();
    return result;
}

int CEepromInfo::EEU16_Erase() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Erase");
    return ByteMemoryErase(Plan(true), scope);
}

int CEepromInfo::EEU16_Read() {
    LogScope scope(process_.logger, "CEepromInfo::EEU16_Read");
    return ByteMemoryRead(Plan(true), scope);
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

ByteMemoryPlan CEepromInfo::Plan(bool wide) {
    ByteMemoryPlan plan;
    plan.name = "I2CEEP";
    plan.erase = [this, wide](uint32_t n) {
        return wide ? MP_EraseEeprom16(n) : MP_EraseEeprom8(n);
    };
    plan.check_empty = [this](uint32_t n, std::span<uint8_t> out) {
        return MP_CheckEeprom8Empty(n, out);
    };
    plan.write = [this, wide](uint32_t n, std::span<uint8_t> in) {
        return wide ? MP_WriteEeprom16(0, n, in) : MP_WriteEeprom8(n, in);
    };
    plan.read = [this, wide](uint32_t n, std::span<uint8_t> out) {
        return wide ? MP_ReadEeprom16(n, out) : MP_ReadEeprom8(n, out);
    };
    plan.write_tag = [this, wide] {
        const uint64_t h = conn_.camera_handle;
        const uint32_t o = conn_.command_options;
        return (wide ? camlib_.CamLib_I2C_EEP16_WriteTag(h, o)
                     : camlib_.CamLib_I2C_EEP8_WriteTag(h, o)) != 0;
    };
    plan.read_tag = [this, wide](uint8_t* tag) {
        const uint64_t h = conn_.camera_handle;
        const uint32_t o = conn_.command_options;
        return (wide ? camlib_.CamLib_I2C_EEP16_Read(h, kByteMemoryTagAddress, 1, tag, nullptr,
                                                     nullptr, o)
                     : camlib_.CamLib_I2C_EEP8_Read(h, kByteMemoryTagAddress, 1, tag, o)) != 0;
    };
    // The 16-bit EEPROM's pin the profile's way, the 8-bit one's through the GPIO registers.
    plan.protect = [this, wide](bool enable) { return EepromWriteProtect(enable, wide); };
    plan.codes = kEepromCodes;
    return plan;
}

int CEepromInfo::EEU8_Download() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Download");
    return ByteMemoryDownload(Plan(false), scope);
}

int CEepromInfo::EEU8_Update() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Update");
    return ByteMemoryUpdate(Plan(false), scope);
}

int CEepromInfo::EEU8_Erase() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Erase");
    return ByteMemoryErase(Plan(false), scope);
}

int CEepromInfo::EEU8_Read() {
    LogScope scope(process_.logger, "CEepromInfo::EEU8_Read");
    return ByteMemoryRead(Plan(false), scope);
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
