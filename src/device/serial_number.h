#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image/config_edit.h"

namespace orbisk {

// Where and how the camera's serial number goes into a new image.
struct SerialNumberPlacement {
    bool serial_descriptor = false;  // "SN Address": descriptor type 3 instead of type 1
    bool bell_prefix = false;        // "SN Function": 0x07 before the number in type 3
    bool widen_to = false;           // OTP images: widen to the configuration size first and
    uint32_t config_size = 0;        // cut back to the new area afterwards
};

// Puts `serial` into the image's configuration area. On anything but kOk the image is left
// exactly as it was. `new_area_size` receives the size of the rebuilt area.
EditResult CarrySerialNumber(std::vector<uint8_t>& image, const ConfigLayout& layout,
                             const std::string& serial, const SerialNumberPlacement& placement,
                             LogScope* log, size_t* new_area_size);

}  // namespace orbisk
