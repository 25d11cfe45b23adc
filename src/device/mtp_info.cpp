#include "device/mtp_info.h"

#include <cstring>

#include "base/status_codes.h"
#include "device/file_output.h"
#include "device/flash_codes.h"

namespace orbisk {

ByteMemoryPlan CMTPInfo::Plan() {
    ByteMemoryPlan plan;
    plan.name = "MTP";
    plan.erase = [this](uint32_t n) { return MP_EraseMTP(n); };
    plan.check_empty = [this](uint32_t n, std::span<uint8_t> out) {
        return MP_CheckMTPEmpty(n, out);
    };
    plan.write = [this](uint32_t n, std::span<uint8_t> in) { return MP_WriteMTP(n, in); };
    plan.read = [this](uint32_t n, std::span<uint8_t> out) { return MP_ReadMTP(n, out); };
    plan.write_tag = [this] { return camlib_.CamLib_MTP_WriteTag(conn_.camera_handle) != 0; };
    plan.read_tag = [this](uint8_t* tag) {
        return camlib_.CamLib_MTP_Read(conn_.camera_handle, kByteMemoryTagAddress, 1, tag, nullptr,
                                       nullptr) != 0;
    };
    plan.codes = kMtpCodes;
    return plan;
}

int CMTPInfo::MTP_Download() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Download");
    return ByteMemoryDownload(Plan(), scope);
}

int CMTPInfo::MTP_Update() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Update");
    return ByteMemoryUpdate(Plan(), scope);
}

int CMTPInfo::MTP_Read() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Read");
    return ByteMemoryRead(Plan(), scope);
}

int CMTPInfo::MTP_Erase() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_Erase");
    return ByteMemoryErase(Plan(), scope);
}

int CMTPInfo::MTP_DumpCheck() {
    LogScope scope(process_.logger, "CMTPInfo::MTP_DumpCheck");
    DumpCheckPlan plan;
    plan.length = read_length_;
    plan.read = [this](uint32_t n, std::span<uint8_t> out) { return MP_ReadMTP(n, out); };
    plan.read_fail = kStatusReadMtpFail;
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
