#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/ini_file.h"
#include "sim/sim_bridge_settings.h"
#include "sim/sim_protect.h"
#include "sim/sim_reset_rules.h"

namespace orbisk::sim {

// Which command channels a camera answers besides its extension unit.
enum class Generation { kExtensionUnit, kVendorV1, kVendorV2 };
enum class MemoryKind { kSerialFlash, kNorFlash, kOtp, kEeprom8, kEeprom16, kMtp };

// "sf", "nor", "otp", "eeprom8", "eeprom16", "mtp"; false for any other text.
const char* MemoryKindName(MemoryKind kind);
bool ParseMemoryKind(const std::string& text, MemoryKind* out);
// An I2C EEPROM or an MTP: memories the controller rewrites byte by byte, whose image is a
// configuration area from address 0 with its tag, 0xA5, at address 1.
inline bool IsByteMemory(MemoryKind kind) {
    return kind == MemoryKind::kEeprom8 || kind == MemoryKind::kEeprom16 ||
           kind == MemoryKind::kMtp;
}

const char* GenerationName(Generation generation);
bool ParseGeneration(const std::string& text, Generation* out);

// What the controller chip is: its identity registers and where its firmware keeps things.
struct ChipProfile {
    const char* name;
    uint8_t id_fe21;  // chip identity register bytes at 0xFE21 and 0xFE22
    uint8_t id_fe22;
    uint8_t chip_model_index;
    uint32_t config_address;
    uint32_t tag_address;
    uint32_t memory_size;
    uint16_t chip_id;        // as the firmware's 0x2F record names it
    WriteProtectPin wp_pin;  // of the serial flash
    ResetNeeds reset;        // registers the boot ROM looks at before it stays for an update
    // The module may carry a MIPI bridge on the controller's I2C bus.
    bool bridge = false;
};

const ChipProfile* FindProfile(const std::string& name);
const std::vector<ChipProfile>& Profiles();
inline constexpr const char* kDefaultProfile = "ORV6363";

// The USB identity a camera enumerates with.
struct UsbIdentity {
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint16_t rev = 0;
    std::string manufacturer;
    std::string product;
    std::string serial;
};

// Costs charged on the clock, in microseconds unless named otherwise.
struct Timing {
    uint32_t transfer_us = 125;       // fixed cost of one control transfer
    uint32_t wire_ns_per_byte = 17;   // data stage at high speed (about 60 MB/s)
    uint32_t page_program_us = 1400;  // one 256-byte page
    uint32_t chip_erase_ms = 1000;
    uint32_t sector_erase_ms = 60;
    uint32_t status_write_ms = 10;
    uint32_t reenumerate_ms = 300;
    // I2C EEPROM: the controller's I2C clock and the part's write cycle after each page write.
    uint32_t eeprom_i2c_khz = 400;
    uint32_t eeprom_write_us = 5000;
    // MTP: programming one 64-byte row.
    uint32_t mtp_row_program_us = 250;
};

// Injected faults. Transfer numbers count every control transfer that reaches the camera
// (any face), from 1, since the camera was loaded.
struct Faults {
    uint32_t fail_transfer = 0;        // this one transfer fails (0 = off)
    uint32_t fail_from = 0;            // every transfer from this one on fails (0 = off)
    std::string fail_errno = "EPIPE";  // how a failing transfer fails: EPIPE, EIO, ETIMEDOUT
    uint32_t disconnect_at = 0;        // the camera is unplugged at this transfer (0 = off)
    bool stuck_bit = false;            // one memory bit always reads stuck_value
    uint32_t stuck_address = 0;
    uint8_t stuck_mask = 0x01;
    bool stuck_value = false;
    uint32_t drop_write = 0;       // this program command is acknowledged but not done
    bool drop_all_writes = false;  // every program command is acknowledged but not done
    bool busy_stuck = false;       // the flash busy bit never clears
    bool bad_qualify = false;      // qualify answers without the terminating zero
    bool no_return = false;        // after a reset the camera does not come back
    // OTP memory: bits that never program (address, mask), the lock bit of the controller set,
    // and the n-th OTP write whose program-fail report claims a failure that did not happen.
    std::vector<std::pair<uint16_t, uint8_t>> otp_weak;
    bool otp_locked = false;
    uint32_t otp_false_report = 0;
};

// The stuck-bit fault on bytes read from a memory: `out` holds `length` bytes from `address`.
inline void ApplyStuckBit(const Faults& f, uint32_t address, uint32_t length, uint8_t* out) {
    if (!f.stuck_bit || f.stuck_address < address || f.stuck_address - address >= length) return;
    uint8_t& byte = out[f.stuck_address - address];
    byte = static_cast<uint8_t>(f.stuck_value ? (byte | f.stuck_mask) : (byte & ~f.stuck_mask));
}

// The serial flash's status register as an update leaves it: write-disable and two block
// protection bits, to be released only with the write-protect pin high.
inline constexpr uint8_t kProtectedFlashStatus = 0x8C;

// Everything the camera folder's INI file holds.
struct SimSettings {
    std::string profile = kDefaultProfile;
    // The chip identity registers at 0xFE21 and 0xFE22; unset: the profile's. Lets a camera
    // read what some chips really answer (such as 0x00 0x60, or 0x01 0x4x).
    std::optional<uint8_t> chip_id_fe21;
    std::optional<uint8_t> chip_id_fe22;
    Generation generation = Generation::kExtensionUnit;
    MemoryKind memory = MemoryKind::kSerialFlash;
    uint32_t memory_size = 0;  // 0: the profile's (OTP: always 16 KB)
    bool app_mode = false;     // runs its application (else its boot ROM)
    UsbIdentity rom;           // identity of the boot ROM
    UsbIdentity running;       // identity of the running application (app mode only)
    uint32_t running_version = 0;
    uint32_t rom_version = 0x0100;
    uint8_t flash_status = 0x00;  // non-volatile status register of the serial flash
    // Bus placement and USB face.
    uint8_t bus = 1;
    std::vector<uint8_t> ports = {1};
    uint8_t speed = 3;  // 1 low, 2 full, 3 high, 4 super
    uint8_t unit_id = 4;
    uint8_t vc_interface = 0;
    bool second_unit = false;
    uint8_t entries = 1;  // list entries for the same physical camera
    bool direct_access = true;
    bool rear_camera = false;
    uint16_t max_data_size = 1024;
    bool app_allows_flash_write = false;
    // The GPIO of register 0xFF9C that drives an ORV6099 EEPROM's write-protect pin (0 or 1).
    uint8_t wp_gpio = 0;
    Timing timing;
    Faults faults;
    BridgeSettings bridge;

    const ChipProfile& Profile() const;
    uint32_t MemorySize() const;
    uint8_t ChipIdFE21() const { return chip_id_fe21.value_or(Profile().id_fe21); }
    uint8_t ChipIdFE22() const { return chip_id_fe22.value_or(Profile().id_fe22); }

    // Reads the settings from an INI text; missing keys keep their defaults. False with a
    // reason for values that cannot be used.
    bool Load(const CIniFile& ini, std::string* error);
    void Save(CIniFile* ini) const;
    // Identity of the boot ROM of a profile: the maker's vendor id and a product id per chip.
    static UsbIdentity DefaultRomIdentity(const ChipProfile& profile);
};

std::string PortsText(const std::vector<uint8_t>& ports);
// OTP weak bits as "ADDRESS:MASK" items separated by commas; "" or "0" is none.
std::string OtpWeakText(const std::vector<std::pair<uint16_t, uint8_t>>& weak);
bool ParseOtpWeak(const std::string& text, std::vector<std::pair<uint16_t, uint8_t>>* out);
bool ParsePorts(const std::string& text, std::vector<uint8_t>* out);

}  // namespace orbisk::sim
