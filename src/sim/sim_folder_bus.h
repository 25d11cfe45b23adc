#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/folder_watch.h"
#include "sim/sim_bus.h"

namespace orbisk::sim {

// The cameras of camera folders on one bus, each written back to its folder when it resets and
// when the bus goes away.
//
// With a watch, a thread follows each folder's cable file while the program runs. "unplugged":
// the camera leaves the bus as a pulled cable does (transfers fail, the change is signalled),
// is written back, and the folder is the user's until it is plugged again. "plugged": the
// camera is loaded from its folder afresh and arrives. While a camera is plugged in, the bus
// holds its folder, so that `orbisk-sim unplug` can wait until the camera is written back.
class FolderSimBus final : public SimUsbBus {
  public:
    FolderSimBus(Clock& clock, std::unique_ptr<FolderWatch> watch);
    ~FolderSimBus() override;

    // Adds a camera folder, plugged in or not as its cable says; false with a reason when the
    // folder is missing or invalid, or its camera would share a port with another one.
    bool AddFolder(const std::string& folder, std::string* error);
    // Starts following the cables of the folders added.
    void Follow();
    // Writes every camera plugged in back to its folder now, and not again when the bus goes;
    // false with the reason when one cannot be written.
    bool SaveAll(std::string* error);

  private:
    struct Cable {
        std::string folder;
        size_t slot = 0;
        uint64_t node = 0;  // the port of the camera the folder held when it was added
        std::unique_ptr<FolderHold> hold;
    };

    void Run();
    void Apply(Cable& cable);
    // Writes the camera back when it is still plugged into its slot; false when that fails.
    bool SaveIfPlugged(SimCamera& camera);

    std::unique_ptr<FolderWatch> watch_;
    std::mutex mutex_;  // the cables, and every write of a folder
    std::vector<Cable> cables_;
    std::thread thread_;
    bool saved_ = false;  // written back by SaveAll: the end has nothing more to write
};

}  // namespace orbisk::sim
