#pragma once
#include <cstdint>

namespace orbisk {

struct Process;

// The memory-type class of the device object, chosen from the process-wide project type and
// bus type (and, for serial flash on USB, the customization mode).
enum class MemoryClass {
    kNone,
    kSPIFlashInfo_USB,
    kTarnFlashInfo_USB,
    kFarrowFlashInfo_USB,
    k7608FlashInfo_USB,
    kNORFlashInfo_USB,
    kEepromInfo8_USB,
    kEepromInfo16_USB,
    kMTPInfo_USB,
    kOTPInfo_USB,
};

// The class name ("CSPIFlashInfo_USB" ...); empty for kNone.
const char* MemoryClassName(MemoryClass c);

// kNone for every pair without a class: all of PCIE, and MIPI with a project type other
// than 0.
MemoryClass SelectMemoryClass(int32_t project_type, int32_t bus_type, int32_t customization_mode);

// The factory run: chooses the class for the process's current values and sets the
// process-wide status code to 0. The device layers create the object of that class.
MemoryClass RunDeviceFactory(Process& process);

}  // namespace orbisk
