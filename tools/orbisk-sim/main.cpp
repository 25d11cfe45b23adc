// orbisk-sim: sets up simulated cameras in folders, inspects them, and plugs them in and out.
//   orbisk-sim create DIR [options]   orbisk-sim show DIR [--json]
//   orbisk-sim fault DIR [options]    orbisk-sim set DIR Section.Key=value ...
//   orbisk-sim unplug DIR             orbisk-sim plug DIR
//   orbisk-sim serve DIR --listen ADDRESS [options]
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/ini_file.h"
#include "sim/sha256.h"
#include "sim/sim_image.h"
#include "sim/sim_otp.h"
#include "sim/sim_store.h"
#include "tool.h"

namespace orbisk::sim::tool {
namespace {

struct CommandHelp {
    const char* name;
    const char* usage;
};

const CommandHelp kCommands[] = {
    {"create",
     "  orbisk-sim create DIR [--profile P] [--vid N] [--pid N] [--rev N] [--manufacturer TEXT]\n"
     "                        [--product TEXT] [--serial TEXT] [--generation xu|v1|v2]\n"
     "                        [--image FILE] [--mode rom|app]\n"
     "                        [--memory sf|nor|otp|eeprom8|eeprom16|mtp]\n"
     "                        [--memory-size N] [--bus N] [--ports A.B...] [--protected yes|no]\n"
     "                        [--force] [--bridge [--bridge-image FILE]]\n"
     "      a new camera folder; without --ports it takes the lowest port on its bus that no\n"
     "      camera folder beside it uses; a camera running an image is locked (--protected)\n"
     "      as an update leaves it; --bridge (profile ORV7608) adds the MIPI bridge with its\n"
     "      own flash, blank or holding FILE (which it then runs)\n"},
    {"show",
     "  orbisk-sim show DIR [--json]\n"
     "      identity, mode, version, port, cable and memory of the camera\n"},
    {"fault",
     "  orbisk-sim fault DIR [--clear] [--fail-transfer N] [--fail-from N]\n"
     "                       [--fail-errno EPIPE|EIO|ETIMEDOUT] [--disconnect-at N]\n"
     "                       [--stuck-bit ADDRESS:MASK:VALUE] [--drop-write N]\n"
     "                       [--drop-all-writes] [--busy-stuck] [--bad-qualify] [--no-return]\n"
     "                       [--bridge-fail-command 0xGGSS] [--bridge-fail-code N]\n"
     "                       [--bridge-fail-skip N] [--bridge-fail-program ADDRESS]\n"
     "                       [--bridge-busy] [--bridge-no-start]\n"
     "                       [--otp-weak ADDRESS:MASK]... [--otp-locked] [--otp-false-report N]\n"
     "      injects faults (--clear first switches them all off)\n"},
    {"set",
     "  orbisk-sim set DIR Section.Key=VALUE ...\n"
     "      changes keys of camera.ini, checked as orbisk reads them\n"},
    {"unplug",
     "  orbisk-sim unplug DIR\n"
     "      pulls the camera's cable: a running orbisk sees it leave and writes it back; returns\n"
     "      once it has\n"},
    {"plug",
     "  orbisk-sim plug DIR\n"
     "      plugs the camera in again: a running orbisk sees it arrive with what DIR holds\n"},
    {"serve",
     "  orbisk-sim serve DIR --listen ADDRESS [--split N] [--fault short|status|close|silent]\n"
     "                       [--fault-at N]\n"
     "      the camera as an IP camera on port 6666 of ADDRESS until SIGINT or SIGTERM\n"},
};

std::string UsageText(const std::string& command) {
    std::string text = "usage:\n";
    if (command.empty())
        text += "  orbisk-sim [COMMAND] --help\n      this text, or one command's\n";
    for (const CommandHelp& help : kCommands)
        if (command.empty() || command == help.name) text += help.usage;
    if (command.empty())
        text += "exit codes: 0 done, 1 refused (reason on stderr), 2 usage error\n";
    return text;
}

bool KnownCommand(const std::string& command) {
    return std::any_of(std::begin(kCommands), std::end(kCommands),
                       [&](const CommandHelp& help) { return command == help.name; });
}

bool ParseNumber(const std::string& text, uint32_t max, uint32_t* out) {
    if (text.empty() || text[0] == '-') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (errno || *end || value > max) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

// Options: "--name value" pairs and bare flags, after the command and its folder.
struct Options {
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
    std::vector<std::string> rest;
};

bool ParseOptions(int argc, char** argv, const std::vector<std::string>& with_value,
                  const std::vector<std::string>& flags, Options* out, std::string* error) {
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            out->rest.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
            out->flags[name] = true;
        } else if (std::find(with_value.begin(), with_value.end(), name) != with_value.end()) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            out->values[name] = argv[++i];
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

// A firmware file for a memory of `capacity` bytes.
bool ReadImageFile(const std::string& path, size_t capacity, std::vector<uint8_t>* out,
                   std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        *error = "cannot read image " + path;
        return false;
    }
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (out->size() > capacity) {
        *error = path + " holds " + std::to_string(out->size()) +
                 " bytes, more than the memory of " + std::to_string(capacity) + " bytes";
        return false;
    }
    return true;
}

int Create(const std::string& dir, int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(
            argc, argv,
            {"profile", "vid", "pid", "rev", "manufacturer", "product", "serial", "generation",
             "image", "mode", "memory", "memory-size", "bus", "ports", "protected", "bridge-image"},
            {"force", "bridge"}, &options, &error))
        return Usage(error, "create");
    if (!options.rest.empty())
        return Usage("unexpected argument " + options.rest.front(), "create");
    if (std::filesystem::exists(std::filesystem::path(dir) / kSettingsFile) &&
        !options.flags["force"])
        return Fail(dir + " already holds a camera; add --force to replace it");

    // Build the settings through the same reader the tool uses, so both check alike.
    CIniFile ini;
    auto put = [&](const char* section, const char* key, const char* option) {
        if (options.values.count(option)) ini.SetValue(section, key, options.values[option]);
    };
    put("Camera", "Profile", "profile");
    // An OTP camera is the OTP chip unless told otherwise, an EEPROM or MTP camera the EEPROM
    // chip ORV6987; MTP is reached only through the second generation's vendor requests.
    const std::string memory_name = options.values.count("memory") ? options.values["memory"] : "";
    MemoryKind kind = MemoryKind::kSerialFlash;
    const bool byte_memory = ParseMemoryKind(memory_name, &kind) && IsByteMemory(kind);
    if (!options.values.count("profile") && (memory_name == "otp" || byte_memory))
        ini.SetValue("Camera", "Profile", memory_name == "otp" ? "ORV6099" : "ORV6987");
    if (kind == MemoryKind::kMtp) ini.SetValue("Camera", "Generation", "v2");
    put("Camera", "Generation", "generation");
    put("Camera", "Memory", "memory");
    put("Camera", "MemorySize", "memory-size");
    put("Usb", "Bus", "bus");
    put("Usb", "Ports", "ports");
    if (options.values.count("bridge-image") && !options.flags["bridge"])
        return Usage("--bridge-image goes with --bridge", "create");
    if (options.flags["bridge"]) ini.SetValue("Bridge", "Present", "1");
    SimSettings settings;
    if (!settings.Load(ini, &error)) return Fail(error);
    // Several cameras made in one folder go on one bus together (ORBISK_SIM=a:b:c).
    if (!options.values.count("ports")) {
        settings.ports = FreePortBeside(dir, settings.bus);
        if (settings.ports.empty())
            return Fail("every port of bus " + std::to_string(settings.bus) +
                        " is taken by the cameras beside " + dir + "; give --bus or --ports");
    }
    for (const char* key : {"vid", "pid", "rev"}) {
        if (!options.values.count(key)) continue;
        uint32_t value = 0;
        if (!ParseNumber(options.values[key], 0xFFFF, &value))
            return Fail(std::string("--") + key + " must be a number from 0 to 0xFFFF");
        uint16_t& field = key[0] == 'v'   ? settings.rom.vid
                          : key[0] == 'p' ? settings.rom.pid
                                          : settings.rom.rev;
        field = static_cast<uint16_t>(value);
    }
    if (options.values.count("manufacturer"))
        settings.rom.manufacturer = options.values["manufacturer"];
    if (options.values.count("product")) settings.rom.product = options.values["product"];
    if (options.values.count("serial")) settings.rom.serial = options.values["serial"];

    std::vector<uint8_t> memory;
    if (options.values.count("image") &&
        !ReadImageFile(options.values["image"], settings.MemorySize(), &memory, &error))
        return Fail(error);
    ImageFacts facts;
    bool bootable = false;
    if (settings.memory == MemoryKind::kOtp) {
        // The image goes into the OTP as its factory writes it: code and configuration blocks.
        if (!memory.empty()) {
            memory = LayOutOtpImage(memory, &error);
            if (memory.empty()) return Fail(options.values["image"] + ": " + error);
        }
        memory.resize(settings.MemorySize(), 0x00);
        const OtpBoot boot = ReadOtpBoot(memory);
        facts = boot.facts;
        bootable = boot.bootable;
    } else if (IsByteMemory(settings.memory)) {
        memory.resize(settings.MemorySize(), 0xFF);
        facts = ReadByteMemoryFacts(memory);
        bootable = Bootable(facts);
    } else {
        memory.resize(settings.MemorySize(), 0xFF);
        const ChipProfile& profile = settings.Profile();
        facts = ReadImageFacts(memory, profile.config_address, profile.tag_address);
        bootable = Bootable(facts);
    }
    std::string mode = options.values.count("mode") ? options.values["mode"] : "";
    if (mode.empty()) mode = bootable ? "app" : "rom";
    if (mode != "rom" && mode != "app") return Fail("--mode must be rom or app");
    if (mode == "app" && !bootable)
        return Fail(
            "the memory holds no tagged image with an identity at the profile's "
            "addresses: the camera cannot run its application");
    settings.app_mode = mode == "app";
    // An updated camera's flash is locked as the update left it; a blank one is not.
    const bool serial_flash = settings.memory == MemoryKind::kSerialFlash;
    std::string protect = options.values.count("protected") ? options.values["protected"] : "";
    if (protect.empty()) protect = settings.app_mode && serial_flash ? "yes" : "no";
    if (protect != "yes" && protect != "no") return Fail("--protected must be yes or no");
    if (protect == "yes" && !serial_flash)
        return Fail("--protected yes needs serial flash: other memories have no status register");
    settings.flash_status = protect == "yes" ? kProtectedFlashStatus : 0x00;
    if (settings.app_mode) {
        settings.running = facts.identity;
        settings.running_version = facts.version();
    }
    std::vector<uint8_t> bridge_memory;
    if (options.values.count("bridge-image")) {
        if (!ReadImageFile(options.values["bridge-image"], kBridgeFlashSize, &bridge_memory,
                           &error))
            return Fail(error);
        // A bridge given its firmware runs it, as a module from the factory does.
        settings.bridge.complete = true;
    }
    if (!WriteCameraFolder(dir, settings, memory, &error, &bridge_memory)) return Fail(error);
    return 0;
}

// The bridge's firmware version as orbisk shows it: "0x%02X-%02X%02X-%02X%02X" of bytes 27,
// 30, 31, 4 and 5 of its information block.
std::string BridgeVersionText(const std::array<uint8_t, 32>& info) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%02X-%02X%02X-%02X%02X", info[27], info[30], info[31],
                  info[4], info[5]);
    return text;
}

int Show(const std::string& dir, int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, {}, {"json"}, &options, &error)) return Usage(error, "show");
    VirtualClock clock;
    auto camera = LoadCameraFolder(dir, clock, &error);
    if (!camera) return Fail(error);
    const SimSettings settings = camera->Settings();
    const UsbIdentity id = camera->CurrentIdentity();
    const bool app = camera->AppMode();
    const std::string version = VersionText(camera->StatusBlock());
    const std::vector<uint8_t> memory = camera->Memory();
    const std::string sha = Sha256Hex(memory);
    const bool otp = settings.memory == MemoryKind::kOtp;
    bool plugged = true;
    if (!ReadCable(dir, &plugged, &error)) return Fail(error);
    SimBridge* bridge = camera->bridge();
    const std::vector<uint8_t> bridge_memory = camera->BridgeMemory();
    const char* bridge_mode = camera->BridgeMode() == 2 ? "app" : "rom";
    const std::string bridge_version =
        bridge ? BridgeVersionText(bridge->Info(clock.now_us())) : std::string();
    if (options.flags["json"]) {
        std::string bridge_json, bridge_memory_json;
        if (bridge) {
            bridge_json = ", \"bridge_mode\": \"" + std::string(bridge_mode) +
                          "\", \"bridge_version\": \"" + bridge_version + "\"";
            bridge_memory_json =
                ", {\"name\": \"bridge\", \"size\": " + std::to_string(bridge_memory.size()) +
                ", \"sha256\": \"" + Sha256Hex(bridge_memory) + "\"}";
        }
        std::printf(
            "{\"vid\": \"%s\", \"pid\": \"%s\", \"rev\": \"%s\", \"manufacturer\": %s, "
            "\"product\": %s, \"serial\": %s, \"mode\": \"%s\", \"version\": \"%s\", "
            "\"profile\": \"%s\", \"generation\": \"%s\", \"bus\": %u, \"ports\": \"%s\", "
            "\"plugged\": %s%s, "
            "\"memories\": [{\"name\": \"%s\", \"size\": %zu, \"sha256\": \"%s\"}%s]}\n",
            Hex4(id.vid).c_str(), Hex4(id.pid).c_str(), Hex4(id.rev).c_str(),
            JsonText(id.manufacturer).c_str(), JsonText(id.product).c_str(),
            JsonText(id.serial).c_str(), app ? "app" : "rom", version.c_str(),
            settings.profile.c_str(), GenerationName(settings.generation), settings.bus,
            PortsText(settings.ports).c_str(), plugged ? "true" : "false", bridge_json.c_str(),
            MemoryJsonName(settings).c_str(), memory.size(), sha.c_str(),
            bridge_memory_json.c_str());
        return 0;
    }
    std::printf("camera:       %s (%s, %s)\n", dir.c_str(), settings.profile.c_str(),
                GenerationName(settings.generation));
    std::printf("mode:         %s\n", app ? "app" : "rom");
    std::printf("identity:     VID_%s&PID_%s&REV_%s\n", Hex4(id.vid).c_str(), Hex4(id.pid).c_str(),
                Hex4(id.rev).c_str());
    std::printf("manufacturer: %s\nproduct:      %s\nserial:       %s\n", id.manufacturer.c_str(),
                id.product.c_str(), id.serial.c_str());
    std::printf("version:      %s\n", version.c_str());
    std::printf("port:         bus %u, ports %s\n", settings.bus,
                PortsText(settings.ports).c_str());
    std::printf("cable:        %s\n", plugged ? "plugged" : "unplugged");
    if (IsByteMemory(settings.memory)) {
        std::printf("%-13s %s, %zu bytes, %s, sha256 %s\n",
                    (MemoryJsonName(settings) + ":").c_str(), MemoryKindName(settings.memory),
                    memory.size(), ReadByteMemoryFacts(memory).tagged ? "tagged" : "not tagged",
                    sha.c_str());
        return 0;
    }
    if (!otp) {
        std::printf("flash:        %zu bytes, status 0x%02X, sha256 %s\n", memory.size(),
                    settings.flash_status, sha.c_str());
        if (bridge)
            std::printf("bridge:       %s, version %s, flash %zu bytes, status 0x%02X, sha256 %s\n",
                        bridge_mode, bridge_version.c_str(), bridge_memory.size(),
                        settings.bridge.flash_status, Sha256Hex(bridge_memory).c_str());
        return 0;
    }
    std::printf("otp:          %zu bytes%s, sha256 %s\n", memory.size(),
                settings.faults.otp_locked ? ", locked" : "", sha.c_str());
    for (const std::string& line : DescribeOtpTables(memory))
        std::printf("              %s\n", line.c_str());
    return 0;
}

// Changes keys of the camera's INI file, checks the result as the tool would read it, and
// writes it only when it is valid.
int EditIni(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& edits,
            const std::vector<std::string>& clear_section) {
    const std::string path = (std::filesystem::path(dir) / kSettingsFile).string();
    CIniFile ini(path);
    if (!std::filesystem::is_regular_file(path) || !ini.ReadFile() || ini.LoadStoppedEarly())
        return Fail(dir + ": no simulated camera here (" + kSettingsFile + ")");
    for (const std::string& section : clear_section) {
        const int index = ini.FindSection(section);
        if (index < 0) continue;
        for (int key = 0; key < ini.KeyCount(index); ++key) {
            const std::string name = ini.KeyName(index, key);
            ini.SetValue(section, name, name == "FailErrno" ? "EPIPE" : "0");
        }
    }
    for (const auto& [key, value] : edits) {
        const size_t dot = key.find('.');
        if (dot == std::string::npos || dot == 0 || dot + 1 == key.size())
            return Fail("\"" + key + "\" is not Section.Key");
        ini.SetValue(key.substr(0, dot), key.substr(dot + 1), value);
    }
    SimSettings settings;
    std::string error;
    if (!settings.Load(ini, &error)) return Fail(error + "; nothing was changed");
    return ini.WriteFile() ? 0 : Fail("cannot write " + path);
}

int Fault(const std::string& dir, int argc, char** argv) {
    Options options;
    std::string error;
    const std::vector<std::string> numbers = {"fail-transfer", "fail-from", "disconnect-at",
                                              "drop-write"};
    std::vector<std::string> with_value = numbers;
    for (const char* name :
         {"fail-errno", "stuck-bit", "otp-weak", "otp-false-report", "bridge-fail-command",
          "bridge-fail-code", "bridge-fail-skip", "bridge-fail-program"})
        with_value.push_back(name);
    // --otp-weak may be given more than once: every one counts.
    std::string weak_list;
    for (int i = 3; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--otp-weak")
            weak_list += (weak_list.empty() ? "" : ",") + std::string(argv[++i]);
    if (!ParseOptions(argc, argv, with_value,
                      {"clear", "drop-all-writes", "busy-stuck", "bad-qualify", "no-return",
                       "otp-locked", "bridge-busy", "bridge-no-start"},
                      &options, &error))
        return Usage(error, "fault");
    if (!options.rest.empty()) return Usage("unexpected argument " + options.rest.front(), "fault");
    std::vector<std::pair<std::string, std::string>> edits;
    const std::map<std::string, std::string> keys = {
        {"fail-transfer", "FailTransfer"},    {"fail-from", "FailFrom"},
        {"disconnect-at", "DisconnectAt"},    {"drop-write", "DropWrite"},
        {"drop-all-writes", "DropAllWrites"}, {"busy-stuck", "BusyStuck"},
        {"bad-qualify", "BadQualify"},        {"no-return", "NoReturn"}};
    for (const std::string& name : numbers) {
        if (!options.values.count(name)) continue;
        uint32_t value = 0;
        if (!ParseNumber(options.values[name], 0x7FFFFFFF, &value))
            return Fail("--" + name + " must be a transfer or write number");
        edits.emplace_back("Faults." + keys.at(name), std::to_string(value));
    }
    for (const char* flag : {"drop-all-writes", "busy-stuck", "bad-qualify", "no-return"})
        if (options.flags[flag]) edits.emplace_back("Faults." + keys.at(flag), "1");
    if (options.values.count("fail-errno"))
        edits.emplace_back("Faults.FailErrno", options.values["fail-errno"]);
    if (options.values.count("stuck-bit")) {
        const std::string& recipe = options.values["stuck-bit"];
        const size_t first = recipe.find(':');
        const size_t second = first == std::string::npos ? first : recipe.find(':', first + 1);
        uint32_t address = 0, mask = 0, value = 0;
        if (second == std::string::npos ||
            !ParseNumber(recipe.substr(0, first), 0xFFFFFF, &address) ||
            !ParseNumber(recipe.substr(first + 1, second - first - 1), 0xFF, &mask) || mask == 0 ||
            !ParseNumber(recipe.substr(second + 1), 1, &value))
            return Fail("--stuck-bit takes ADDRESS:MASK:VALUE, for example 0x100:0x10:1");
        edits.emplace_back("Faults.StuckBit", "1");
        edits.emplace_back("Faults.StuckAddress", std::to_string(address));
        edits.emplace_back("Faults.StuckMask", std::to_string(mask));
        edits.emplace_back("Faults.StuckValue", std::to_string(value));
    }
    if (!weak_list.empty()) {
        std::vector<std::pair<uint16_t, uint8_t>> weak;
        if (!ParseOtpWeak(weak_list, &weak))
            return Fail("--otp-weak takes ADDRESS:MASK below 0x4000, for example 0x100:0x01");
        edits.emplace_back("Faults.OtpWeak", OtpWeakText(weak));
    }
    if (options.flags["otp-locked"]) edits.emplace_back("Faults.OtpLocked", "1");
    if (options.values.count("otp-false-report")) {
        uint32_t value = 0;
        if (!ParseNumber(options.values["otp-false-report"], 0x7FFFFFFF, &value))
            return Fail("--otp-false-report must be an OTP write number");
        edits.emplace_back("Faults.OtpFalseReport", std::to_string(value));
    }
    // The bridge's faults: checked with the rest when the folder is read back.
    if (options.values.count("bridge-fail-command"))
        edits.emplace_back("Faults.BridgeFailCommand", options.values["bridge-fail-command"]);
    if (options.values.count("bridge-fail-code"))
        edits.emplace_back("Faults.BridgeFailCode", options.values["bridge-fail-code"]);
    if (options.values.count("bridge-fail-skip"))
        edits.emplace_back("Faults.BridgeFailSkip", options.values["bridge-fail-skip"]);
    if (options.values.count("bridge-fail-program")) {
        edits.emplace_back("Faults.BridgeFailProgram", "1");
        edits.emplace_back("Faults.BridgeFailAddress", options.values["bridge-fail-program"]);
    }
    if (options.flags["bridge-busy"]) edits.emplace_back("Faults.BridgeBusy", "1");
    if (options.flags["bridge-no-start"]) edits.emplace_back("Faults.BridgeNoStart", "1");
    if (edits.empty() && !options.flags["clear"])
        return Usage("fault needs at least one option", "fault");
    std::vector<std::string> clear;
    if (options.flags["clear"]) clear.push_back("Faults");
    return EditIni(dir, edits, clear);
}

int Set(const std::string& dir, int argc, char** argv) {
    std::vector<std::pair<std::string, std::string>> edits;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t equals = arg.find('=');
        if (equals == std::string::npos)
            return Usage("\"" + arg + "\" is not Section.Key=VALUE", "set");
        edits.emplace_back(arg.substr(0, equals), arg.substr(equals + 1));
    }
    if (edits.empty()) return Usage("set needs at least one Section.Key=VALUE", "set");
    return EditIni(dir, edits, {});
}

}  // namespace

int Fail(const std::string& message) {
    std::fprintf(stderr, "orbisk-sim: %s\n", message.c_str());
    return 1;
}

int Usage(const std::string& message, const std::string& command) {
    std::fprintf(stderr, "orbisk-sim: %s\n%s", message.c_str(), UsageText(command).c_str());
    return 2;
}

int Run(int argc, char** argv) {
    auto asks_help = [](const char* arg) {
        return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0;
    };
    if (argc >= 2 && asks_help(argv[1])) {
        std::fputs(UsageText({}).c_str(), stdout);
        return 0;
    }
    if (argc < 2) return Usage("a command and a camera folder are needed");
    const std::string command = argv[1];
    if (!KnownCommand(command)) return Usage("unknown command " + command);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || (i == 2 && asks_help(argv[i]))) {
            std::fputs(UsageText(command).c_str(), stdout);
            return 0;
        }
    }
    if (argc < 3) return Usage(command + " needs a camera folder", command);
    const std::string dir = argv[2];
    // An option in the folder's place is a mistake, never a folder to create ("./-x" names one).
    if (dir.empty() || dir[0] == '-') return Usage("\"" + dir + "\" is no camera folder", command);
    if (command == "create") return Create(dir, argc, argv);
    if (command == "show") return Show(dir, argc, argv);
    if (command == "fault") return Fault(dir, argc, argv);
    if (command == "set") return Set(dir, argc, argv);
    if (command == "serve") return Serve(dir, argc, argv);
    if (argc > 3) return Usage("unexpected argument " + std::string(argv[3]), command);
    if (command == "unplug") return Unplug(dir);
    return Plug(dir);
}

}  // namespace orbisk::sim::tool

int main(int argc, char** argv) {
    return orbisk::sim::tool::Run(argc, argv);
}
