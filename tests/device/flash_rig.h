#pragma once
// A whole tool against one simulated camera: virtual clock, logger, process, the simulated bus,
// the real transports, the function library, the chip profiles and a serial-flash device object.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/spi_flash_info_usb.h"
#include "image/demo_image.h"
#include "platform/device_lock.h"
#include "sim/sim_bus.h"
#include "sim/sim_camera.h"
#include "sim/sim_image.h"
#include "support/tool_core.h"

namespace orbisk::test {

// The simulated bus with a count of the control transfers that reach the camera, so that a
// test can place a fault at "the n-th transfer from now".
class CountingBus : public UsbBus {
  public:
    explicit CountingBus(sim::SimUsbBus& inner) : inner_(inner) {}
    std::vector<UsbDeviceInfo> List() override { return inner_.List(); }
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) override;
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node_handle) override {
        return inner_.OpenCameraDriver(node_handle);
    }
    bool CanOpenDirectly(uint64_t node_handle) override {
        return inner_.CanOpenDirectly(node_handle);
    }
    bool WaitForChange(uint32_t timeout_ms) override { return inner_.WaitForChange(timeout_ms); }
    uint32_t transfers() const { return transfers_; }

  private:
    sim::SimUsbBus& inner_;
    uint32_t transfers_ = 0;
};

// Called before every serial-flash write command of the extension unit; a result other than
// kOk fails that command without sending it.
using WriteHook = std::function<HResult(uint32_t address, uint32_t length)>;

// The command layer's transports, with a hook in front of the extension unit's serial-flash
// writes.
class HookedTransportFactory : public UsbTransportFactory {
  public:
    HookedTransportFactory(UsbBus& bus, Logger& logger, std::shared_ptr<DeviceLock> lock)
        : UsbTransportFactory(bus, logger, lock), logger_(logger), lock_(std::move(lock)) {}
    std::unique_ptr<CVendorCmdCommon> CreateExtUnit(CameraDeviceRecord& record,
                                                    uint8_t unit_id) override;
    WriteHook write_hook;

  private:
    Logger& logger_;
    std::shared_ptr<DeviceLock> lock_;
};

// A camera of one chip family, found as an updated camera is (its flash locked) or blank
// (unlocked). One chip of each write-protect family: plain GPIO 0 pin (ORV6363), GPIO 1 pair
// (ORV7054), GPIO 1 bit 2 (ORV7507), GPIO 0 routed through 0xFF9C (ORV7971).
struct ChipCase {
    const char* profile;
    bool locked;
};
inline constexpr ChipCase kChipCases[] = {
    {"ORV6363", true}, {"ORV6363", false}, {"ORV7054", true}, {"ORV7054", false},
    {"ORV7507", true}, {"ORV7507", false}, {"ORV7971", true}, {"ORV7971", false},
};
std::string ChipCaseName(const ChipCase& c);
inline void PrintTo(const ChipCase& c, std::ostream* out) {
    *out << ChipCaseName(c);
}
sim::SimSettings ChipSettings(const ChipCase& c);
// A demo image laid out for the chip: its chip model, configuration and tag addresses, size.
std::vector<uint8_t> ChipImage(const char* profile, const DemoImageRecipe& recipe);

inline constexpr const char* kRigLockName = "orbisk_flash_test_lock";

// The device lock, with the longest time (on the virtual clock) it was held in one go.
class TimedLock : public DeviceLock {
  public:
    TimedLock(std::shared_ptr<DeviceLock> inner, Clock& clock)
        : inner_(std::move(inner)), clock_(clock) {}
    LockWaitResult Wait(uint32_t timeout_ms) override {
        const LockWaitResult result = inner_->Wait(timeout_ms);
        if ((result.kind == LockWait::kAcquired || result.kind == LockWait::kAbandoned) &&
            depth_++ == 0)
            since_ms_ = clock_.now_ms();
        return result;
    }
    void Release() override {
        if (depth_ > 0 && --depth_ == 0)
            longest_hold_ms = std::max(longest_hold_ms, clock_.now_ms() - since_ms_);
        inner_->Release();
    }
    uint64_t longest_hold_ms = 0;

  private:
    std::shared_ptr<DeviceLock> inner_;
    Clock& clock_;
    int depth_ = 0;
    uint64_t since_ms_ = 0;
};

struct FlashRig : ToolCore {
    explicit FlashRig(sim::SimSettings settings = DefaultSettings(),
                      std::vector<uint8_t> memory = MakeDemoImage(OldFirmware()));
    ~FlashRig();
    static sim::SimSettings DefaultSettings();

    // Opens the camera as the command line does, sets the download options from the
    // configuration and loads the new image into the front slot.
    bool OpenAndLoad(const std::vector<uint8_t>& image = MakeDemoImage(NewFirmware()));
    std::vector<uint8_t> Memory() { return camera->Memory(); }
    // Progress values reported, in order.
    std::vector<uint32_t> Progress() const { return sink.codes(kReportProgress); }
    // After a download that passed: the memory holds the loaded image, tagged, of version
    // 0x1060, the camera runs it and shows its version; the reports were `steps` in order,
    // `progress_count` rising progress values from `first_progress` to 100, one success (41755),
    // no failure, and the status code that gives exit code 0.
    void ExpectNewCodeRunning(const sim::ImageFacts& facts, const std::vector<uint32_t>& steps,
                              uint32_t first_progress, size_t progress_count);

    sim::SimUsbBus sim_bus{clock};
    CountingBus bus{sim_bus};
    std::shared_ptr<sim::SimCamera> camera;
    std::shared_ptr<TimedLock> lock =
        std::make_shared<TimedLock>(OpenDeviceLock(kRigLockName), clock);
    HookedTransportFactory factory{bus, logger, lock};
    CamLib camlib{process, bus, factory};
    CICTypeIni profiles{process};
    // The serial-flash memory type unless a test puts another flash class in.
    std::unique_ptr<CFlashInfo> device;
};

}  // namespace orbisk::test
