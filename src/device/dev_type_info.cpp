#include "device/dev_type_info.h"

namespace orbisk {

std::string_view CDevTypeInfo::ProjectTypeName() const {
    // "FLASH", "EEPROM8", "EEPROM16", "MTP", "OTP" of the status table; NOR and the bridge
    // flash are flash parts too.
    switch (process_.project_type) {
        case 0:
        case 1:
        case 5:
            return StatusText(42010);
        case 2:
            return StatusText(42011);
        case 3:
            return StatusText(42012);
        case 4:
            return StatusText(42013);
        case 6:
            return StatusText(42014);
        default:
            return {};
    }
}

std::string_view CDevTypeInfo::BusTypeName() const {
    const int32_t bus = process_.bus_type;
    return bus >= 0 && bus <= 2 ? StatusText(42020 + static_cast<uint32_t>(bus))
                                : std::string_view{};
}

}  // namespace orbisk
