#pragma once
#include <cstdint>
#include <string>

#include "base/clock.h"
#include "base/config_keys.h"
#include "base/ini_file.h"
#include "base/logger.h"
#include "base/status.h"

namespace orbisk {

class Prompter;

inline constexpr const char* kConfigSection = "Orbisk Config";

// Run modes of the process.
enum RunMode : int32_t { kRunDialog = 0, kRunCommandLine = 1 };

// The process-wide values that every layer reads: configuration, status code, run and
// customization modes, the download options. Start-up creates one and passes it down by
// reference; tests build their own. Objects of the upper layers (profiles, device object,
// dialog) are owned by the application, not here.
struct Process {
    Process(Clock& clock_ref, Logger& logger_ref) : clock(clock_ref), logger(logger_ref) {}
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The configuration-integer read: section "Orbisk Config", the caller's own default.
    int32_t ConfigInt(const char* key, int32_t def) const {
        return config.GetValueI(kConfigSection, key, def);
    }
    int32_t ConfigInt(const ConfigKey& key) const {
        return config.GetValueI(kConfigSection, key.name, key.default_value);
    }
    std::string ConfigText(const char* key, const char* def = "") const {
        return config.GetValue(kConfigSection, key, def);
    }
    // Reports through the status reporter (kind, code, extra).
    uint32_t Report(uint32_t kind, uint32_t code, intptr_t extra = 0) {
        return status.ReportStatus(kind, code, extra);
    }
    bool CheckCancel() const { return status.CheckCancel(); }
    // Program folder joined with a file name.
    std::string ProgramFile(const std::string& name) const;

    Clock& clock;
    Logger& logger;
    StatusReporter status;
    // Who answers the questions of the device flows: the dialog's boxes, or the command line's
    // settings. Null: every question gets its default answer.
    Prompter* prompter = nullptr;
    CIniFile config;
    std::string program_folder = ".";
    int32_t customization_mode = 0;
    int32_t profile_source = 0;
    int32_t run_mode = kRunDialog;
    int32_t lib_type = 0;
    // Published by the chip-profile layer: 0 serial flash, 1 NOR flash, 2 EEPROM 8-bit,
    // 3 EEPROM 16-bit, 4 MTP, 5 MIPI-bridge flash, 6 OTP; bus 0 USB, 1 PCIE, 2 MIPI.
    int32_t project_type = 0;
    int32_t bus_type = 0;
    // Process-wide option bits of a programming run: 0x01 reset into the new code afterwards,
    // 0x02 check empty, 0x04 reset sub-mode 2, 0x08 large transfers, 0x10 program and verify,
    // 0x20 GPIO reset.
    uint8_t download_options = 0x13;
    // 1 while the code part of an OTP image is written, 0 otherwise (the configuration part).
    int32_t otp_code_part = 0;
    // The image file the operator named (`orbisk -s --image FILE`, the dialog's "Open image…"),
    // written instead of the image the program carries, with every check of that image. Empty:
    // the carried image. The dialog changes it only while its worker is idle.
    std::string image_file;
    // The program's version cut to major.minor ("2.63").
    std::string short_version;
    // Why no camera may be touched in this run: a config.ini that cannot be used (its settings
    // would silently take their defaults). Empty when all is well.
    std::string setup_error;
};

}  // namespace orbisk
