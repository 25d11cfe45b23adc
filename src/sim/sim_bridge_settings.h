#pragma once
#include <cstdint>
#include <string>

#include "base/ini_file.h"

namespace orbisk::sim {

// The MIPI bridge's own serial flash: 128 KB that only the bridge reaches.
inline constexpr uint32_t kBridgeFlashSize = 0x20000;

// Costs of the bridge, charged on the camera's clock.
struct BridgeTiming {
    uint32_t i2c_khz = 400;           // the controller's I2C bus to the bridge
    uint32_t command_us = 40;         // the bridge firmware's handling of one mailbox command
    uint32_t page_program_us = 3000;  // one 256-byte page of its flash, verified by the bridge
    uint32_t chip_erase_ms = 1000;
    uint32_t sector_erase_ms = 60;
    uint32_t status_write_ms = 10;   // flash status write; its busy bit is set meanwhile
    uint32_t read_ns_per_byte = 80;  // its flash read (checksums, reads)
    uint32_t reset_delay_us = 2000;  // from a finished 05 07 / 05 08 to the restart
    uint32_t boot_ms = 30;           // restart until the bridge answers again
};

// Faults of the bridge. Every key reads 0 when off, so `orbisk-sim fault --clear` clears them.
struct BridgeFaults {
    uint16_t fail_command = 0;  // group << 8 | sub-command: such commands end in error
    uint8_t fail_code = 0;      // its error code (0: 3, hardware error)
    uint32_t fail_skip = 0;     // that many of them pass before the failures begin
    bool stays_busy = false;    // a command written to a mailbox never finishes
    bool no_start = false;      // the boot ROM does not start the code, complete or not
    bool fail_program = false;  // a program command covering fail_address ends in error
    uint32_t fail_address = 0;
};

// What the camera folder keeps of the bridge (section [Bridge], faults in [Faults]).
struct BridgeSettings {
    bool present = false;
    bool simulation_signature = false;  // the controller answers "MIPISIM" instead of "MIPI IO"
    bool complete = false;              // 01 09 came after the last whole-flash erase
    uint8_t flash_status = 0x8C;        // non-volatile bits of its flash's status register
    uint32_t rom_version = 0x0100;      // what its boot ROM reports
    BridgeTiming timing;
    BridgeFaults faults;

    // Missing keys keep their defaults; false with a reason for values that cannot be used.
    bool Load(const CIniFile& ini, std::string* error);
    void Save(CIniFile* ini) const;
};

}  // namespace orbisk::sim
