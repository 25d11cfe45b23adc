#pragma once
#include "device/flash_info.h"

namespace orbisk {

// NOR flash: only the download is served; the NOR part has no write protection and no tag
// hold-back (its tag is a command of its own).
class CNORFlashInfo_USB : public CFlashInfo {
  public:
    using CFlashInfo::CFlashInfo;

    // Only the download is served: read, erase, update and dump check succeed without doing
    // anything. Writing an image file (the command line's update) loads and checks it as for
    // serial flash and runs the download; the other file operations are not supported.
    int Read() override { return 1; }
    int Erase() override { return 1; }
    int Update() override { return 1; }
    int DumpCheck() override { return 1; }
    int Download() override;
    int SilenceWriteBin(const std::string& p) override { return FFU_Silence_WriteBin(p); }
    int SilenceWriteSNBin(const std::string& p) override { return FFU_Silence_WriteSNBin(p); }
    int SilenceReadBin(const std::string& p) override { return CDevFlow::SilenceReadBin(p); }
    int SilenceVerifyBin(const std::string& p) override { return CDevFlow::SilenceVerifyBin(p); }
    int SilenceSaveHexBin(const std::string& p) override { return CDevFlow::SilenceSaveHexBin(p); }
    int SilenceErase(int r) override { return CDevFlow::SilenceErase(r); }
    int SilenceDumpCheck(const std::string& p) override { return CDevFlow::SilenceDumpCheck(p); }

  private:
    int NorSequence();
};

}  // namespace orbisk
