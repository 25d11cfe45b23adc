#include "device/bridge_rig.h"

#include <algorithm>

namespace orbisk::test {

std::vector<uint8_t> OldBridgeImage() {
    return MakeBridgeDemoImage(kOldBridgeVersion);
}

std::vector<uint8_t> NewBridgeImage(size_t size) {
    return MakeBridgeDemoImage(kNewBridgeVersion, kNewBridgeWord, size);
}

uint32_t ReferenceCrc(const std::vector<uint8_t>& data) {
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t byte : data) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 31) ^ (byte >> bit)) & 1;
            crc = (crc << 1) ^ (top ? 0x04C11DB7u : 0);
        }
    }
    return crc;
}

sim::SimSettings BridgeRig::DefaultSettings() {
    sim::SimSettings settings;
    settings.profile = "ORV7608";
    settings.app_mode = true;
    settings.bridge.present = true;
    settings.bridge.complete = true;
    return settings;
}

BridgeRig::BridgeRig(sim::SimSettings settings, std::vector<uint8_t> bridge_flash) {
    process.config.SetValue(kConfigSection, "MIPI Camera", "1");
    camera = std::make_shared<sim::SimCamera>(std::move(settings), MakeDemoImage(OldFirmware()),
                                              camera_clock, "", std::move(bridge_flash));
    sim_bus.AddCamera(camera);
    camlib.CamLib_Init(0);
    profiles.BuildProfileList();
    profiles.SelectDefaultProfile();
    device = std::make_unique<C7608FlashInfo_USB>(process, camlib, profiles);
}

BridgeRig::~BridgeRig() {
    device.reset();
    RemoveDeviceLock(kBridgeRigLockName);
}

bool BridgeRig::OpenAndLoad(const std::vector<uint8_t>& image) {
    if (!device->DEV_OpenMIPIDevice() || process.project_type != 5) return false;
    device->DEV_ReadMipiCameraInfo();
    device->DEV_SetTransportOptions();
    device->images().front = image;
    device->images().working = image;
    bridge().ClearHistory();
    sink.clear();
    return true;
}

std::vector<sim::SimBridge::CommandRecord> BridgeRig::Commands(uint8_t group, uint8_t sub) {
    std::vector<sim::SimBridge::CommandRecord> out;
    for (const auto& c : bridge().History())
        if (c.group == group && c.sub == sub) out.push_back(c);
    return out;
}

}  // namespace orbisk::test
