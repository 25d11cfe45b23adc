#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orbisk {

// One camera of `orbisk --list`.
struct CameraListing {
    int index = 0;      // enumeration index, as the device flow opens it
    std::string label;  // "VID_%04X&PID_%04X&REV_%04X"
    uint32_t port = 0;
    std::string version;  // firmware version text
    std::string serial;
    // IP cameras only: the address and the chip identity ("%04X").
    std::string address;
    std::string chip;
};

// One line per camera: "0  VID_2C7E&PID_6363&REV_0100  port 1  0x00-0000-1060  SN-1".
std::string FormatListingText(const std::vector<CameraListing>& cameras);
// A JSON array of objects with index, label, port, version and serial (IP cameras add address
// and chip).
std::string FormatListingJson(const std::vector<CameraListing>& cameras);

}  // namespace orbisk
