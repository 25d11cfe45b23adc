#pragma once
#include <span>
#include <string>

#include "device/eeprom_config_info.h"

namespace orbisk {

// The MTP memory type: the thirteen operations over the MTP operations of the second-generation
// vendor requests.
class CMTPInfo : public CEepromConfigInfo {
  public:
    using CEepromConfigInfo::CEepromConfigInfo;

    int Read() override { return MTP_Read(); }
    int Erase() override { return MTP_Erase(); }
    int Update() override { return MTP_Update(); }
    int Download() override { return MTP_Download(); }
    int DumpCheck() override { return MTP_DumpCheck(); }
    int SilenceWriteBin(const std::string& path) override { return MTP_Silence_WriteBin(path); }
    int SilenceWriteSNBin(const std::string& path) override { return MTP_Silence_WriteSNBin(path); }
    int SilenceReadBin(const std::string& path) override {
        return SilentReadBinWith(path, [this] { return MTP_Read(); });
    }
    int SilenceVerifyBin(const std::string& path) override { return MTP_Silence_VerifyBin(path); }
    int SilenceSaveHexBin(const std::string& path) override {
        return SilentSaveHexBinWith(path, [this] { return MTP_Read(); });
    }
    int SilenceErase(int reset) override {
        return SilentEraseWith(reset, [this] { return MTP_Erase(); });
    }
    int SilenceDumpCheck(const std::string&) override { return 1; }

    int MTP_Read();
    int MTP_Erase();
    int MTP_Update();
    int MTP_Download();
    int MTP_DumpCheck();
    int MTP_Silence_WriteBin(const std::string& path);
    int MTP_Silence_WriteSNBin(const std::string& path);
    int MTP_Silence_VerifyBin(const std::string& path);

  private:
    // The MTP's transfers, tag and codes for the shared sequences.
    ByteMemoryPlan Plan();
};

}  // namespace orbisk
