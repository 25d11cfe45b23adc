#include "app/update_rig.h"

#include <memory>

#include "app/parse_arg.h"
#include "base/clock.h"
#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_factory.h"
#include "device/device_object.h"
#include "image/demo_image.h"
#include "platform/device_lock.h"
#include "sim/sim_bus.h"
#include "sim/sim_camera.h"
#include "sim/sim_image.h"

namespace orbisk::test {
namespace {

constexpr const char* kLockName = "orbisk-update-rig-lock";

// Every trace line and report, with the camera's transfer count at that moment.
class Marker final : public LogSink, public StatusSink {
  public:
    explicit Marker(std::vector<RunMark>& marks) : marks_(marks) {}
    void SetCamera(sim::SimCamera* camera) { camera_ = camera; }
    void Write(std::string_view line) override { Mark(std::string(line)); }
    void Post(uint32_t kind, uint32_t code, intptr_t) override {
        Mark("report " + std::to_string(kind) + " " + std::to_string(code));
    }

  private:
    void Mark(std::string text) {
        marks_.push_back({std::move(text), camera_ ? camera_->TransferCount() : 0});
    }
    std::vector<RunMark>& marks_;
    sim::SimCamera* camera_ = nullptr;
};

}  // namespace

StoredCamera OldDemoCamera(const std::string& serial) {
    DemoImageRecipe old_firmware;
    old_firmware.version = 0x1050;
    old_firmware.rev = 0x0050;
    old_firmware.manufacturer = serial;
    StoredCamera camera;
    camera.settings.app_mode = true;
    camera.memory = MakeDemoImage(old_firmware);
    return camera;
}

std::optional<uint32_t> UpdateRun::TransfersAt(std::string_view text) const {
    for (const RunMark& mark : marks)
        if (mark.text.find(text) != std::string::npos) return mark.transfers;
    return std::nullopt;
}

std::string UpdateRun::Trace() const {
    std::string text;
    for (const RunMark& mark : marks) {
        text += "[" + std::to_string(mark.transfers) + "] " + mark.text;
        if (text.back() != '\n') text += "\n";
    }
    return text;
}

UpdateRun RunOrbisk(StoredCamera& stored, const std::string& home, const std::string& config,
                    const std::vector<std::string>& args) {
    UpdateRun run;
    VirtualClock clock;
    Marker marker(run.marks);
    Logger logger(clock, &marker);
    Process process(clock, logger);
    process.program_folder = home;
    process.config.ReadMemory(config);
    process.status.SetSink(&marker);

    sim::SimUsbBus bus(clock);
    auto camera = std::make_shared<sim::SimCamera>(stored.settings, stored.memory, clock);
    marker.SetCamera(camera.get());
    bus.AddCamera(camera);
    {
        UsbTransportFactory transports(bus, logger, OpenDeviceLock(kLockName));
        CamLib camlib(process, bus, transports);
        CICTypeIni profiles(process);
        profiles.BuildProfileList();
        profiles.SelectDefaultProfile();
        profiles.ApplyProfile();
        CParseArg parse(process);
        // The device factory run of start-up, again for the identified chip: a device object of
        // another class takes over what the old one knew of the open camera.
        std::unique_ptr<CDevFlow> device;
        MemoryClass device_class = MemoryClass::kNone;
        auto recreate = [&]() -> CDevFlow* {
            const MemoryClass wanted = RunDeviceFactory(process);
            if (device && wanted == device_class) return device.get();
            auto fresh = CreateDeviceObject(wanted, process, camlib, profiles);
            if (device && fresh) {
                fresh->connection() = device->connection();
                fresh->texts() = device->texts();
                fresh->images() = std::move(device->images());
                fresh->selected_index = device->selected_index;
            }
            device = std::move(fresh);
            device_class = wanted;
            parse.SetDevice(device.get(), &camlib, &profiles);
            return device.get();
        };
        parse.SetDeviceMaker(recreate);
        camlib.CamLib_Init(0);
        process.customization_mode = 6;
        recreate();
        if (parse.Parse_Arg(args) == 1) {
            process.run_mode = kRunCommandLine;
            if (parse.Prepare() == 1) {
                parse.LoadUpdateImage();
                parse.Excute_Arg();
            }
            parse.CloseDevice();
        }
        device.reset();
        camlib.CamLib_Uninit();
    }
    RemoveDeviceLock(kLockName);
    process.status.SetSink(nullptr);
    run.status = process.status.Code();
    run.exit_code = run.status != 0 ? 1 : 0;
    run.transfers = camera->TransferCount();
    // What the folder keeps: the camera as it comes back, without the faults of this run.
    stored.settings = camera->SettingsToSave();
    stored.settings.faults = sim::Faults{};
    stored.memory = camera->Memory();
    return run;
}

CameraFacts FactsOf(const StoredCamera& camera) {
    const sim::ImageFacts facts =
        sim::ReadImageFacts(camera.memory, DemoLayout::kConfigAddress, DemoLayout::kTagAddress);
    CameraFacts result;
    result.app_mode = camera.settings.app_mode;
    result.tagged = facts.tagged;
    result.version = facts.version();
    result.manufacturer = camera.settings.app_mode ? camera.settings.running.manufacturer : "";
    return result;
}

}  // namespace orbisk::test
