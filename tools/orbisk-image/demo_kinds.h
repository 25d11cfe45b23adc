#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/ic_type_ini.h"
#include "image/demo_image.h"

namespace orbisk::image_tool {

// The memories a camera keeps its firmware in, as far as a demo image tells them apart.
enum class DemoMemory { kSerialFlash, kNorFlash, kEeprom8, kEeprom16, kMtp, kOtp, kBridge };

// "sf", "nor", "eeprom8", "eeprom16", "mtp", "otp", "bridge".
const char* DemoMemoryName(DemoMemory memory);
std::optional<DemoMemory> ParseDemoMemory(const std::string& name);

// The memories the selected profile's chip is built with, its usual one first: a bridge profile
// has its bridge's flash; a chip whose configuration lies at 0 without code keeps it in an
// EEPROM or an MTP (the OTP chip ORV6099 in its OTP first); the other chips in serial flash, or
// NOR flash when the layout fits the 64 KB that NOR commands address.
std::vector<DemoMemory> ProfileMemories(const CICTypeIni& profile);

struct DemoRequest {
    DemoImageSpec recipe;
    DemoMemory memory = DemoMemory::kSerialFlash;
    size_t otp_code_size = 0;  // 0: the OTP demo image's default
    uint32_t second_word = 0;  // a bridge image's second version word
};

// The demo image of that memory for the selected profile; empty with `error` when it cannot be
// made (a string or the code too long, a layout that does not hold it).
std::vector<uint8_t> MakeProfileDemoImage(const CICTypeIni& profile, const DemoRequest& request,
                                          std::string* error);

// The memory type a configuration type names, as `info` shows it ("serial or NOR flash",
// "EEPROM, 8-bit addresses", ...), and its short name for JSON ("flash", "eeprom8", ...).
std::string ConfigTypeMemoryText(uint8_t config_type);
std::string ConfigTypeMemoryName(uint8_t config_type);

}  // namespace orbisk::image_tool
