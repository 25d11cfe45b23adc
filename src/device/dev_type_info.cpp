#include "device/dev_type_info.h"

#include "base/status.h"

namespace orbisk {

std::string_view ProjectTypeName(int32_t project_type) {
    switch (project_type) {
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

std::string_view BusTypeName(int32_t bus_type) {
    return bus_type >= 0 && bus_type <= 2 ? StatusText(42020 + static_cast<uint32_t>(bus_type))
                                          : std::string_view{};
}

}  // namespace orbisk
