#pragma once
// The dialog over the real device flow, function library and transports, on a simulated bus.
#include <map>

#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_factory.h"
#include "device/device_object.h"
#include "image/demo_image.h"
#include "rig.h"
#include "sim/sim_bus.h"
#include "sim/sim_fixture.h"
#include "support/flow_only.h"
#include "ui/dev_flow_device.h"

namespace orbisk::test {

inline constexpr const char* kLockName = "orbisk-dialog-sim-test";

// A dialog rig whose device maker builds the real device flow over a simulated bus.
struct SimRig : DialogRig {
    sim::SimUsbBus bus{clock};
    UsbTransportFactory factory{bus, logger, OpenDeviceLock(kLockName)};
    CamLib lib{process, bus, factory};
    CICTypeIni profiles{process};
    std::map<const sim::SimCamera*, size_t> camera_slots;

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
        camera_slots[camera.get()] = bus.AddCamera(camera);
        return camera;
    }
    // Pulls the camera's cable.
    void Unplug(const std::shared_ptr<sim::SimCamera>& camera) {
        bus.Unplug(camera_slots.at(camera.get()));
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
        camera_slots[camera.get()] = bus.AddCamera(camera);
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
