#pragma once
// A whole tool against one simulated MIPI module: virtual clock, process, the simulated bus with
// a camera whose controller runs the demo image and whose bridge keeps its own flash, the real
// transports and function library, and the bridge's memory type.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/flash_info_7608_usb.h"
#include "device/flash_rig.h"
#include "image/bridge_demo_image.h"
#include "platform/device_lock.h"
#include "sim/sim_bus.h"
#include "sim/sim_camera.h"
#include "support/recorders.h"

namespace orbisk::test {

// The bridge firmware before the update and the one the tool brings.
inline constexpr uint32_t kOldBridgeVersion = 0x00010203;
inline constexpr uint32_t kNewBridgeVersion = 0x00020001;
inline constexpr uint32_t kNewBridgeWord = 0x20240917;
std::vector<uint8_t> OldBridgeImage();
std::vector<uint8_t> NewBridgeImage(size_t size = BridgeDemoLayout::kImageSize);

// CRC-32/MPEG-2, computed here apart from the tool's CRC worker.
uint32_t ReferenceCrc(const std::vector<uint8_t>& data);

inline constexpr const char* kBridgeRigLockName = "orbisk_bridge_test_lock";

struct BridgeRig : ToolCore {
    explicit BridgeRig(sim::SimSettings settings = DefaultSettings(),
                       std::vector<uint8_t> bridge_flash = OldBridgeImage());
    ~BridgeRig();
    // An ORV7608 module: the controller runs the demo image, the bridge runs its firmware.
    static sim::SimSettings DefaultSettings();

    // Opens the camera as the command line does ("MIPI Camera" set), reads what is read of a
    // found bridge camera, sets the download options and puts `image` into the first slot.
    bool OpenAndLoad(const std::vector<uint8_t>& image = NewBridgeImage());
    sim::SimBridge& bridge() { return *camera->bridge(); }
    std::vector<uint8_t> BridgeFlash() { return camera->BridgeMemory(); }
    // The bridge's program commands since the last ClearHistory, in order.
    std::vector<sim::SimBridge::CommandRecord> Commands(uint8_t group, uint8_t sub);

    sim::SimUsbBus sim_bus{clock};
    std::shared_ptr<sim::SimCamera> camera;
    UsbTransportFactory factory{sim_bus, logger, OpenDeviceLock(kBridgeRigLockName)};
    CamLib camlib{process, sim_bus, factory};
    CICTypeIni profiles{process};
    std::unique_ptr<C7608FlashInfo_USB> device;
};

}  // namespace orbisk::test
