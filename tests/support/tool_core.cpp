#include "support/tool_core.h"

#include <algorithm>

#include "catalogue/ic_type_ini.h"
#include "device/flash_info.h"

namespace orbisk::test {

DemoImageRecipe OldFirmware() {
    DemoImageRecipe recipe;
    recipe.manufacturer = "SN-CAM-000042";
    recipe.rev = 0x0099;
    recipe.version = 0x1050;
    return recipe;
}

DemoImageRecipe NewFirmware() {
    DemoImageRecipe recipe;
    recipe.version = 0x1060;
    return recipe;
}

std::vector<uint32_t> ToolCore::StepTexts() const {
    std::vector<uint32_t> steps = sink.codes(kReportStepText);
    steps.erase(std::remove(steps.begin(), steps.end(), 0u), steps.end());
    return steps;
}

bool OpenForUpdate(CFlashInfo& device, CICTypeIni& profiles, const std::vector<uint8_t>& image) {
    if (!device.DEV_OpenDeviceByICIni(0)) return false;
    // The chip profile of the camera, as start-up chooses it from the chip identity.
    const auto& id = device.connection().chip_identity;
    if (!profiles.MatchAnyProfile(id[0], id[1])) return false;
    profiles.ApplyProfile();
    device.DEV_SetTransportOptions();
    device.images().front = image;
    device.images().working = image;
    return true;
}

}  // namespace orbisk::test
