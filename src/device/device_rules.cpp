#include "device/device_rules.h"

#include <cctype>

namespace orbisk {

std::vector<uint32_t> CodeSignatureAddresses(int32_t chip_info) {
    switch (chip_info) {
        case 2:
        case 8:
        case 9:
        case 11:
        case 12:
        case 13:
        case 16:
            return {0xF03E};
        case 18:
        case 20:
            return {0xF03E, 0x1F03E};
        case 6:
            return {0xE03E};
        case 10:
            return {0x1C03E};
        case 15:
            return {0x1F03E};
        default:
            return {};
    }
}

std::string MemoryName(int32_t memory_type, uint32_t image_length) {
    switch (memory_type) {
        case 0:
            return image_length == 0x10000 ? "SPI_SF_MX25L512" : "SPI_SF_MLX128";
        case 2:
        case 3:
            return "I2C_EEP_CAT24C64";
        case 4:
            return "MTP";
        case 6:
            return "OTP";
        default:
            return "N/A";
    }
}

std::string UsbSpeedText(uint8_t reg_fc02, uint8_t reg_fa01) {
    if (reg_fc02 == 1) return "Usb Speed: Super Speed";
    if (reg_fc02 != 0) return "N/A";
    return (reg_fa01 & 0x01) ? "Usb Speed: High Speed" : "Usb Speed: Full Speed";
}

bool IsSpecialResetChip(std::string_view ic_name, uint16_t masked_chip_id) {
    return ic_name == "ORV6099" || masked_chip_id == 0xB010 || masked_chip_id == 0xF010;
}

uint8_t RomSubMode(uint8_t download_options, uint8_t reset_kind, int32_t lib_type,
                   int32_t memory_type) {
    if ((download_options & 0x04) || reset_kind == 5) return 2;
    if (download_options & 0x08) return lib_type != 0 && memory_type == 0 ? 1 : 0;
    return static_cast<uint8_t>(memory_type & 0xFF);
}

bool ImageMatchesCameraIdentity(std::string_view image_vid_pid, std::string_view image_rev,
                                std::string_view camera_label) {
    const std::string image = std::string(image_vid_pid) + "&REV_" + std::string(image_rev);
    if (image.size() != camera_label.size()) return false;
    for (size_t i = 0; i < image.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(image[i])) !=
            std::toupper(static_cast<unsigned char>(camera_label[i])))
            return false;
    }
    return true;
}

}  // namespace orbisk
