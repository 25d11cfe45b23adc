#include "device/device_factory.h"

#include "base/process.h"

namespace orbisk {

const char* MemoryClassName(MemoryClass c) {
    switch (c) {
        case MemoryClass::kNone:
            return "";
        case MemoryClass::kSPIFlashInfo_USB:
            return "CSPIFlashInfo_USB";
        case MemoryClass::kTarnFlashInfo_USB:
            return "CTarnFlashInfo_USB";
        case MemoryClass::kFarrowFlashInfo_USB:
            return "CFarrowFlashInfo_USB";
        case MemoryClass::k7608FlashInfo_USB:
            return "C7608FlashInfo_USB";
        case MemoryClass::kNORFlashInfo_USB:
            return "CNORFlashInfo_USB";
        case MemoryClass::kEepromInfo8_USB:
            return "CEepromInfo8_USB";
        case MemoryClass::kEepromInfo16_USB:
            return "CEepromInfo16_USB";
        case MemoryClass::kMTPInfo_USB:
            return "CMTPInfo_USB";
        case MemoryClass::kOTPInfo_USB:
            return "COTPInfo_USB";
    }
    return "";
}

MemoryClass SelectMemoryClass(int32_t project_type, int32_t bus_type, int32_t customization_mode) {
    constexpr int32_t kUsb = 0, kMipi = 2;
    if (bus_type == kMipi)
        return project_type == 0 ? MemoryClass::k7608FlashInfo_USB : MemoryClass::kNone;
    if (bus_type != kUsb) return MemoryClass::kNone;
    switch (project_type) {
        case 0:
            if (customization_mode == 7) return MemoryClass::kTarnFlashInfo_USB;
            if (customization_mode == 8) return MemoryClass::kFarrowFlashInfo_USB;
            return MemoryClass::kSPIFlashInfo_USB;
        case 1:
            return MemoryClass::kNORFlashInfo_USB;
        case 2:
            return MemoryClass::kEepromInfo8_USB;
        case 3:
            return MemoryClass::kEepromInfo16_USB;
        case 4:
            return MemoryClass::kMTPInfo_USB;
        case 5:
            return MemoryClass::k7608FlashInfo_USB;
        case 6:
            return MemoryClass::kOTPInfo_USB;
        default:
            return MemoryClass::kNone;
    }
}

MemoryClass RunDeviceFactory(Process& process) {
    const MemoryClass c =
        SelectMemoryClass(process.project_type, process.bus_type, process.customization_mode);
    process.status.SetCode(0);
    return c;
}

}  // namespace orbisk
