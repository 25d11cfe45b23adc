#include "sim/sim_settings.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace orbisk::sim {

namespace {

const std::vector<ChipProfile> kProfiles = {
    // name       fe21  fe22  idx config   tag      size     chip    wp enable/level/mask
    {"ORV6363", 0x10, 0xC0, 22, 0xAE00, 0x0FFE, 0x20000, 0x6363, 0xFEA0, 0xFEA6, 0x01},
    {"ORV7507", 0x00, 0xD0, 12, 0xEE00, 0xEFFE, 0x10000, 0x7507, 0xFEA1, 0xFEA7, 0x04},
    {"ORV6644", 0x01, 0x60, 10, 0x18000, 0x17FEE, 0x20000, 0x6644, 0xFEA0, 0xFEA6, 0x01},
    {"ORV6521", 0x10, 0x10, 15, 0xAE00, 0x1EFFE, 0x20000, 0x6521, 0xFEA0, 0xFEA6, 0x01},
    {"ORV7054", 0x10, 0x60, 18, 0xAE00, 0x0FFE, 0x20000, 0x7054, 0xFEA1, 0xFEA7, 0x04},
    {"ORV7192", 0x10, 0x90, 20, 0xAE00, 0x0FFE, 0x20000, 0x7192, 0xFEA0, 0xFEA6, 0x01},
    {"ORV7971", 0x20, 0x00, 25, 0xAE00, 0x0FFE, 0x20000, 0x7971, 0xFEA0, 0xFEA6, 0x01},
    // The OTP chip: configuration (and code) from offset 0, no tag.
    {"ORV6099", 0x10, 0x80, 19, 0x0000, 0x0000, 0x2000, 0x6099, 0xFEA0, 0xFEA6, 0x01},
    // A MIPI module: its controller reads no identity, its bridge keeps its own flash.
    {"ORV7608", 0xFF, 0xFF, 0xFF, 0xAE00, 0x0FFE, 0x20000, 0x7608, 0xFEA0, 0xFEA6, 0x01, true},
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

void LoadIdentity(const CIniFile& ini, const char* section, UsbIdentity* id) {
    id->vid = static_cast<uint16_t>(ini.GetValueI(section, "VID", id->vid));
    id->pid = static_cast<uint16_t>(ini.GetValueI(section, "PID", id->pid));
    id->rev = static_cast<uint16_t>(ini.GetValueI(section, "REV", id->rev));
    id->manufacturer = ini.GetValue(section, "Manufacturer", id->manufacturer);
    id->product = ini.GetValue(section, "Product", id->product);
    id->serial = ini.GetValue(section, "Serial", id->serial);
}

uint32_t GetU(const CIniFile& ini, const char* section, const char* key, uint32_t def) {
    return static_cast<uint32_t>(ini.GetValueI(section, key, static_cast<int32_t>(def)));
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
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0' || value < 0 || value > 0xFF) {
        *error = std::string(key) + " must be a byte (0 to 0xFF)";
        return false;
    }
    *out = static_cast<uint8_t>(value);
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
    return memory_size ? memory_size : Profile().memory_size;
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
    const std::string memory_text = ini.GetValue(kCamera, "Memory", "sf");
    if (memory_text == "sf")
        memory = MemoryKind::kSerialFlash;
    else if (memory_text == "nor")
        memory = MemoryKind::kNorFlash;
    else if (memory_text == "otp")
        memory = MemoryKind::kOtp;
    else {
        *error = "Memory must be sf, nor or otp";
        return false;
    }
    memory_size = GetU(ini, kCamera, "MemorySize", 0);
    if (MemorySize() < 0x1000 || MemorySize() > 0x1000000 || MemorySize() % 0x1000) {
        *error = "MemorySize must be a multiple of 4096 between 4 KB and 16 MB";
        return false;
    }
    if (memory == MemoryKind::kNorFlash && MemorySize() > 0x10000) {
        *error = "NOR flash is addressed with 16 bits: at most 64 KB";
        return false;
    }
    const std::string mode = ini.GetValue(kCamera, "Mode", "rom");
    if (mode != "rom" && mode != "app") {
        *error = "Mode must be rom or app";
        return false;
    }
    app_mode = mode == "app";
    flash_status = static_cast<uint8_t>(GetU(ini, kCamera, "FlashStatus", flash_status));
    rom_version = GetU(ini, kCamera, "RomVersion", rom_version);
    app_allows_flash_write = GetU(ini, kCamera, "AppAllowsFlashWrite", 0) != 0;
    max_data_size = static_cast<uint16_t>(GetU(ini, kCamera, "MaxDataSize", max_data_size));
    if (max_data_size < 8 || max_data_size > 4096) {
        *error = "MaxDataSize must lie between 8 and 4096";
        return false;
    }
    rear_camera = GetU(ini, kCamera, "RearCamera", 0) != 0;
    LoadIdentity(ini, kRom, &rom);
    LoadIdentity(ini, kRunning, &running);
    running_version = GetU(ini, kRunning, "Version", 0);

    bus = static_cast<uint8_t>(GetU(ini, kUsb, "Bus", bus));
    if (!ParsePorts(ini.GetValue(kUsb, "Ports", PortsText(ports)), &ports)) {
        *error = "Ports must be port numbers separated by dots, such as 1.4";
        return false;
    }
    speed = static_cast<uint8_t>(GetU(ini, kUsb, "Speed", speed));
    unit_id = static_cast<uint8_t>(GetU(ini, kUsb, "UnitId", unit_id));
    vc_interface = static_cast<uint8_t>(GetU(ini, kUsb, "Interface", vc_interface));
    second_unit = GetU(ini, kUsb, "SecondUnit", 0) != 0;
    entries = static_cast<uint8_t>(GetU(ini, kUsb, "Entries", entries));
    direct_access = GetU(ini, kUsb, "DirectAccess", 1) != 0;
    if (unit_id == 0 || entries < 1 || entries > 2 || speed < 1 || speed > 4) {
        *error = "UnitId must be non-zero, Entries 1 or 2, Speed 1 to 4";
        return false;
    }

    Timing& t = timing;
    t.transfer_us = GetU(ini, kTiming, "TransferUs", t.transfer_us);
    t.wire_ns_per_byte = GetU(ini, kTiming, "WireNsPerByte", t.wire_ns_per_byte);
    t.page_program_us = GetU(ini, kTiming, "PageProgramUs", t.page_program_us);
    t.chip_erase_ms = GetU(ini, kTiming, "ChipEraseMs", t.chip_erase_ms);
    t.sector_erase_ms = GetU(ini, kTiming, "SectorEraseMs", t.sector_erase_ms);
    t.status_write_ms = GetU(ini, kTiming, "StatusWriteMs", t.status_write_ms);
    t.reenumerate_ms = GetU(ini, kTiming, "ReenumerateMs", t.reenumerate_ms);

    Faults& f = faults;
    f.fail_transfer = GetU(ini, kFaults, "FailTransfer", 0);
    f.fail_from = GetU(ini, kFaults, "FailFrom", 0);
    f.fail_errno = ini.GetValue(kFaults, "FailErrno", f.fail_errno);
    if (f.fail_errno != "EPIPE" && f.fail_errno != "EIO" && f.fail_errno != "ETIMEDOUT") {
        *error = "FailErrno must be EPIPE, EIO or ETIMEDOUT";
        return false;
    }
    f.disconnect_at = GetU(ini, kFaults, "DisconnectAt", 0);
    f.stuck_bit = GetU(ini, kFaults, "StuckBit", 0) != 0;
    f.stuck_address = GetU(ini, kFaults, "StuckAddress", 0);
    f.stuck_mask = static_cast<uint8_t>(GetU(ini, kFaults, "StuckMask", 0x01));
    f.stuck_value = GetU(ini, kFaults, "StuckValue", 0) != 0;
    f.drop_write = GetU(ini, kFaults, "DropWrite", 0);
    f.drop_all_writes = GetU(ini, kFaults, "DropAllWrites", 0) != 0;
    f.busy_stuck = GetU(ini, kFaults, "BusyStuck", 0) != 0;
    f.bad_qualify = GetU(ini, kFaults, "BadQualify", 0) != 0;
    f.no_return = GetU(ini, kFaults, "NoReturn", 0) != 0;

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
    if (!ParseOtpWeak(ini.GetValue(kFaults, "OtpWeak"), &f.otp_weak)) {
        *error = "OtpWeak must be ADDRESS:MASK items below 0x4000, separated by commas";
        return false;
    }
    f.otp_locked = GetU(ini, kFaults, "OtpLocked", 0) != 0;
    f.otp_false_report = GetU(ini, kFaults, "OtpFalseReport", 0);
    return true;
}

void SimSettings::Save(CIniFile* ini) const {
    ini->SetValue(kCamera, "Profile", profile);
    // Written only when set, so that a change of profile brings that chip's identity.
    ini->SetValue(kCamera, "ChipIdFE21", chip_id_fe21 ? Hex(*chip_id_fe21, 2) : "");
    ini->SetValue(kCamera, "ChipIdFE22", chip_id_fe22 ? Hex(*chip_id_fe22, 2) : "");
    ini->SetValue(kCamera, "Generation", GenerationName(generation));
    ini->SetValue(kCamera, "Memory",
                  memory == MemoryKind::kNorFlash ? "nor"
                  : memory == MemoryKind::kOtp    ? "otp"
                                                  : "sf");
    ini->SetValue(kCamera, "MemorySize", Hex(MemorySize(), 5));
    ini->SetValue(kCamera, "Mode", app_mode ? "app" : "rom");
    ini->SetValue(kCamera, "FlashStatus", Hex(flash_status, 2));
    ini->SetValue(kCamera, "RomVersion", Hex(rom_version, 8));
    ini->SetValueI(kCamera, "AppAllowsFlashWrite", app_allows_flash_write);
    ini->SetValueI(kCamera, "MaxDataSize", max_data_size);
    ini->SetValueI(kCamera, "RearCamera", rear_camera);
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
        char* end = nullptr;
        const std::string address_text = item.substr(0, colon);
        const unsigned long address = std::strtoul(address_text.c_str(), &end, 0);
        if (*end != '\0' || colon == 0 || address >= 0x4000) return false;
        const std::string mask_text = item.substr(colon + 1);
        const unsigned long mask = std::strtoul(mask_text.c_str(), &end, 0);
        if (*end != '\0' || mask_text.empty() || mask == 0 || mask > 0xFF) return false;
        out->emplace_back(static_cast<uint16_t>(address), static_cast<uint8_t>(mask));
    }
    return true;
}

}  // namespace orbisk::sim
