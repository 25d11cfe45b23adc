#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_settings.h"

namespace orbisk::sim {

// What the camera's firmware finds in its memory at boot: the configuration area's identity,
// the version it reports, and whether the image is tagged. The camera's own reader, kept
// apart from the tool's parser on purpose.
struct ImageFacts {
    bool tagged = false;      // 0x55 0xAA at the tag address
    bool has_config = false;  // a configuration header with magic 0xA5 was found
    uint8_t chip_model_index = 0xFF;
    UsbIdentity identity;         // VID/PID/REV and strings of the configuration area
    bool has_identity = false;    // a 0x04 record was found
    uint16_t config_version = 0;  // hardware/application version of the 0x2F record
    uint16_t config_chip_id = 0;
    std::optional<uint32_t> marker_version;  // the demo images' version marker
    // The version the running firmware reports: the marker when present, else the 0x2F one.
    uint32_t version() const { return marker_version ? *marker_version : config_version; }
};

// The version marker of our demo images, at kVersionMarkerOffset of the code region: the 8
// bytes "ORBISKFW", then the version as a 32-bit little-endian number.
inline constexpr char kVersionMarker[] = "ORBISKFW";
inline constexpr uint32_t kVersionMarkerOffset = 0x0100;

ImageFacts ReadImageFacts(const std::vector<uint8_t>& memory, uint32_t config_address,
                          uint32_t tag_address);

// The application can run when the image is tagged and its configuration area names an
// identity.
inline bool Bootable(const ImageFacts& facts) {
    return facts.tagged && facts.has_identity;
}

// The firmware version text the tool shows for a status block of version style 0:
// "0x%02X-%02X%02X-%02X%02X" (leading byte, second version word low and high byte, bytes 5
// and 4).
std::string VersionText(const std::vector<uint8_t>& status_block);

}  // namespace orbisk::sim
