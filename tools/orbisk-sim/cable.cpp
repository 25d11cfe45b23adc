// orbisk-sim unplug and plug: the camera's cable file, which a running orbisk follows.
#include <filesystem>

#include "base/clock.h"
#include "platform/linux/inotify_folder_watch.h"
#include "sim/sim_store.h"
#include "tool.h"

namespace orbisk::sim::tool {
namespace {

// A running orbisk lets go of an unplugged camera once it has written it back; a transfer under
// way ends first (a chip erase takes about a second).
constexpr uint32_t kReleaseWaitMs = 5000;

}  // namespace

int Unplug(const std::string& dir) {
    std::string error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(dir) / kSettingsFile))
        return Fail(dir + ": no simulated camera here (" + kSettingsFile + " is missing)");
    bool plugged = true;
    // A cable file that says neither is simply written anew.
    if (!ReadCable(dir, &plugged, &error) || plugged) {
        if (!WriteCable(dir, false, &error)) return Fail(error);
    }
    // Returns when every orbisk that had the camera plugged in has written it back, so the
    // folder can be read or changed at once.
    if (!WaitForFolderRelease(dir, kReleaseWaitMs))
        return Fail(dir +
                    ": unplugged, but a running orbisk did not write the camera back within " +
                    std::to_string(kReleaseWaitMs / 1000) + " s");
    return 0;
}

int Plug(const std::string& dir) {
    VirtualClock clock;
    std::string error;
    // A folder a running orbisk cannot load would stay unplugged without a word: refuse it here.
    if (!LoadCameraFolder(dir, clock, &error)) return Fail(error + "; the camera stays unplugged");
    bool plugged = false;
    if (!ReadCable(dir, &plugged, &error) || !plugged) {
        if (!WriteCable(dir, true, &error)) return Fail(error);
    }
    return 0;
}

}  // namespace orbisk::sim::tool
