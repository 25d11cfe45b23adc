#pragma once
#include <array>
#include <cstdint>

#include "catalogue/image_selection.h"
#include "device/flash_info.h"

namespace orbisk {

// Up to two cameras of a multi-camera module, chosen by "MultiCamera" (bit 0 front, bit 1
// rear) and told apart by their chip identity; each gets the image of its own folder.
class CFarrowFlashInfo_USB : public CFlashInfo {
  public:
    using CFlashInfo::CFlashInfo;

    int Read() override { return 1; }
    int Erase() override { return 1; }
    int Update() override { return 1; }
    int DumpCheck() override { return 1; }
    int Download() override { return FFU_FarrowDownload(); }
    // The silent write runs the same download; the path is not used.
    int SilenceWriteBin(const std::string&) override { return FFU_FarrowDownload(); }
    int SilenceWriteSNBin(const std::string& p) override { return CDevFlow::SilenceWriteSNBin(p); }
    int SilenceReadBin(const std::string& p) override { return CDevFlow::SilenceReadBin(p); }
    int SilenceVerifyBin(const std::string& p) override { return CDevFlow::SilenceVerifyBin(p); }
    int SilenceSaveHexBin(const std::string& p) override { return CDevFlow::SilenceSaveHexBin(p); }
    int SilenceErase(int r) override { return CDevFlow::SilenceErase(r); }
    int SilenceDumpCheck(const std::string& p) override { return CDevFlow::SilenceDumpCheck(p); }

    int FFU_FarrowDownload();
    // The sensor probe IDs read by the last download (front, rear); 0 when none was read.
    const std::array<uint16_t, 2>& sensor_probe_ids() const { return sensor_probe_ids_; }

  private:
    // The probe ID of the slot's sensor; false when the sensor bus does not answer.
    bool ReadSensorProbeId(SensorSlot slot, uint16_t* id);
    bool ReadSensorWord(uint8_t bus_address, uint16_t reg, uint16_t* value);

    // One camera of the module: open it in its ROM, choose and load its image, write it.
    // `finished` tells whether the sequence ends here (an early return).
    int CameraDownload(SensorSlot slot, bool last, LogScope& scope, bool& finished);

    std::array<uint16_t, 2> sensor_probe_ids_{};
};

}  // namespace orbisk
