#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/eeprom_config_info.h"

namespace orbisk {

// The OTP memory type: the thirteen operations over the block, VD and ECC algorithm. Nothing
// is ever erased; every download appends blocks.
class COTPInfo : public CEepromConfigInfo {
  public:
    using CEepromConfigInfo::CEepromConfigInfo;

    // The memory-type slots.
    int Read() override { return OTP_Read(); }
    int Erase() override { return OTP_Erase(); }
    int Update() override { return OTP_Update(); }
    int Download() override { return OTP_Download(); }
    int DumpCheck() override { return OTP_DumpCheck(); }
    int SilenceWriteBin(const std::string& path) override { return Silence_OTPWriteBin(path); }
    int SilenceWriteSNBin(const std::string& path) override { return Silence_OTPWriteSNBin(path); }
    int SilenceReadBin(const std::string& path) override;
    int SilenceDumpCheck(const std::string& path) override { return Silence_OTPDumpCheck(path); }

    int OTP_Read();
    int OTP_Erase();
    int OTP_Update();
    int OTP_Download();
    int OTP_DumpCheck();
    int Silence_OTPWriteBin(const std::string& path);
    int Silence_OTPWriteSNBin(const std::string& path);
    int Silence_OTPDumpCheck(const std::string& path);
    // Writes the parts of `image` as blocks (code, then configuration), then restarts the
    // camera into them when download option 0x01 asks for it.
    int OTP_ForNormalDownload(std::span<const uint8_t> image);
    int OTP_ForConfigDownload(std::span<const uint8_t> image);

  private:
    int WriteParts(std::span<const uint8_t> image, bool code_too);
    // The space check of a download; 1 to go on.
    int CheckSpace(LogScope& scope);
    // The newest block of each kind, read through the ECC view and joined into the read-back
    // buffer. Reports its own failure.
    int ReadBackParts(LogScope& scope);
    std::optional<std::vector<uint8_t>> ReadBlockOfKind(const otp::VdTable& vd,
                                                        const otp::EccTable& ecc, uint8_t flag,
                                                        bool* failed);
    int RunDownload(std::span<const uint8_t> image, uint32_t success_code, LogScope& scope);
    bool ResetIntoNewCode(LogScope& scope);
};

}  // namespace orbisk
