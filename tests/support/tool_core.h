#pragma once
// The tool's side of a whole-tool rig: the process on a virtual clock with every report and
// trace line recorded, the camera's charging clock, the firmware before and after an update,
// and the opening of a camera as the command line does it.
#include <cstdint>
#include <vector>

#include "base/process.h"
#include "image/demo_image.h"
#include "support/recorders.h"
#include "support/temp_dir.h"

namespace orbisk {
class CFlashInfo;
class CICTypeIni;
}  // namespace orbisk

namespace orbisk::test {

// The firmware the camera runs before the update and the one the tool brings.
DemoImageRecipe OldFirmware();
DemoImageRecipe NewFirmware();

// The camera's clock: runs on the tool's virtual clock and adds up the time the camera charges
// for its own work (transfers, programming, erasing).
class ChargingClock : public Clock {
  public:
    explicit ChargingClock(VirtualClock& base) : base_(base) {}
    uint64_t now_ms() override { return base_.now_ms(); }
    uint64_t now_us() override { return base_.now_us(); }
    void sleep_ms(uint32_t ms) override { sleep_us(uint64_t{ms} * 1000); }
    void sleep_us(uint64_t us) override {
        charged_us += us;
        base_.sleep_us(us);
    }
    uint64_t charged_us = 0;

  private:
    VirtualClock& base_;
};

// The tool's process on a virtual clock, run as the command line runs it, with every report and
// trace line recorded; the camera charges its work on camera_clock.
struct ToolCore {
    ToolCore() {
        process.program_folder = folder.path();
        process.status.SetSink(&sink);
        process.status.SetCancelSource(&cancel);
        process.run_mode = kRunCommandLine;
    }
    // The program folder (recovery records, failed read-backs).
    TempDir folder;
    VirtualClock clock;
    ChargingClock camera_clock{clock};
    RecordingLogSink log;
    Logger logger{clock, &log};
    Process process{clock, logger};
    RecordingStatusSink sink;
    CThreadFlag cancel;

    // The step texts reported, in order, without the bare refreshes (code 0).
    std::vector<uint32_t> StepTexts() const;
};

// Opens the first camera as the command line does, applies the chip profile of its identity,
// sets the download options from the configuration and puts `image` into the front slot.
bool OpenForUpdate(CFlashInfo& device, CICTypeIni& profiles, const std::vector<uint8_t>& image);

}  // namespace orbisk::test
