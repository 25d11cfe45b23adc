#pragma once
#include "device/flash_info.h"

namespace orbisk {

// Two cameras behind one hub, front then rear, each updated with its own image.
class CTarnFlashInfo_USB : public CFlashInfo {
  public:
    using CFlashInfo::CFlashInfo;

    // Only the download is served: read, erase, update and dump check succeed without doing
    // anything, the file operations are not supported.
    int Read() override { return 1; }
    int Erase() override { return 1; }
    int Update() override { return 1; }
    int DumpCheck() override { return 1; }
    int Download() override;
    int SilenceWriteBin(const std::string& p) override { return CDevFlow::SilenceWriteBin(p); }
    int SilenceWriteSNBin(const std::string& p) override { return CDevFlow::SilenceWriteSNBin(p); }
    int SilenceReadBin(const std::string& p) override { return CDevFlow::SilenceReadBin(p); }
    int SilenceVerifyBin(const std::string& p) override { return CDevFlow::SilenceVerifyBin(p); }
    int SilenceSaveHexBin(const std::string& p) override { return CDevFlow::SilenceSaveHexBin(p); }
    int SilenceErase(int r) override { return CDevFlow::SilenceErase(r); }
    int SilenceDumpCheck(const std::string& p) override { return CDevFlow::SilenceDumpCheck(p); }
};

}  // namespace orbisk
