#pragma once
#include <cstdint>
#include <string_view>

#include "device/mp_flow_flash.h"

namespace orbisk {

// The short names of a project type's memory ("FLASH", "EEPROM8", "EEPROM16", "MTP", "OTP";
// NOR and the bridge flash are flash parts too) and of a bus type ("USB", "PCIE", "MIPI");
// empty for values without a name.
std::string_view ProjectTypeName(int32_t project_type);
std::string_view BusTypeName(int32_t bus_type);

// What kind of device the object drives: the short names of its memory, project and bus type
// that inspectors and logs show.
class CDevTypeInfo : public CMpFlow_Flash {
  public:
    using CMpFlow_Flash::CMpFlow_Flash;

    std::string_view ProjectTypeName() const {
        return orbisk::ProjectTypeName(process_.project_type);
    }
    std::string_view BusTypeName() const { return orbisk::BusTypeName(process_.bus_type); }
};

}  // namespace orbisk
