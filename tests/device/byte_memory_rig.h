#pragma once
// A whole tool against one simulated EEPROM or MTP camera: the real transports, function
// library, chip profiles and the device object the factory makes for the image's memory type.
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "device/dev_flow.h"
#include "device/flash_rig.h"

namespace orbisk::test {

// One kind of camera: its memory, chip, command channel and write-protect wiring.
struct ByteMemoryCase {
    const char* name;
    sim::MemoryKind memory;
    const char* profile;
    sim::Generation generation;
    uint8_t wp_gpio;  // the ORV6099's write-protect GPIO, told to the tool as "GPIO"
};
inline constexpr ByteMemoryCase kByteMemoryCases[] = {
    {"Eeprom8", sim::MemoryKind::kEeprom8, "ORV6987", sim::Generation::kExtensionUnit, 0},
    {"Eeprom16", sim::MemoryKind::kEeprom16, "ORV6987", sim::Generation::kExtensionUnit, 0},
    {"Eeprom16_ORV6099_Gpio0", sim::MemoryKind::kEeprom16, "ORV6099",
     sim::Generation::kExtensionUnit, 0},
    {"Eeprom16_ORV6099_Gpio1", sim::MemoryKind::kEeprom16, "ORV6099",
     sim::Generation::kExtensionUnit, 1},
    {"Eeprom8_VendorV2", sim::MemoryKind::kEeprom8, "ORV6987", sim::Generation::kVendorV2, 0},
    {"Mtp", sim::MemoryKind::kMtp, "ORV6987", sim::Generation::kVendorV2, 0},
};
inline void PrintTo(const ByteMemoryCase& c, std::ostream* out) {
    *out << c.name;
}

// The project type (memory type) and configuration type of a memory.
int32_t ProjectTypeOf(sim::MemoryKind memory);
uint8_t ConfigTypeOf(sim::MemoryKind memory);
// A configuration-only image for the case's chip and memory, padded with 0xFF to `size`.
std::vector<uint8_t> ByteMemoryImage(const ByteMemoryCase& c, const DemoImageSpec& recipe,
                                     size_t size = 0x2000);

// Forwards every report to the recorder and calls `on_step` with each step text.
class StepHookSink : public StatusSink {
  public:
    explicit StepHookSink(RecordingStatusSink& inner) : inner_(inner) {}
    void Post(uint32_t kind, uint32_t code, intptr_t extra) override {
        inner_.Post(kind, code, extra);
        if (kind == kReportStepText && on_step) on_step(code);
    }
    std::function<void(uint32_t)> on_step;

  private:
    RecordingStatusSink& inner_;
};

struct ByteMemoryRig : ToolCore {
    // A camera running the old demo image (or holding `memory`).
    explicit ByteMemoryRig(const ByteMemoryCase& c, std::vector<uint8_t> memory = {});
    ~ByteMemoryRig();

    // Opens the camera as the command line does, makes the device object for the memory type,
    // sets the download options from the configuration and loads `image` into the front slot.
    bool OpenAndLoad(const std::vector<uint8_t>& image);
    std::vector<uint8_t> Memory() { return camera->Memory(); }
    // Adds faults to the camera's, from the next transfer on.
    void AddFaults(const std::function<void(sim::Faults&)>& change);
    // Step texts reported, without the serial-number display's zero.
    std::vector<uint32_t> StepTexts() const;

    ByteMemoryCase kind;
    StepHookSink hook{sink};
    sim::SimUsbBus sim_bus{clock};
    CountingBus bus{sim_bus};
    std::shared_ptr<sim::SimCamera> camera;
    HookedTransportFactory factory{bus, logger, OpenDeviceLock(kRigLockName)};
    CamLib camlib{process, bus, factory};
    CICTypeIni profiles{process};
    std::unique_ptr<CDevFlow> device;
};

}  // namespace orbisk::test
