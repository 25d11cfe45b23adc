#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "device/recovery_record.h"

namespace orbisk {

// The one open camera of the device object and what is known of it.
struct DeviceConnection {
    uint64_t camera_handle = 0;  // the function library's handle; 0 when closed
    uint32_t command_options = 0;
    std::array<uint8_t, 2> chip_identity{};
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint16_t rev = 0;
    int32_t rom_flag = 0;  // 1 ROM, 0 application code, 2 undetermined
    int32_t mipi_bridge = 0;
    int32_t mipi_simulation = 0;
    uint32_t port_number = 0;
    uint64_t hub = 0;
    uint8_t reset_kind = 0;  // sub-mode of the ROM switch of some chips: 0, 5 or 6
    uint8_t gpio_reset = 0;
};

// How the open camera stands towards recovery: whether it runs its boot ROM, and if so what
// the program folder knows of it.
struct RecoveryState {
    enum class Rom {
        kNo,             // the camera runs its code
        kUnknown,        // its status could not be read
        kWithRecord,     // in its boot ROM, a valid record for its port
        kWithoutRecord,  // in its boot ROM, no record
        kDamagedRecord,  // in its boot ROM, a record that cannot be trusted
    };
    Rom rom = Rom::kNo;
    std::string port;         // port chain of the camera, "1-1.4"
    std::string record_path;  // its record, whether or not there is one
    RecoveryRecord record;    // with kWithRecord
    std::string problem;      // with kDamagedRecord: why the record is refused
    bool InRom() const { return rom != Rom::kNo && rom != Rom::kUnknown; }
};

// A MIPI bridge that an update left in its boot ROM, its image not complete: a record of that
// update on the camera's port keeps what the bridge's flash no longer holds for sure (the data
// "MIPI Reserve" keeps).
struct BridgeRecovery {
    bool in_rom = false;  // the bridge runs its boot ROM
    bool record = false;  // a record of the update that left it there
    std::string record_path;
};

// The texts of the open camera that the dialogs show and the checks compare.
struct DeviceTexts {
    std::string manufacturer;  // USB manufacturer string, kept as the serial number
    // The manufacturer string above was read from the open camera, not left empty by a failed
    // read.
    bool manufacturer_read = false;
    std::string vid_pid;         // "VID_%04X&PID_%04X"
    std::string identity_label;  // "VID_%04X&PID_%04X&REV_%04X" or "MIPI Camera"
    std::string chosen_image_path;
    std::string image_identity;  // identity of the image that fits the camera
    // Device information of the dialogs.
    std::string connection;  // "ZN Camera Connected" / "No ZN Camera"
    std::string fw_version;
    std::string second_version;
    std::string usb_speed;
    std::string code_mode;  // "Vendor Code" when the application runs
    std::string memory_name;
    std::string vid_pid_rev;     // "VID_%04X&PID_%04X&REV_%04X"
    std::string name_label;      // camera name and identity
    std::string serial;          // USB serial-number string
    std::string board;           // base-board product of the host
    std::string sn_state;        // serial-number state shown while it is saved
    std::string otp_space;       // the OTP space text of an OTP camera, else empty
    int32_t code_signature = 0;  // the camera's code carries 0x55 0xAA
    int32_t second_code = 0;
    RecoveryState recovery;
    BridgeRecovery bridge_recovery;
};

// The main dialog's device selector: the four operations the device flow uses on it.
class DeviceSelector {
  public:
    virtual ~DeviceSelector() = default;
    virtual void Clear() = 0;
    virtual void Insert(int position, const std::string& text) = 0;
    virtual void Select(int position) = 0;
    virtual std::string SelectedText() const = 0;
};

// What the device flow shares with the main dialog (or, without a dialog, the command line):
// the selector, the remembered port of the chosen camera, the selected label, the text of the
// matched camera and the wake event of automatic runs.
struct DeviceFlowPeer {
    DeviceSelector* selector = nullptr;
    uint32_t remembered_port = 0;
    uint64_t remembered_hub = 0;
    std::string selected_label;
    std::string matched_camera;
    // true sets the wake event, false resets it.
    std::function<void(bool)> wake;
    // Prints a line on the console in command-line mode.
    std::function<void(const std::string&)> console;
};

}  // namespace orbisk
