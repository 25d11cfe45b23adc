#include "device/device_object.h"

#include "device/eeprom_info16_usb.h"
#include "device/eeprom_info8_usb.h"
#include "device/farrow_flash_info_usb.h"
#include "device/flash_info_7608_usb.h"
#include "device/mtp_info_usb.h"
#include "device/nor_flash_info_usb.h"
#include "device/otp_info_usb.h"
#include "device/spi_flash_info_usb.h"
#include "device/tarn_flash_info_usb.h"

namespace orbisk {

std::unique_ptr<CDevFlow> CreateDeviceObject(MemoryClass memory_class, Process& process,
                                             CamLib& camlib, CICTypeIni& profiles) {
    switch (memory_class) {
        case MemoryClass::kSPIFlashInfo_USB:
            return std::make_unique<CSPIFlashInfo_USB>(process, camlib, profiles);
        case MemoryClass::kNORFlashInfo_USB:
            return std::make_unique<CNORFlashInfo_USB>(process, camlib, profiles);
        case MemoryClass::kTarnFlashInfo_USB:
            return std::make_unique<CTarnFlashInfo_USB>(process, camlib, profiles);
        case MemoryClass::kFarrowFlashInfo_USB:
            return std::make_unique<CFarrowFlashInfo_USB>(process, camlib, profiles);
        case MemoryClass::k7608FlashInfo_USB:
            return std::make_unique<C7608FlashInfo_USB>(process, camlib, profiles);
        case MemoryClass::kOTPInfo_USB:
            return std::make_unique<COTPInfo_USB>(process, camlib, profiles);
        case MemoryClass::kEepromInfo8_USB:
            return std::make_unique<CEepromInfo8_USB>(process, camlib, profiles);
        case MemoryClass::kEepromInfo16_USB:
            return std::make_unique<CEepromInfo16_USB>(process, camlib, profiles);
        case MemoryClass::kMTPInfo_USB:
            return std::make_unique<CMTPInfo_USB>(process, camlib, profiles);
        default:
            return nullptr;
    }
}

}  // namespace orbisk
