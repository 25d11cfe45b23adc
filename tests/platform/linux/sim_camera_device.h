#pragma once
#include <map>
#include <memory>

#include "platform/linux/emulated_usb_device.h"
#include "sim/sim_camera.h"

namespace orbisk::test {

// The simulated camera behind the emulated kernel: usbfs transfers and claims go to its USB
// face, one simulated handle per open usbfs file, and the camera driver's queries to its
// kernel-driver face. Its results come back as the kernel would report them.
class SimCameraDevice final : public EmulatedUsbDevice {
  public:
    explicit SimCameraDevice(std::shared_ptr<sim::SimCamera> camera);
    ~SimCameraDevice() override;

    int Control(UsbfsFile file, const ControlSetup& setup, uint8_t* data,
                uint32_t* actual) override;
    void FileOpened(UsbfsFile file) override;
    void FileClosed(UsbfsFile file) override;
    int ClaimInterface(UsbfsFile file, uint8_t interface_number) override;
    int DriverQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data,
                    uint16_t size) override;

    sim::SimCamera& camera() { return *camera_; }

  private:
    struct Handle {
        uint64_t session = 0;
        uint32_t id = 0;
    };
    Handle& HandleOf(UsbfsFile file);

    std::shared_ptr<sim::SimCamera> camera_;
    std::map<UsbfsFile, Handle> handles_;
};

// The errno a result stands for, as a system call would have reported it.
int ErrnoFromResult(HResult result);

}  // namespace orbisk::test
