#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "platform/usb.h"
#include "sim/sim_camera.h"

namespace orbisk::sim {

struct SimBusState;

// Why two cameras cannot be on one bus together.
std::string SharedPortError(const std::string& one, const std::string& other);

// A USB bus with simulated cameras on it. Cameras that reset leave the bus and come back when
// the clock has moved on by their re-enumeration time; a camera can be unplugged from its slot
// and another plugged into it.
//
// Every view of one bus (the program's, the hot-plug watch's) shares the cameras and has change
// notifications of its own. A view's WaitForChange is woken by every change: a reset, a return
// that another view saw, a camera plugged or unplugged.
class SimUsbBus : public UsbBus {
  public:
    explicit SimUsbBus(Clock& clock);
    ~SimUsbBus() override;

    // A second view of the same cameras for a hot-plug watch. Its waits block on the bus's
    // changes in real time whatever the clock, and never move a virtual clock: a watcher waits
    // for events, it does not make time pass.
    std::unique_ptr<SimUsbBus> WatchView();
    // A view of the same cameras for one more thread of the program: its waits move the clock as
    // this view's do, and it keeps its own count of the changes it has seen.
    std::unique_ptr<SimUsbBus> ProgramView();

    // Adds a slot holding `camera` (nullptr: an empty slot); returns the slot's number.
    size_t AddCamera(std::shared_ptr<SimCamera> camera);
    // Pulls the cable of the slot's camera: it leaves the bus for good, open handles and a
    // transfer under way answer "device gone". Returns the camera that was plugged in.
    std::shared_ptr<SimCamera> Unplug(size_t slot);
    // Plugs `camera` into an empty slot; false with a reason when another camera on the bus sits
    // on its port.
    bool Plug(size_t slot, std::shared_ptr<SimCamera> camera, std::string* error);
    // The camera plugged into a slot, or nullptr.
    std::shared_ptr<SimCamera> CameraIn(size_t slot) const;
    // Every camera plugged in (present, or away for a reset).
    std::vector<std::shared_ptr<SimCamera>> cameras() const;
    // Called after a camera of the bus reset (for writing its folder back), without locks held;
    // false fails the transfer that caused the reset.
    void SetResetHook(std::function<bool(SimCamera&)> hook);

    std::vector<UsbDeviceInfo> List() override;
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) override;
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node_handle) override;
    bool CanOpenDirectly(uint64_t node_handle) override;
    bool WaitForChange(uint32_t timeout_ms) override;

  protected:
    Clock& clock() { return clock_; }

  private:
    SimUsbBus(Clock& clock, std::shared_ptr<SimBusState> state, bool watcher);
    // Tells the views of every reset of `camera`, after the reset hook.
    void Listen(SimCamera& camera);
    std::shared_ptr<SimCamera> Find(uint64_t node_handle);
    std::optional<uint64_t> NextReturnUs();

    Clock& clock_;
    std::shared_ptr<SimBusState> state_;
    bool watcher_ = false;
    uint64_t seen_changes_ = 0;
};

}  // namespace orbisk::sim
