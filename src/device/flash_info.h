#pragma once
#include <string>

#include "device/eeprom_config_info.h"

namespace orbisk {

// The serial-flash memory type: the thirteen operations over the flash sequences.
class CFlashInfo : public CEepromConfigInfo {
  public:
    using CEepromConfigInfo::CEepromConfigInfo;

    // The memory-type slots.
    int Read() override { return FFU_Read(); }
    int Erase() override { return FFU_Erase(); }
    int Update() override { return FFU_Update(); }
    int Download() override { return FFU_Download(); }
    int DumpCheck() override { return FFU_DumpCheck(); }
    int SilenceWriteBin(const std::string& path) override { return FFU_Silence_WriteBin(path); }
    int SilenceWriteSNBin(const std::string& path) override { return FFU_Silence_WriteSNBin(path); }
    int SilenceReadBin(const std::string& path) override { return FFU_Silence_ReadBin(path); }
    int SilenceVerifyBin(const std::string& path) override { return FFU_Silence_VerifyBin(path); }
    int SilenceSaveHexBin(const std::string& path) override { return FFU_Silence_SaveHexBin(path); }
    int SilenceErase(int reset) override { return FFU_Silence_Erase(reset); }
    int SilenceDumpCheck(const std::string& path) override { return FFU_Silence_DumpCheck(path); }

    int FFU_Read();
    int FFU_Erase();
    int FFU_Update();
    int FFU_Download();
    int FFU_DumpCheck();
    int FFU_Silence_WriteBin(const std::string& path);
    int FFU_Silence_WriteSNBin(const std::string& path);
    int FFU_Silence_ReadBin(const std::string& path);
    int FFU_Silence_VerifyBin(const std::string& path);
    int FFU_Silence_SaveHexBin(const std::string& path);
    int FFU_Silence_Erase(int reset);
    int FFU_Silence_DumpCheck(const std::string& path);

  protected:
    // Runs both fast-download switches; reports 41731 / 41732 on failure.
    bool Accelerate(LogScope& scope);
    // The end of a download in dialog mode: the version words and text of the new code.
    void RefreshVersionAfterDownload();
    // The ends of the dump checks: restart the camera, report, keep a failed read-back.
    int DumpCheckPassed(int result);
    int DumpCheckFailed(LogScope& scope);
};

}  // namespace orbisk
