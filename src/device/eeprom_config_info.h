#pragma once
#include <cstdint>
#include <string>

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

    // The pre-update hook of every memory type: the image check of the front or rear slot.
    int PreUpdate(const uint8_t* buffer, uint32_t word) override;

  protected:
    // The information of a camera behind a MIPI bridge and its bridge's version; the tail of
    // the bridge's flash that "MIPI Reserve" keeps. Read whatever the object's class, as the
    // device search finds the camera before the device object for its memory is made.
    int ReadMipiDeviceInfo() override;
    int ReadMipiReserve(int32_t reserve) override;
    // The OTP space of an OTP camera: the text (kept in the device texts for the dialogs) and
    // the used byte count. Read whatever the object's class, as the device search finds the
    // camera before the device object for its memory is made.
    uint32_t ReadOtpSpaceUsed() override;

  public:
    size_t config_area_size() const { return config_area_size_; }

  protected:
    // Load, and for the writing operations parse and chip-check, the image for a silent
    // operation. Reports its own failure.
    enum class ChipCheck { kPaired, kStrict };
    bool SilentLoad(const std::string& path, bool parse_and_check, LogScope& scope,
                    ChipCheck check = ChipCheck::kPaired);
    // The silent write's skip: the camera already reports the loaded image's identity label
    // (VID, PID and REV), so it runs that image; its recovery record is done with.
    bool CameraRunsImage(LogScope& scope);
    ConfigLayout Layout();
    // What the image loader needs of the active profile and the process.
    ImageEnv MakeImageEnv(LogScope* log = nullptr);
    // The pre-update hook with the caller's trace scope, so the descriptor walk is traced.
    int CheckSlotImage(const uint8_t* buffer, LogScope* log);
    DumpCheckFlags CheckFlags();
    void PrepareReadback(const DumpCheckFlags& flags);

    WriteBackRegion write_back_;
    size_t config_area_size_ = 0;
};

}  // namespace orbisk
