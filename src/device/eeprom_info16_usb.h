#pragma once
#include "device/eeprom_info.h"

namespace orbisk {

// An I2C EEPROM with 16-bit word addresses on USB (memory type 3).
class CEepromInfo16_USB : public CEepromInfo {
  public:
    using CEepromInfo::CEepromInfo;

    int Read() override { return EEU16_Read(); }
    int Erase() override { return EEU16_Erase(); }
    int Update() override { return EEU16_Update(); }
    int Download() override { return EEU16_Download(); }
    int DumpCheck() override { return EEU16_DumpCheck(); }
    int SilenceWriteBin(const std::string& path) override { return EEU16_Silence_WriteBin(path); }
    int SilenceWriteSNBin(const std::string& path) override {
        return EEU16_Silence_WriteSNBin(path);
    }
    int SilenceReadBin(const std::string& path) override {
        return SilentReadBinWith(path, [this] { return EEU16_Read(); });
    }
    int SilenceVerifyBin(const std::string& path) override { return EEU16_Silence_VerifyBin(path); }
    int SilenceSaveHexBin(const std::string& path) override {
        return SilentSaveHexBinWith(path, [this] { return EEU16_Read(); });
    }
    int SilenceErase(int reset) override {
        return SilentEraseWith(reset, [this] { return EEU16_Erase(); });
    }
    int SilenceDumpCheck(const std::string& path) override { return Silence_DumpCheck(path); }
};

}  // namespace orbisk
