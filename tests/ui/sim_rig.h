#pragma once
// The dialog over the real device flow, function library and transports, on a simulated bus.
#include <mutex>
#include <set>

#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_factory.h"
#include "device/device_object.h"
#include "image/demo_image.h"
#include "rig.h"
#include "sim/sim_bus.h"
#include "sim/sim_fixture.h"
#include "ui/dev_flow_device.h"

namespace orbisk::test {

inline constexpr const char* kLockName = "orbisk-dialog-sim-test";

// A simulated bus whose cameras can be pulled out as a cable is: gone from the listing, not
// to be opened, and the bus's change signal fires.
class PluggableBus : public sim::SimUsbBus {
  public:
    using SimUsbBus::SimUsbBus;
    void Unplug(const sim::SimCamera& camera) {
        std::lock_guard lock(mutex_);
        gone_.insert(camera.NodeHandle());
        ++changes_;
    }
    std::vector<UsbDeviceInfo> List() override {
        auto all = SimUsbBus::List();
        std::lock_guard lock(mutex_);
        std::erase_if(all, [&](const UsbDeviceInfo& d) { return gone_.count(d.node_handle); });
        return all;
    }
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node) override {
        return Gone(node) ? nullptr : SimUsbBus::Open(node);
    }
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node) override {
        return Gone(node) ? nullptr : SimUsbBus::OpenCameraDriver(node);
    }
    bool CanOpenDirectly(uint64_t node) override {
        return !Gone(node) && SimUsbBus::CanOpenDirectly(node);
    }
    bool WaitForChange(uint32_t timeout_ms) override {
        {
            std::lock_guard lock(mutex_);
            if (changes_ != seen_) {
                seen_ = changes_;
                return true;
            }
        }
        return SimUsbBus::WaitForChange(timeout_ms);
    }

  private:
    bool Gone(uint64_t node) {
        std::lock_guard lock(mutex_);
        return gone_.count(node) != 0;
    }
    std::mutex mutex_;
    std::set<uint64_t> gone_;
    uint64_t changes_ = 0;
    uint64_t seen_ = 0;
};

// The device flow with the information steps of the layers above it left out.
class FlowOnly : public CDevFlow {
  public:
    using CDevFlow::CDevFlow;
    int MP_GetDeviceInfo() override { return 1; }

  protected:
    int ReadMipiDeviceInfo() override { return 1; }
    int ReadMipiReserve(int32_t) override { return 1; }
    uint32_t ReadOtpSpaceUsed() override { return 0; }
};

// A dialog rig whose device maker builds the real device flow over a simulated bus.
struct SimRig : DialogRig {
    PluggableBus bus{clock};
    UsbTransportFactory factory{bus, logger, OpenDeviceLock(kLockName)};
    CamLib lib{process, bus, factory};
    CICTypeIni profiles{process};

    SimRig() {
        profiles.BuildProfileList();
        profiles.SelectDefaultProfile();
        lib.CamLib_Init(0);
    }
    ~SimRig() {
        dialog.reset();
        RemoveDeviceLock(kLockName);
    }
    std::shared_ptr<sim::SimCamera> Plug(uint8_t port, uint16_t pid,
                                         const std::string& manufacturer = "Fixture Maker") {
        sim::SimSettings settings = sim::test::AppSettings();
        settings.ports = {port};
        sim::test::ImageSpec image;
        image.vid = 0x2C7E;
        image.pid = pid;
        image.manufacturer = manufacturer;
        auto camera =
            std::make_shared<sim::SimCamera>(settings, sim::test::BuildImage(image), clock);
        bus.AddCamera(camera);
        return camera;
    }
    // A camera running older demo firmware than the image the program carries.
    std::shared_ptr<sim::SimCamera> PlugOldDemoCamera(uint8_t port, bool drop_writes = false,
                                                      const std::string& serial = "SN-CAM-000042") {
        sim::SimSettings settings = sim::test::AppSettings();
        settings.ports = {port};
        settings.faults.drop_all_writes = drop_writes;
        DemoImageSpec old_firmware;
        old_firmware.manufacturer = serial;
        old_firmware.version = 0x1050;
        auto camera =
            std::make_shared<sim::SimCamera>(settings, MakeDemoImage(old_firmware), clock);
        bus.AddCamera(camera);
        return camera;
    }
    // With `full`, the device object of the memory type the factory chooses; without, the
    // device flow alone.
    void OpenOnSim(bool full = false) {
        DialogServices services;
        services.make_device = MakeDevFlowMaker(process, bus, lib, profiles, [this, full] {
            std::unique_ptr<CDevFlow> device;
            if (full)
                device = CreateDeviceObject(RunDeviceFactory(process), process, lib, profiles);
            if (!full) device = std::make_unique<FlowOnly>(process, lib, profiles);
            return device;
        });
        services.prompter = &prompter;
        services.power = &power;
        services.notifier = &notifier;
        dialog = std::make_unique<CTessaly_AllInOne_OvproxyDlg>(process, std::move(services));
        dialog->show();
    }
};

}  // namespace orbisk::test
