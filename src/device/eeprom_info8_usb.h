#pragma once
#include "device/eeprom_info.h"

namespace orbisk {

// An I2C EEPROM with 8-bit word addresses on USB (memory type 2). Its silent dump check does
// nothing and succeeds.
class CEepromInfo8_USB : public CEepromInfo {
  public:
    using CEepromInfo::CEepromInfo;

    int Read() override { return EEU8_Read(); }
    int Erase() override { return EEU8_Erase(); }
    int Update() override { return EEU8_Update(); }
    int Download() override { return EEU8_Download(); }
    int DumpCheck() override { return EEU8_DumpCheck(); }
    int SilenceWriteBin(const std::string& path) override { return EEU8_Silence_WriteBin(path); }
    int SilenceWriteSNBin(const std::string& path) override {
        return EEU8_Silence_WriteSNBin(path);
    }
    int SilenceReadBin(const std::string& path) override {
        return SilentReadBinWith(path, [this] { return EEU8_Read(); });
    }
    int SilenceVerifyBin(const std::string& path) override { return EEU8_Silence_VerifyBin(path); }
    int SilenceSaveHexBin(const std::string& path) override {
        return SilentSaveHexBinWith(path, [this] { return EEU8_Read(); });
    }
    int SilenceErase(int reset) override {
        return SilentEraseWith(reset, [this] { return EEU8_Erase(); });
    }
    int SilenceDumpCheck(const std::string&) override { return 1; }
};

}  // namespace orbisk
