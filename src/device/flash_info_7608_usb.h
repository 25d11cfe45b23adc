#pragma once
#include <span>
#include <string>

#include "device/flash_info.h"

namespace orbisk {

// The flash behind a MIPI bridge: every operation first brings the bridge into its boot ROM,
// and ends by reading the bridge's version. The file operations other than writing an image
// and the dump check against a file are not supported.
class C7608FlashInfo_USB : public CFlashInfo {
  public:
    using CFlashInfo::CFlashInfo;

    int Read() override { return FFU_7608Read(); }
    int Erase() override { return FFU_7608Erase(); }
    int Update() override { return FFU_7608Update(); }
    int Download() override { return FFU_7608Download(); }
    int DumpCheck() override { return FFU_7608DumpCheck(); }
    int SilenceWriteBin(const std::string& p) override { return FFU_Silence_7608WriteBin(p); }
    int SilenceWriteSNBin(const std::string& p) override { return CDevFlow::SilenceWriteSNBin(p); }
    int SilenceReadBin(const std::string& p) override { return CDevFlow::SilenceReadBin(p); }
    int SilenceVerifyBin(const std::string& p) override { return CDevFlow::SilenceVerifyBin(p); }
    int SilenceSaveHexBin(const std::string& p) override { return CDevFlow::SilenceSaveHexBin(p); }
    int SilenceErase(int r) override { return CDevFlow::SilenceErase(r); }
    int SilenceDumpCheck(const std::string& p) override { return FFU_Silence_7608DumpCheck(p); }

    int FFU_7608Read();
    int FFU_7608Erase();
    int FFU_7608Update();
    int FFU_7608Download();
    int FFU_7608DumpCheck();
    int FFU_Silence_7608WriteBin(const std::string& path);
    int FFU_Silence_7608DumpCheck(const std::string& path);

  private:
    // The download and the update: `image` is the first or the second image.
    int BridgeDownload(std::vector<uint8_t>& image, const char* scope_name);
    // Puts the camera's reserved data ("MIPI Reserve") back into the image; false, reported,
    // when they were not read or the image does not reach their place.
    bool KeepReservedData(std::vector<uint8_t>& image, LogScope& scope);
    // Both options 0x01 and 0x10: the bridge must come back running its code.
    int WaitForCode(int result);
    // The ends of the dump checks: the passed one (restart, the sector at 0x1E000 rewritten
    // with zeros when asked, report), the failed one (restart, report a mismatch, keep the
    // read-back).
    int BridgeDumpCheckPassed(int result, bool rewrite_sector);
    int BridgeDumpCheckFailed(LogScope& scope);
};

}  // namespace orbisk
