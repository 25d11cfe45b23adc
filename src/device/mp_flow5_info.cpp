// What the device flow and the dialogs show of a camera behind a MIPI bridge, and the bridge's
// own version.
#include <cstdio>

#include "device/device_status.h"
#include "device/mp_flow5.h"

namespace orbisk {

namespace {

constexpr uint8_t kMipiPowerOn = 3;

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

std::string VersionText(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%02X-%02X%02X-%02X%02X", a, b, c, d, e);
    return text;
}

std::string Identity(const char* format, uint16_t vid, uint16_t pid, uint16_t rev = 0) {
    char text[48];
    std::snprintf(text, sizeof text, format, vid, pid, rev);
    return text;
}

}  // namespace

void CMpFlow5::Notice(const std::string& text) {
    process_.logger.DebugPrint("%s\n", text.c_str());
}

int CMpFlow5::MP_Get7608VersionText() {
    if (!HasCamera() || !conn_.mipi_bridge) return 1;
    uint8_t info[32] = {};
    int result = 1;
    if (!conn_.mipi_simulation) result = camlib_.CamLib_Bridge_ReadInfo(conn_.camera_handle, info);
    texts_.fw_version = VersionText(info[27], info[30], info[31], info[4], info[5]);
    if (!result) Notice("Can't Find MIPI Camera");
    return result;
}

void CMpFlow5::RefreshBridgeVersion() {
    uint8_t info[32] = {};
    // A failed read leaves zeros, not part of one reply and part of another.
    if (HasCamera() && !camlib_.CamLib_Bridge_ReadInfo(conn_.camera_handle, info))
        std::fill(std::begin(info), std::end(info), 0);
    version_words_ = {Le32(info + 24), Le32(info + 28)};
    MP_Get7608VersionText();
}

int CMpFlow5::MP_GetMIPIDeviceInfo() {
    LogScope scope(process_.logger, "CMpFlow5::MP_GetMIPIDeviceInfo");
    if (!HasCamera()) {
        texts_.code_signature = 0;
        texts_.second_code = 0;
        texts_.connection = "No ZN Camera";
        texts_.fw_version = texts_.manufacturer = texts_.usb_speed = texts_.memory_name =
            texts_.code_mode = "N/A";
        return 1;
    }
    const uint64_t h = conn_.camera_handle;
    texts_.connection = "ZN Camera Connected";
    const int probe = camlib_.CamLib_ProbeMipiBridge(h);
    conn_.mipi_bridge = probe == 1 || probe == 2;
    conn_.mipi_simulation = probe == 2;

    DevStatusBlock first{};
    camlib_.CamLib_ReadDeviceProperties(h, conn_.mipi_bridge ? 1 : 0, first.data(),
                                        conn_.command_options);
    if (conn_.mipi_bridge && !conn_.mipi_simulation) {
        process_.logger.DebugPrint("UVC_SetPowerControlLib\n");
        camlib_.CamLib_SetPowerMipi(h, kMipiPowerOn, conn_.command_options);
    }
    const SelectedStatus selected = SelectStatus(first);
    texts_.fw_version =
        VersionText(selected.leading, selected.first_word & 0xFF, selected.first_word >> 8,
                    selected.second_word & 0xFF, selected.second_word >> 8);
    texts_.second_version = texts_.fw_version;

    camlib_.CamLib_GetIdentity(&conn_.vid, &conn_.pid, &conn_.rev, &texts_.manufacturer);
    texts_.vid_pid = Identity("VID_%04X&PID_%04X", conn_.vid, conn_.pid);
    texts_.vid_pid_rev = Identity("VID_%04X&PID_%04X&REV_%04X", conn_.vid, conn_.pid, conn_.rev);
    std::string name;
    camlib_.CamLib_GetFriendlyName(&name);
    texts_.name_label = name + "&" + texts_.vid_pid_rev;

    DevStatusBlock second{};
    camlib_.CamLib_GetDevStatus(h, second.data(), conn_.command_options);
    conn_.rom_flag = SelectStatus(second).run_mode == 1 ? 0 : 1;
    camlib_.CamLib_GetPortLocation(h, &conn_.port_number, &conn_.hub);
    texts_.code_mode = selected.run_mode == 1 ? "Vendor Code" : "N/A";

    const char* flash_name = profiles_.chip_info == 10 ? "SPI_SF_MLX128" : "SPI_SF_MX25L512";
    const uint8_t mode_byte = first[selected.secondary ? 72 : 64];
    if ((mode_byte >> 4) == 1 && selected.run_mode == 1) {
        texts_.memory_name = flash_name;
    } else {
        uint8_t id[8] = {};
        camlib_.CamLib_SPI_SF_ReadID(h, id, 0);
        texts_.memory_name = id[1] != 0 ? flash_name : "I2C_EEP_CAT24C64";
    }
    return 1;
}

}  // namespace orbisk
