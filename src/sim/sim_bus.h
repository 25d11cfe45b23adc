#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "base/clock.h"
#include "platform/usb.h"
#include "sim/sim_camera.h"

namespace orbisk::sim {

// A USB bus with simulated cameras on it. Cameras that reset leave the bus and come back
// when the clock has moved on by their re-enumeration time.
class SimUsbBus : public UsbBus {
  public:
    explicit SimUsbBus(Clock& clock) : clock_(clock) {}
    void AddCamera(std::shared_ptr<SimCamera> camera) { cameras_.push_back(std::move(camera)); }
    const std::vector<std::shared_ptr<SimCamera>>& cameras() const { return cameras_; }

    std::vector<UsbDeviceInfo> List() override;
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) override;
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node_handle) override;
    bool CanOpenDirectly(uint64_t node_handle) override;
    bool WaitForChange(uint32_t timeout_ms) override;

  private:
    std::shared_ptr<SimCamera> Find(uint64_t node_handle);
    uint64_t ChangeTotal();

    Clock& clock_;
    std::vector<std::shared_ptr<SimCamera>> cameras_;
    uint64_t seen_changes_ = 0;
};

}  // namespace orbisk::sim
