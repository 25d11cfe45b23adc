#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbisk {

// Small decisions of the device helpers and the boot switch, kept apart from device access.

// Addresses of the code signature 0x55 0xAA for a profile's ChipInfo, tried in order; empty
// when the chip has none.
std::vector<uint32_t> CodeSignatureAddresses(int32_t chip_info);

// The memory name that the dialogs show for a memory type and the first image's length.
std::string MemoryName(int32_t memory_type, uint32_t image_length);

// The USB speed text from registers 0xFC02 and 0xFA01.
std::string UsbSpeedText(uint8_t reg_fc02, uint8_t reg_fa01);

// Chips that switch into ROM through their own reset kind: profile "ORV6099" or masked chip ID
// 0xB010 or 0xF010.
bool IsSpecialResetChip(std::string_view ic_name, uint16_t masked_chip_id);

// The sub-mode of the switch into update mode for the other chips.
uint8_t RomSubMode(uint8_t download_options, uint8_t reset_kind, int32_t lib_type,
                   int32_t memory_type);

// "%s&REV_%s" of an image's identity equals the camera's "VID_%04X&PID_%04X&REV_%04X" text.
// The image keeps its revision in lower case, so letters are compared without regard to case.
bool ImageMatchesCameraIdentity(std::string_view image_vid_pid, std::string_view image_rev,
                                std::string_view camera_label);

}  // namespace orbisk
