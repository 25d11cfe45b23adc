#include "device/otp_rig.h"

namespace orbisk::test {

std::vector<uint8_t> OtpImage(uint32_t version, size_t code_size) {
    DemoImageSpec recipe;
    recipe.pid = 0x6099;
    recipe.product = "Orbisk OTP Camera";
    recipe.version = version;
    recipe.rev = static_cast<uint16_t>(version);
    return MakeOtpDemoImage(recipe, code_size);
}

OtpRig::OtpRig(std::vector<uint8_t> otp, sim::Faults faults) {
    process.status.SetSink(&sink);
    process.status.SetCancelSource(&cancel);
    process.run_mode = kRunCommandLine;
    process.prompter = &prompter;
    process.program_folder = folder.path();
    sim::SimSettings settings;
    settings.profile = "ORV6099";
    settings.memory = sim::MemoryKind::kOtp;
    settings.faults = std::move(faults);
    camera = std::make_shared<sim::SimCamera>(std::move(settings), std::move(otp), clock);
    sim_bus.AddCamera(camera);
    camlib.CamLib_Init(0);
    profiles.BuildProfileList();
    profiles.SelectDefaultProfile();
    device = std::make_unique<COTPInfo_USB>(process, camlib, profiles);
    // The camera starts in its boot ROM, and this program folder keeps no record of it: it is
    // written as `orbisk -s --recover` writes such a camera.
    device->SetRecoverWithoutRecord(true);
}

OtpRig::~OtpRig() {
    device.reset();
    RemoveDeviceLock(kOtpRigLockName);
}

bool OtpRig::Open() {
    if (!device->DEV_OpenDeviceByICIni(0)) return false;
    const auto& id = device->connection().chip_identity;
    if (!profiles.MatchAnyProfile(id[0], id[1])) return false;
    profiles.ApplyProfile();
    process.project_type = 6;
    device->DEV_SetTransportOptions();
    return true;
}

int OtpRig::Download(const std::vector<uint8_t>& image) {
    device->images().front = image;
    device->images().working = image;
    return device->Download();
}

void OtpRig::AddFaults(const std::function<void(sim::Faults&)>& change) {
    sim::Faults faults = camera->Settings().faults;
    change(faults);
    camera->SetFaults(faults);
}

}  // namespace orbisk::test
