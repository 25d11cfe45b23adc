#pragma once
#include <string>

#include "device/eeprom_config_info.h"

namespace orbisk {

// The I2C EEPROM memory type, for both word-address widths: the thirteen operations over the
// EEPROM transfers. The 16-bit update sequence itself is CMpFlow_Eeprom's.
class CEepromInfo : public CEepromConfigInfo {
  public:
    using CEepromConfigInfo::CEepromConfigInfo;

    int EEU16_Read();
    int EEU16_Erase();
    int EEU16_Update();
    int EEU16_Download();
    int EEU16_DumpCheck();
    int EEU16_Silence_WriteBin(const std::string& path);
    int EEU16_Silence_WriteSNBin(const std::string& path);
    int EEU16_Silence_VerifyBin(const std::string& path);
    int Silence_DumpCheck(const std::string& path);

    int EEU8_Read();
    int EEU8_Erase();
    int EEU8_Update();
    int EEU8_Download();
    int EEU8_DumpCheck();
    int EEU8_Silence_WriteBin(const std::string& path);
    int EEU8_Silence_WriteSNBin(const std::string& path);
    int EEU8_Silence_VerifyBin(const std::string& path);

  protected:
    // The EEPROM's transfers, tag, pin and codes for the shared sequences, by address width.
    ByteMemoryPlan Plan(bool wide);
    int DumpCheckOf(bool wide, LogScope& scope);
};

}  // namespace orbisk
