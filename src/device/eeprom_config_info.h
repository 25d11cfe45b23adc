#pragma once
#include <cstdint>

#include "device/dev_flow.h"
#include "device/dump_compare.h"

namespace orbisk {

// The configuration-area and serial-number layer: carries the camera's serial number into the
// image before it is written, and prepares and compares read-backs.
class CEepromConfigInfo : public CDevFlow {
  public:
    using CDevFlow::CDevFlow;

    // 1 to go on with programming; 0 with `status` 41713 when the serial number could not be
    // put into the image (the image is then unchanged).
    int PreActionForAllInOne(uint32_t& status);
    // Prepares the read-back in place and compares it with the front image.
    int DumpCompare() override;
    int BridgeDumpCompare() override;
    // Keeps a failed read-back under Fail/ in the program folder.
    void SaveFailedReadBackFile();

    const WriteBackRegion& write_back_region() const { return write_back_; }

  protected:
    // The information of a camera behind a MIPI bridge and its bridge's version; the tail of
    // the bridge's flash that "MIPI Reserve" keeps. OTP parts have their own memory type; the
    // flash types have no OTP space to read.
    int ReadMipiDeviceInfo() override;
    int ReadMipiReserve(int32_t reserve) override;
    uint32_t ReadOtpSpaceUsed() override { return 0; }

  public:
    size_t config_area_size() const { return config_area_size_; }

  protected:
    ConfigLayout Layout();
    // What the image loader needs of the active profile and the process.
    ImageEnv MakeImageEnv();
    DumpCheckFlags CheckFlags();
    void PrepareReadback(const DumpCheckFlags& flags);

    WriteBackRegion write_back_;
    size_t config_area_size_ = 0;
};

}  // namespace orbisk
