#pragma once
// The dialog over the real device flow, function library and transports, on a simulated bus.
#include <map>

#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_factory.h"
#include "device/device_object.h"
#include "device/recovery_record.h"
#include "image/bridge_demo_image.h"
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
    // The file "Open image..." picks.
    std::function<std::string()> choose_image;

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
    // A MIPI module: the controller runs the demo image, the bridge an older firmware of its
    // own and keeps the camera's data in the last two units of its flash.
    std::shared_ptr<sim::SimCamera> PlugMipiModule(uint8_t port, std::vector<uint8_t>* bridge) {
        sim::SimSettings settings = sim::test::AppSettings();
        settings.profile = "ORV7608";
        settings.ports = {port};
        settings.bridge.present = true;
        settings.bridge.complete = true;
        *bridge = MakeBridgeDemoImage(0x0100);
        for (size_t i = 0x1E000; i < bridge->size(); ++i) (*bridge)[i] = static_cast<uint8_t>(i);
        auto camera = std::make_shared<sim::SimCamera>(settings, MakeDemoImage(DemoImageSpec{}),
                                                       clock, "", *bridge);
        camera_slots[camera.get()] = bus.AddCamera(camera);
        return camera;
    }
    // A camera an update left in its boot ROM: the old image erased and only half written
    // again, untagged. With `record`, the program folder still holds its recovery record.
    std::shared_ptr<sim::SimCamera> PlugRomCamera(uint8_t port, bool record,
                                                  const std::string& serial = "SN-ROM-0007",
                                                  const std::string& profile = "ORV6363") {
        sim::SimSettings settings;
        settings.ports = {port};
        settings.profile = profile;
        std::vector<uint8_t> memory(DemoLayout::kImageSize, 0xFF);
        const auto image = MakeDemoImage(DemoImageSpec{});
        std::copy_n(image.begin(), 0x8000, memory.begin());
        memory[DemoLayout::kTagAddress] = memory[DemoLayout::kTagAddress + 1] = 0xFF;
        auto camera = std::make_shared<sim::SimCamera>(settings, memory, clock);
        camera_slots[camera.get()] = bus.AddCamera(camera);
        if (record) {
            RecoveryRecord r;
            r.port = "1-" + std::to_string(port);
            r.vid = 0x2C7E;
            r.pid = 0x6363;
            r.rev = 0x0050;
            r.chip_identity = 0xC010;  // the identity bytes 0x10 0xC0 of the chip
            r.serial = serial;
            r.serial_source = RecoveryRecord::SerialSource::kManufacturerString;
            r.version = "0x00-0000-1050";
            r.chip_model = 22;
            r.image = "built-in 3068";
            r.image_sha256 = std::string(64, '0');
            r.time = "2026-12-10 09:14:03";
            std::string error;
            if (!WriteRecoveryRecord(RecoveryPath(port), r, &error)) qWarning("%s", error.c_str());
        }
        return camera;
    }
    std::string RecoveryPath(uint8_t port) const {
        return RecoveryRecordPath(dir.path(), "1-" + std::to_string(port));
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
        services.choose_image = choose_image;
        dialog = std::make_unique<CTessaly_AllInOne_OvproxyDlg>(process, std::move(services));
        dialog->show();
    }
};

}  // namespace orbisk::test
