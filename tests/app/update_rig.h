#pragma once
// `orbisk -s` in this process: the command line's own objects (CParseArg, the device object the
// device factory chooses, the function library, the transports) over one simulated camera, on a
// virtual clock. Between runs the camera is kept as its folder keeps it, so a run with a fault
// and the next run without it behave as two runs of the program.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_settings.h"

namespace orbisk::test {

// A simulated camera between two runs: what its folder holds.
struct StoredCamera {
    sim::SimSettings settings;
    std::vector<uint8_t> memory;
};

// A camera running the older demo firmware (version 0x1050) with `serial` in its manufacturer
// string, where these modules keep their serial number.
StoredCamera OldDemoCamera(const std::string& serial);

// A moment of a run: a trace line or a report, and how many transfers had reached the camera.
struct RunMark {
    std::string text;
    uint32_t transfers = 0;
};

struct UpdateRun {
    int exit_code = 1;
    uint32_t status = 0;
    uint32_t transfers = 0;  // control transfers that reached the camera
    std::vector<RunMark> marks;
    // The transfer count at the first mark that contains `text`.
    std::optional<uint32_t> TransfersAt(std::string_view text) const;
    bool Traced(std::string_view text) const { return TransfersAt(text).has_value(); }
    std::string Trace() const;
};

// Runs orbisk with `args` against the camera, with `config` as config.ini and `home` as the
// program folder; the camera is stored back afterwards (a camera that was unplugged comes back
// as it starts when plugged in again).
UpdateRun RunOrbisk(StoredCamera& camera, const std::string& home, const std::string& config,
                    const std::vector<std::string>& args = {"-s"});

// What the camera runs and holds, read the camera's way (its own image reader).
struct CameraFacts {
    bool app_mode = false;
    bool tagged = false;
    uint32_t version = 0;
    std::string manufacturer;
};
CameraFacts FactsOf(const StoredCamera& camera);

}  // namespace orbisk::test
