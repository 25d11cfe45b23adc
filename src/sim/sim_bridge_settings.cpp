#include "sim/sim_bridge_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace orbisk::sim {

namespace {

const char* kBridge = "Bridge";
const char* kFaults = "Faults";

// A whole-text unsigned number no larger than `max`; absent keeps `*out`.
bool ReadNumber(const CIniFile& ini, const char* section, const char* key, uint32_t max,
                uint32_t* out, std::string* error) {
    const std::string text = ini.GetValue(section, key);
    if (text.empty()) return true;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text[0] == '-' || errno != 0 || *end != '\0' || value > max) {
        *error =
            std::string(section) + "." + key + " must be a number from 0 to " + std::to_string(max);
        return false;
    }
    *out = static_cast<uint32_t>(value);
    return true;
}

template <typename T>
bool ReadAs(const CIniFile& ini, const char* section, const char* key, uint32_t max, T* out,
            std::string* error) {
    uint32_t value = static_cast<uint32_t>(*out);
    if (!ReadNumber(ini, section, key, max, &value, error)) return false;
    *out = static_cast<T>(value);
    return true;
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

}  // namespace

bool BridgeSettings::Load(const CIniFile& ini, std::string* error) {
    uint32_t present_flag = present, complete_flag = complete;
    BridgeTiming& t = timing;
    BridgeFaults& f = faults;
    uint32_t busy = f.stays_busy, program = f.fail_program, no_start = f.no_start;
    const uint32_t kMs = 600000, kUs = 60000000;
    if (!ReadNumber(ini, kBridge, "Present", 1, &present_flag, error) ||
        !ReadNumber(ini, kBridge, "Complete", 1, &complete_flag, error) ||
        !ReadAs(ini, kBridge, "FlashStatus", 0xFF, &flash_status, error) ||
        !ReadNumber(ini, kBridge, "RomVersion", 0xFFFFFFFF, &rom_version, error) ||
        !ReadNumber(ini, kBridge, "I2cKhz", 3400, &t.i2c_khz, error) ||
        !ReadNumber(ini, kBridge, "CommandUs", kUs, &t.command_us, error) ||
        !ReadNumber(ini, kBridge, "PageProgramUs", kUs, &t.page_program_us, error) ||
        !ReadNumber(ini, kBridge, "ChipEraseMs", kMs, &t.chip_erase_ms, error) ||
        !ReadNumber(ini, kBridge, "SectorEraseMs", kMs, &t.sector_erase_ms, error) ||
        !ReadNumber(ini, kBridge, "StatusWriteMs", kMs, &t.status_write_ms, error) ||
        !ReadNumber(ini, kBridge, "ReadNsPerByte", 1000000, &t.read_ns_per_byte, error) ||
        !ReadNumber(ini, kBridge, "ResetDelayUs", kUs, &t.reset_delay_us, error) ||
        !ReadNumber(ini, kBridge, "BootMs", kMs, &t.boot_ms, error) ||
        !ReadAs(ini, kFaults, "BridgeFailCommand", 0xFFFF, &f.fail_command, error) ||
        !ReadAs(ini, kFaults, "BridgeFailCode", 63, &f.fail_code, error) ||
        !ReadNumber(ini, kFaults, "BridgeFailSkip", 0x7FFFFFFF, &f.fail_skip, error) ||
        !ReadNumber(ini, kFaults, "BridgeNoStart", 1, &no_start, error) ||
        !ReadNumber(ini, kFaults, "BridgeBusy", 1, &busy, error) ||
        !ReadNumber(ini, kFaults, "BridgeFailProgram", 1, &program, error) ||
        !ReadNumber(ini, kFaults, "BridgeFailAddress", kBridgeFlashSize - 1, &f.fail_address,
                    error))
        return false;
    if (t.i2c_khz == 0) {
        *error = "Bridge.I2cKhz must not be 0";
        return false;
    }
    const std::string signature = ini.GetValue(kBridge, "Signature", "io");
    if (signature != "io" && signature != "sim") {
        *error = "Bridge.Signature must be io or sim";
        return false;
    }
    present = present_flag != 0;
    complete = complete_flag != 0;
    simulation_signature = signature == "sim";
    f.stays_busy = busy != 0;
    f.no_start = no_start != 0;
    f.fail_program = program != 0;
    return true;
}

void BridgeSettings::Save(CIniFile* ini) const {
    ini->SetValueI(kBridge, "Present", present);
    if (!present) return;
    ini->SetValue(kBridge, "Signature", simulation_signature ? "sim" : "io");
    ini->SetValueI(kBridge, "Complete", complete);
    ini->SetValue(kBridge, "FlashStatus", Hex(flash_status, 2));
    ini->SetValue(kBridge, "RomVersion", Hex(rom_version, 8));
    const BridgeTiming& t = timing;
    ini->SetValueI(kBridge, "I2cKhz", static_cast<int32_t>(t.i2c_khz));
    ini->SetValueI(kBridge, "CommandUs", static_cast<int32_t>(t.command_us));
    ini->SetValueI(kBridge, "PageProgramUs", static_cast<int32_t>(t.page_program_us));
    ini->SetValueI(kBridge, "ChipEraseMs", static_cast<int32_t>(t.chip_erase_ms));
    ini->SetValueI(kBridge, "SectorEraseMs", static_cast<int32_t>(t.sector_erase_ms));
    ini->SetValueI(kBridge, "StatusWriteMs", static_cast<int32_t>(t.status_write_ms));
    ini->SetValueI(kBridge, "ReadNsPerByte", static_cast<int32_t>(t.read_ns_per_byte));
    ini->SetValueI(kBridge, "ResetDelayUs", static_cast<int32_t>(t.reset_delay_us));
    ini->SetValueI(kBridge, "BootMs", static_cast<int32_t>(t.boot_ms));
    const BridgeFaults& f = faults;
    ini->SetValue(kFaults, "BridgeFailCommand", Hex(f.fail_command, 4));
    ini->SetValueI(kFaults, "BridgeFailCode", f.fail_code);
    ini->SetValueI(kFaults, "BridgeFailSkip", static_cast<int32_t>(f.fail_skip));
    ini->SetValueI(kFaults, "BridgeNoStart", f.no_start);
    ini->SetValueI(kFaults, "BridgeBusy", f.stays_busy);
    ini->SetValueI(kFaults, "BridgeFailProgram", f.fail_program);
    ini->SetValue(kFaults, "BridgeFailAddress", Hex(f.fail_address, 5));
}

}  // namespace orbisk::sim
