#include "sim/sim_settings.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "sim/sim_ini_reader.h"

namespace orbisk::sim {

namespace {

// The write-protect pin follows the chip's family: the plain GPIO 0 pin (chip ids 0xC010,
// 0x6000, 0x1010), both GPIO 1 bits 2 and 3 (0x6010, 0x9010), GPIO 1 bit 2 (0xD000), GPIO 0
// routed through 0xFF9C (0x0020). Only the 0x6000 and 0x1010 chips stay in their boot ROM
// (and the EEPROM chip 0x3000) without the boot-select register; the 0xD000 chip needs its boot
// strap as well.
constexpr ResetNeeds kSelect{true, false};
constexpr ResetNeeds kSelectAndStrap{true, true};
constexpr ResetNeeds kNone{false, false};
const std::vector<ChipProfile> kProfiles = {
    // name    fe21  fe22  idx config   tag      size     chip    pin              reset
    {"ORV6363", 0x10, 0xC0, 22, 0xAE00, 0x0FFE, 0x20000, 0x6363, kPinGpio0, kSelect},
    {"ORV7507", 0x00, 0xD0, 12, 0xEE00, 0xEFFE, 0x10000, 0x7507, kPinGpio1, kSelectAndStrap},
    {"ORV6644", 0x01, 0x60, 10, 0x18000, 0x17FEE, 0x20000, 0x6644, kPinGpio0, kNone},
    {"ORV6521", 0x10, 0x10, 15, 0xAE00, 0x1EFFE, 0x20000, 0x6521, kPinGpio0, kNone},
    {"ORV7054", 0x10, 0x60, 18, 0xAE00, 0x0FFE, 0x20000, 0x7054, kPinGpio1Pair, kSelect},
    {"ORV7192", 0x10, 0x90, 20, 0xAE00, 0x0FFE, 0x20000, 0x7192, kPinGpio1Pair, kSelect},
    {"ORV7971", 0x20, 0x00, 25, 0xAE00, 0x0FFE, 0x20000, 0x7971, kPinGpio0Routed, kSelect},
    // The OTP chip: configuration (and code) from offset 0, no tag.
    {"ORV6099", 0x10, 0x80, 19, 0x0000, 0x0000, 0x2000, 0x6099, kPinGpio0, kSelect},
    // An EEPROM chip: the configuration area from offset 0 is the whole image.
    {"ORV6987", 0x00, 0x30, 3, 0x0000, 0x0000, 0x2000, 0x6987, kPinGpio0, kNone},
    // A MIPI module: its controller reads no identity, its bridge keeps its own flash.
    {"ORV7608", 0xFF, 0xFF, 0xFF, 0xAE00, 0x0FFE, 0x20000, 0x7608, kPinGpio0, kNone, true},
};

const char* kCamera = "Camera";
const char* kRom = "Rom";
const char* kRunning = "Running";
const char* kUsb = "Usb";
const char* kTiming = "Timing";
const char* kFaults = "Faults";

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

void SaveIdentity(CIniFile* ini, const char* section, const UsbIdentity& id) {
    ini->SetValue(section, "VID", Hex(id.vid, 4));
    ini->SetValue(section, "PID", Hex(id.pid, 4));
    ini->SetValue(section, "REV", Hex(id.rev, 4));
    ini->SetValue(section, "Manufacturer", id.manufacturer);
    ini->SetValue(section, "Product", id.product);
    ini->SetValue(section, "Serial", id.serial);
}

void LoadIdentity(const CIniFile& ini, SettingsReader& read, const char* section, UsbIdentity* id) {
    read.Number(section, "VID", 0, 0xFFFF, &id->vid);
    read.Number(section, "PID", 0, 0xFFFF, &id->pid);
    read.Number(section, "REV", 0, 0xFFFF, &id->rev);
    id->manufacturer = ini.GetValue(section, "Manufacturer", id->manufacturer);
    id->product = ini.GetValue(section, "Product", id->product);
    id->serial = ini.GetValue(section, "Serial", id->serial);
}

// An optional byte: absent or empty keeps it unset; anything else must be 0 to 0xFF.
bool LoadByte(const CIniFile& ini, const char* key, std::optional<uint8_t>* out,
              std::string* error) {
    const std::string text = ini.GetValue(kCamera, key);
    if (text.empty()) {
        out->reset();
        return true;
    }
    // The whole text must be the number: a typo must not turn into a plausible identity.
    const std::optional<uint64_t> value = ParseWholeNumber(text);
    if (!value || *value > 0xFF) {
        *error = std::string(key) + " must be a byte (0 to 0xFF)";
        return false;
    }
    *out = static_cast<uint8_t>(*value);
    return true;
}

}  // namespace

const char* GenerationName(Generation generation) {
    switch (generation) {
        case Generation::kVendorV1:
            return "v1";
        case Generation::kVendorV2:
            return "v2";
        default:
            return "xu";
    }
}

bool ParseGeneration(const std::string& text, Generation* out) {
    if (text == "xu")
        *out = Generation::kExtensionUnit;
    else if (text == "v1")
        *out = Generation::kVendorV1;
    else if (text == "v2")
        *out = Generation::kVendorV2;
    else
        return false;
    return true;
}

namespace {
struct MemoryKindRow {
    MemoryKind kind;
    const char* name;
};
constexpr MemoryKindRow kMemoryKinds[] = {
    {MemoryKind::kSerialFlash, "sf"},    {MemoryKind::kNorFlash, "nor"},
    {MemoryKind::kOtp, "otp"},           {MemoryKind::kEeprom8, "eeprom8"},
    {MemoryKind::kEeprom16, "eeprom16"}, {MemoryKind::kMtp, "mtp"},
};
}  // namespace

const char* MemoryKindName(MemoryKind kind) {
    for (const MemoryKindRow& row : kMemoryKinds)
        if (row.kind == kind) return row.name;
    return "sf";
}

bool ParseMemoryKind(const std::string& text, MemoryKind* out) {
    for (const MemoryKindRow& row : kMemoryKinds) {
        if (text == row.name) {
            *out = row.kind;
            return true;
        }
    }
    return false;
}

const std::vector<ChipProfile>& Profiles() {
    return kProfiles;
}

const ChipProfile* FindProfile(const std::string& name) {
    for (const ChipProfile& profile : kProfiles)
        if (name == profile.name) return &profile;
    return nullptr;
}

const ChipProfile& SimSettings::Profile() const {
    const ChipProfile* found = FindProfile(profile);
    return found ? *found : kProfiles.front();
}

uint32_t SimSettings::MemorySize() const {
    if (memory == MemoryKind::kOtp) return 0x4000;
    if (memory_size) return memory_size;
    // An 8 KB EEPROM (as the EEPROM chips' profiles declare), a 64 KB MTP.
    if (memory == MemoryKind::kEeprom8 || memory == MemoryKind::kEeprom16) return 0x2000;
    if (memory == MemoryKind::kMtp) return 0x10000;
    return Profile().memory_size;
}

UsbIdentity SimSettings::DefaultRomIdentity(const ChipProfile& profile) {
    UsbIdentity id;
    id.vid = 0x2C7E;
    id.pid = static_cast<uint16_t>(0xB000 | profile.chip_model_index);
    id.rev = 0x0100;
    id.manufacturer = "Camera Controller";
    id.product = "USB Boot Device";
    return id;
}

std::string PortsText(const std::vector<uint8_t>& ports) {
    std::string text;
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i) text += '.';
        text += std::to_string(ports[i]);
    }
    return text;
}

bool ParsePorts(const std::string& text, std::vector<uint8_t>* out) {
    std::vector<uint8_t> ports;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, '.')) {
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const int port = std::stoi(part);
        if (port < 1 || port > 255) return false;
        ports.push_back(static_cast<uint8_t>(port));
    }
    if (ports.empty() || ports.size() > 7) return false;
    *out = ports;
    return true;
}

bool SimSettings::Load(const CIniFile& ini, std::string* error) {
    profile = ini.GetValue(kCamera, "Profile", profile);
    if (!FindProfile(profile)) {
        *error = "unknown profile \"" + profile + "\"";
        return false;
    }
    rom = DefaultRomIdentity(Profile());
    if (!LoadByte(ini, "ChipIdFE21", &chip_id_fe21, error) ||
        !LoadByte(ini, "ChipIdFE22", &chip_id_fe22, error))
        return false;
    if (!ParseGeneration(ini.GetValue(kCamera, "Generation", GenerationName(generation)),
                         &generation)) {
        *error = "Generation must be xu, v1 or v2";
        return false;
    }
    if (!ParseMemoryKind(ini.GetValue(kCamera, "Memory", "sf"), &memory)) {
        *error = "Memory must be sf, nor, otp, eeprom8, eeprom16 or mtp";
        return false;
    }
    const std::string mode = ini.GetValue(kCamera, "Mode", "rom");
    if (mode != "rom" && mode != "app") {
        *error = "Mode must be rom or app";
        return false;
    }
    app_mode = mode == "app";

    // Every figure is checked when it is read: a negative or overflowing one is refused with
    // its key named, never wrapped into a plausible value.
    SettingsReader read(ini);
    read.Number(kCamera, "MemorySize", 0, 0xFFFFFFFF, &memory_size);
    const uint32_t size = MemorySize();
    if (memory == MemoryKind::kEeprom8 || memory == MemoryKind::kEeprom16) {
        // I2C EEPROMs come in powers of two; the controller addresses at most 64 KB of them.
        read.Require(size >= 0x100 && size <= 0x10000 && (size & (size - 1)) == 0,
                     "an EEPROM's MemorySize is a power of two from 256 bytes to 64 KB");
    } else if (memory == MemoryKind::kMtp) {
        // The vendor requests address 20 bits.
        read.Require(size >= 0x1000 && size <= 0x100000 && size % 0x1000 == 0,
                     "an MTP's MemorySize is a multiple of 4096 from 4 KB to 1 MB");
    } else {
        read.Require(size >= 0x1000 && size <= 0x1000000 && size % 0x1000 == 0,
                     "MemorySize must be a multiple of 4096 between 4 KB and 16 MB");
    }
    read.Require(memory != MemoryKind::kMtp || generation == Generation::kVendorV2,
                 "MTP is reached only through the second generation's vendor requests: "
                 "Generation must be v2");
    read.Number(kCamera, "WpGpio", 0, 1, &wp_gpio);
    read.Require(memory != MemoryKind::kNorFlash || MemorySize() <= 0x10000,
                 "NOR flash is addressed with 16 bits: at most 64 KB");
    read.Number(kCamera, "FlashStatus", 0, 0xFF, &flash_status);
    read.Require(memory == MemoryKind::kSerialFlash || flash_status == 0,
                 "FlashStatus belongs to serial flash: other memories have no status register");
    read.Number(kCamera, "RomVersion", 0, 0xFFFFFFFF, &rom_version);
    read.Flag(kCamera, "AppAllowsFlashWrite", &app_allows_flash_write);
    read.Number(kCamera, "MaxDataSize", 8, 4096, &max_data_size);
    read.Flag(kCamera, "RearCamera", &rear_camera);
    LoadIdentity(ini, read, kRom, &rom);
    LoadIdentity(ini, read, kRunning, &running);
    read.Number(kRunning, "Version", 0, 0xFFFFFFFF, &running_version);

    read.Number(kUsb, "Bus", 0, 0xFF, &bus);
    read.Require(ParsePorts(ini.GetValue(kUsb, "Ports", PortsText(ports)), &ports),
                 "Ports must be port numbers separated by dots, such as 1.4");
    read.Number(kUsb, "Speed", 1, 4, &speed);
    read.Number(kUsb, "UnitId", 1, 0xFF, &unit_id);
    read.Number(kUsb, "Interface", 0, 0xFF, &vc_interface);
    read.Flag(kUsb, "SecondUnit", &second_unit);
    read.Number(kUsb, "Entries", 1, 2, &entries);
    read.Flag(kUsb, "DirectAccess", &direct_access);

    Timing& t = timing;
    for (auto [key, field] : {std::pair{"TransferUs", &t.transfer_us},
                              {"WireNsPerByte", &t.wire_ns_per_byte},
                              {"PageProgramUs", &t.page_program_us},
                              {"ChipEraseMs", &t.chip_erase_ms},
                              {"SectorEraseMs", &t.sector_erase_ms},
                              {"StatusWriteMs", &t.status_write_ms},
                              {"ReenumerateMs", &t.reenumerate_ms},
                              {"EepromWriteUs", &t.eeprom_write_us},
                              {"MtpRowProgramUs", &t.mtp_row_program_us}})
        read.Number(kTiming, key, 0, 0xFFFFFFFF, field);
    read.Number(kTiming, "EepromI2cKhz", 10, 3400, &t.eeprom_i2c_khz);

    Faults& f = faults;
    for (auto [key, field] : {std::pair{"FailTransfer", &f.fail_transfer},
                              {"FailFrom", &f.fail_from},
                              {"DisconnectAt", &f.disconnect_at},
                              {"DropWrite", &f.drop_write}})
        read.Number(kFaults, key, 0, 0xFFFFFFFF, field);
    f.fail_errno = ini.GetValue(kFaults, "FailErrno", f.fail_errno);
    read.Require(f.fail_errno == "EPIPE" || f.fail_errno == "EIO" || f.fail_errno == "ETIMEDOUT",
                 "FailErrno must be EPIPE, EIO or ETIMEDOUT");
    for (auto [key, field] : {std::pair{"StuckBit", &f.stuck_bit},
                              {"StuckValue", &f.stuck_value},
                              {"DropAllWrites", &f.drop_all_writes},
                              {"BusyStuck", &f.busy_stuck},
                              {"BadQualify", &f.bad_qualify},
                              {"NoReturn", &f.no_return}})
        read.Flag(kFaults, key, field);
    read.Number(kFaults, "StuckAddress", 0, 0xFFFFFFFF, &f.stuck_address);
    read.Number(kFaults, "StuckMask", 0, 0xFF, &f.stuck_mask);
    read.Require(!f.stuck_bit || (f.stuck_mask != 0 && f.stuck_address < MemorySize()),
                 "a stuck bit needs a StuckMask and a StuckAddress inside the memory");
    read.Require(ParseOtpWeak(ini.GetValue(kFaults, "OtpWeak"), &f.otp_weak),
                 "OtpWeak must be ADDRESS:MASK items below 0x4000, separated by commas");
    read.Flag(kFaults, "OtpLocked", &f.otp_locked);
    read.Number(kFaults, "OtpFalseReport", 0, 0xFFFFFFFF, &f.otp_false_report);
    if (!read.ok()) {
        *error = read.error();
        return false;
    }

    if (!bridge.Load(ini, error)) return false;
    if (bridge.present && !Profile().bridge) {
        *error = "profile " + profile + " has no MIPI bridge (ORV7608 has)";
        return false;
    }
    if (bridge.present && generation == Generation::kVendorV2) {
        // Status bytes 24-31 carry either the bridge's signature or the second generation's.
        *error = "a camera with a MIPI bridge answers xu or v1, not v2";
        return false;
    }
    return true;
}

void SimSettings::Save(CIniFile* ini) const {
    ini->SetValue(kCamera, "Profile", profile);
    // Written only when set, so that a change of profile brings that chip's identity.
    ini->SetValue(kCamera, "ChipIdFE21", chip_id_fe21 ? Hex(*chip_id_fe21, 2) : "");
    ini->SetValue(kCamera, "ChipIdFE22", chip_id_fe22 ? Hex(*chip_id_fe22, 2) : "");
    ini->SetValue(kCamera, "Generation", GenerationName(generation));
    ini->SetValue(kCamera, "Memory", MemoryKindName(memory));
    ini->SetValue(kCamera, "MemorySize", Hex(MemorySize(), 5));
    ini->SetValue(kCamera, "Mode", app_mode ? "app" : "rom");
    ini->SetValue(kCamera, "FlashStatus", Hex(flash_status, 2));
    ini->SetValue(kCamera, "RomVersion", Hex(rom_version, 8));
    ini->SetValueI(kCamera, "AppAllowsFlashWrite", app_allows_flash_write);
    ini->SetValueI(kCamera, "MaxDataSize", max_data_size);
    ini->SetValueI(kCamera, "RearCamera", rear_camera);
    ini->SetValueI(kCamera, "WpGpio", wp_gpio);
    SaveIdentity(ini, kRom, rom);
    SaveIdentity(ini, kRunning, running);
    ini->SetValue(kRunning, "Version", Hex(running_version, 8));

    ini->SetValueI(kUsb, "Bus", bus);
    ini->SetValue(kUsb, "Ports", PortsText(ports));
    ini->SetValueI(kUsb, "Speed", speed);
    ini->SetValueI(kUsb, "UnitId", unit_id);
    ini->SetValueI(kUsb, "Interface", vc_interface);
    ini->SetValueI(kUsb, "SecondUnit", second_unit);
    ini->SetValueI(kUsb, "Entries", entries);
    ini->SetValueI(kUsb, "DirectAccess", direct_access);

    const Timing& t = timing;
    ini->SetValueI(kTiming, "TransferUs", static_cast<int32_t>(t.transfer_us));
    ini->SetValueI(kTiming, "WireNsPerByte", static_cast<int32_t>(t.wire_ns_per_byte));
    ini->SetValueI(kTiming, "PageProgramUs", static_cast<int32_t>(t.page_program_us));
    ini->SetValueI(kTiming, "ChipEraseMs", static_cast<int32_t>(t.chip_erase_ms));
    ini->SetValueI(kTiming, "SectorEraseMs", static_cast<int32_t>(t.sector_erase_ms));
    ini->SetValueI(kTiming, "StatusWriteMs", static_cast<int32_t>(t.status_write_ms));
    ini->SetValueI(kTiming, "ReenumerateMs", static_cast<int32_t>(t.reenumerate_ms));
    ini->SetValueI(kTiming, "EepromI2cKhz", static_cast<int32_t>(t.eeprom_i2c_khz));
    ini->SetValueI(kTiming, "EepromWriteUs", static_cast<int32_t>(t.eeprom_write_us));
    ini->SetValueI(kTiming, "MtpRowProgramUs", static_cast<int32_t>(t.mtp_row_program_us));

    const Faults& f = faults;
    ini->SetValueI(kFaults, "FailTransfer", static_cast<int32_t>(f.fail_transfer));
    ini->SetValueI(kFaults, "FailFrom", static_cast<int32_t>(f.fail_from));
    ini->SetValue(kFaults, "FailErrno", f.fail_errno);
    ini->SetValueI(kFaults, "DisconnectAt", static_cast<int32_t>(f.disconnect_at));
    ini->SetValueI(kFaults, "StuckBit", f.stuck_bit);
    ini->SetValue(kFaults, "StuckAddress", Hex(f.stuck_address, 5));
    ini->SetValue(kFaults, "StuckMask", Hex(f.stuck_mask, 2));
    ini->SetValueI(kFaults, "StuckValue", f.stuck_value);
    ini->SetValueI(kFaults, "DropWrite", static_cast<int32_t>(f.drop_write));
    ini->SetValueI(kFaults, "DropAllWrites", f.drop_all_writes);
    ini->SetValueI(kFaults, "BusyStuck", f.busy_stuck);
    ini->SetValueI(kFaults, "BadQualify", f.bad_qualify);
    ini->SetValueI(kFaults, "NoReturn", f.no_return);
    bridge.Save(ini);
    ini->SetValue(kFaults, "OtpWeak", OtpWeakText(f.otp_weak));
    ini->SetValueI(kFaults, "OtpLocked", f.otp_locked);
    ini->SetValueI(kFaults, "OtpFalseReport", static_cast<int32_t>(f.otp_false_report));
}

std::string OtpWeakText(const std::vector<std::pair<uint16_t, uint8_t>>& weak) {
    std::string text;
    for (const auto& [address, mask] : weak) {
        if (!text.empty()) text += ',';
        text += Hex(address, 4) + ":" + Hex(mask, 2);
    }
    return text;
}

bool ParseOtpWeak(const std::string& text, std::vector<std::pair<uint16_t, uint8_t>>* out) {
    out->clear();
    if (text.empty() || text == "0") return true;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const size_t colon = item.find(':');
        if (colon == std::string::npos) return false;
        const std::optional<uint64_t> address = ParseWholeNumber(item.substr(0, colon));
        const std::optional<uint64_t> mask = ParseWholeNumber(item.substr(colon + 1));
        if (!address || *address >= 0x4000 || !mask || *mask == 0 || *mask > 0xFF) return false;
        out->emplace_back(static_cast<uint16_t>(*address), static_cast<uint8_t>(*mask));
    }
    return true;
}

}  // namespace orbisk::sim
