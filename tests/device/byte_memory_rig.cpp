#include "device/byte_memory_rig.h"

#include "device/device_factory.h"
#include "device/device_object.h"
#include "image/config_chain.h"

namespace orbisk::test {

int32_t ProjectTypeOf(sim::MemoryKind memory) {
    switch (memory) {
        case sim::MemoryKind::kEeprom8:
            return 2;
        case sim::MemoryKind::kEeprom16:
            return 3;
        default:
            return 4;
    }
}

uint8_t ConfigTypeOf(sim::MemoryKind memory) {
    switch (memory) {
        case sim::MemoryKind::kEeprom8:
            return 0x11;
        case sim::MemoryKind::kEeprom16:
            return 0x12;
        default:
            return 0x40;
    }
}

std::vector<uint8_t> ByteMemoryImage(const ByteMemoryCase& c, const DemoImageSpec& recipe,
                                     size_t size) {
    CConfigBuilder builder;
    std::vector<uint8_t> image(size, 0xFF);
    const uint8_t chip_model = sim::FindProfile(c.profile)->chip_model_index;
    if (!BeginDemoArea(builder, recipe, ConfigTypeOf(c.memory), chip_model) ||
        !builder.Finish(image))
        return {};
    return image;
}

ByteMemoryRig::ByteMemoryRig(const ByteMemoryCase& c, std::vector<uint8_t> memory) : kind(c) {
    process.status.SetSink(&hook);
    sim::SimSettings settings;
    settings.profile = c.profile;
    settings.memory = c.memory;
    settings.generation = c.generation;
    settings.wp_gpio = c.wp_gpio;
    settings.app_mode = true;
    if (memory.empty()) memory = ByteMemoryImage(c, OldFirmware());
    camera = std::make_shared<sim::SimCamera>(std::move(settings), std::move(memory), camera_clock);
    sim_bus.AddCamera(camera);
    camlib.CamLib_Init(0);
    profiles.BuildProfileList();
    profiles.SelectDefaultProfile();
    process.config.SetValue(kConfigSection, "SaveSN", "1");
    if (c.wp_gpio) process.config.SetValue(kConfigSection, "GPIO", "1");
}

ByteMemoryRig::~ByteMemoryRig() {
    device.reset();
    RemoveDeviceLock(kRigLockName);
}

bool ByteMemoryRig::OpenAndLoad(const std::vector<uint8_t>& image) {
    process.project_type = ProjectTypeOf(kind.memory);
    device = CreateDeviceObject(RunDeviceFactory(process), process, camlib, profiles);
    if (!device || !device->DEV_OpenDeviceByICIni(0)) return false;
    const auto& id = device->connection().chip_identity;
    if (!profiles.MatchAnyProfile(id[0], id[1])) return false;
    profiles.ApplyProfile();
    device->DEV_SetTransportOptions();
    device->images().front = image;
    device->images().working = image;
    return true;
}

void ByteMemoryRig::AddFaults(const std::function<void(sim::Faults&)>& change) {
    sim::Faults faults = camera->Settings().faults;
    change(faults);
    camera->SetFaults(faults);
}

std::vector<uint32_t> ByteMemoryRig::StepTexts() const {
    std::vector<uint32_t> steps = sink.codes(kReportStepText);
    steps.erase(std::remove(steps.begin(), steps.end(), 0u), steps.end());
    return steps;
}

}  // namespace orbisk::test
