#pragma once
#include <memory>
#include <vector>

#include "base/clock.h"
#include "platform/linux/emulated_kernel.h"
#include "platform/linux/linux_usb_bus.h"
#include "platform/linux/sim_camera_device.h"

namespace orbisk::test {

// The real Linux bus over an emulated kernel whose cameras are simulated ones. Before every
// call it brings the kernel up to date with the cameras: one that reset leaves the bus (a
// "remove" event), and one whose re-enumeration time has come comes back on its port with a new
// address and the identity of the code it now runs (an "add" event). Waits move the virtual
// clock, so a reset costs no real time.
class EmulatedSimBus final : public UsbBus {
  public:
    EmulatedSimBus(EmulatedKernel& kernel, Clock& clock);
    // Closes the real bus and takes the models away from the kernel, whose handlers may still
    // report files closing.
    ~EmulatedSimBus() override;
    // Plugs the camera in; call before the first use of the bus.
    void AddCamera(std::shared_ptr<sim::SimCamera> camera);
    // Starts the real bus (libusb, udev); false when it cannot.
    bool Start();

    std::vector<UsbDeviceInfo> List() override;
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) override;
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node_handle) override;
    bool CanOpenDirectly(uint64_t node_handle) override;
    bool WaitForChange(uint32_t timeout_ms) override;

    LinuxUsbBus& linux_bus() { return *bus_; }
    // The emulated kernel's id of the camera added as the index-th.
    int kernel_id(size_t index) const { return entries_.at(index).id; }

  private:
    struct Entry {
        std::unique_ptr<SimCameraDevice> device;
        int id = -1;
        bool plugged = false;
        uint64_t session = 0;
    };
    // True when a camera left or came back.
    bool Sync();
    EmulatedCameraShape ShapeOf(sim::SimCamera& camera, uint8_t address);

    EmulatedKernel& kernel_;
    Clock& clock_;
    std::vector<Entry> entries_;
    uint8_t next_address_ = 10;
    std::unique_ptr<LinuxUsbBus> bus_;
};

}  // namespace orbisk::test
