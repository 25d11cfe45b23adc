#include "image_tool.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>

#include "base/clock.h"
#include "base/file_io.h"
#include "base/logger.h"
#include "base/process.h"
#include "catalogue/ic_type_ini.h"
#include "demo_kinds.h"
#include "device/serial_number.h"
#include "image/catalogue/desc_catalogue.h"
#include "image/config_chain.h"
#include "image/config_edit.h"
#include "image/demo_image.h"
#include "image/firmware_image.h"
#include "image/otp_demo_image.h"
#include "image/resources.h"
#include "profile_pick.h"

namespace orbisk::image_tool {

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kOtpConfigType = 0x60;

constexpr const char* kUsage =
    "usage: orbisk-image info FILE [--profile P] [--json]\n"
    "       orbisk-image extract ID OUT\n"
    "       orbisk-image set-string FILE OUT --type 1|3 --text TEXT [--profile P]\n"
    "       orbisk-image strip FILE OUT --type T [--profile P]\n"
    "       orbisk-image demo OUT [--profile P] [--memory KIND] [--vid H] [--pid H] [--rev H]\n"
    "                             [--version H] [--manufacturer S] [--product S] [--serial S]\n"
    "                             [--code-size N]  (OTP image: bytes of code)\n"
    "                             [--second-word H] (bridge image: its second version word)\n"
    "KIND: sf, nor, eeprom8, eeprom16, mtp, otp, bridge (those of the profile's chip; its usual\n"
    "one by default).\n"
    "FILE may be @ID for an image the program carries (@3068, @3033, @3000..@3021).\n";

int Usage(const std::string& why) {
    std::fprintf(stderr, "orbisk-image: %s\n%s", why.c_str(), kUsage);
    return 2;
}

int Refuse(const std::string& why) {
    std::fprintf(stderr, "orbisk-image: %s\n", why.c_str());
    return 1;
}

// Positional arguments and --name value options; --json is the one flag.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool json = false;
};

bool SplitArgs(const std::vector<std::string>& in, const std::vector<std::string>& known, Args& out,
               std::string& error) {
    for (size_t i = 0; i < in.size(); ++i) {
        const std::string& a = in[i];
        if (a == "--json") {
            out.json = true;
        } else if (a.rfind("--", 0) == 0) {
            if (std::find(known.begin(), known.end(), a) == known.end()) {
                error = "unknown option " + a;
                return false;
            }
            if (i + 1 >= in.size()) {
                error = a + " needs a value";
                return false;
            }
            out.options[a] = in[++i];
        } else {
            out.positional.push_back(a);
        }
    }
    return true;
}

// Hexadecimal with or without "0x", at most `max`.
bool ParseHex(const std::string& text, uint32_t max, uint32_t& out) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8) return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(digits.c_str(), &end, 16);
    if (*end != '\0' || v > max) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

// "@N" names the program's own embedded image N.
bool ReadImage(const std::string& path, Bytes& out, std::string& error) {
    if (path.size() > 1 && path[0] == '@') {
        char* end = nullptr;
        const long id = std::strtol(path.c_str() + 1, &end, 10);
        const auto bytes = *end == '\0' ? FindResource(kResourceBinary, static_cast<int>(id))
                                        : std::span<const uint8_t>{};
        if (bytes.empty()) {
            error = "the program carries no image " + path.substr(1);
            return false;
        }
        out.assign(bytes.begin(), bytes.end());
        return true;
    }
    std::string bytes, reason;
    if (ReadWholeFile(path, &bytes, &reason) != FileRead::kOk) {
        error = "cannot read " + (reason.empty() ? path : reason);
        return false;
    }
    out.assign(bytes.begin(), bytes.end());
    if (out.empty()) {
        error = path + " is empty";
        return false;
    }
    return true;
}

// Written beside the target and renamed over it, so a failed write never leaves half a file.
bool WriteImage(const std::string& path, const Bytes& data, std::string& error) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
        if (!out) {
            std::remove(tmp.c_str());
            error = "cannot write " + path;
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// The catalogue's name of the record's class ("CDescSysConfig", "CDescDummy", ...).
std::string ClassName(const CDescriptor& d) {
    return std::string(DescriptorClassName(d));
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// The process objects a command needs: built-in profiles, no trace output.
struct Session {
    Session() : logger(clock, nullptr), process(clock, logger), profiles(process) {
        logger.SetOutputEnabled(false);
        profiles.BuildProfileList();
    }
    SystemClock clock;
    Logger logger;
    Process process;
    CICTypeIni profiles;
};

struct RecordInfo {
    size_t offset;
    uint8_t type;
    size_t length;
    std::string cls;
    std::optional<std::string> text;
};

struct AreaInfo {
    size_t config_offset = 0;
    bool config_at_start = false;
    CDescGlobal header;
    std::optional<uint16_t> version;
    std::vector<RecordInfo> records;
    std::optional<CDescVIDPID> id;
    std::optional<bool> crc_ok;
};

bool ReadArea(std::span<const uint8_t> image, size_t offset, AreaInfo& info, std::string& error) {
    const auto area = image.subspan(offset);
    CConfigReader reader;
    reader.Load(area);
    info.config_offset = offset;
    info.header = reader.ReadHeader();
    size_t pos = CDescGlobal::kSize;
    if (reader.has_version()) {
        info.version = reader.version();
        info.records.push_back({pos, CDescHWAPVersion::kType, 6, "CDescHWAPVersion", {}});
        pos += 6;
    }
    if (reader.has_eep_info())
        info.records.push_back({pos, CDescEEPInfo::kType, 3, "CDescEEPInfo", {}});
    std::optional<CDescCRC> crc;
    size_t crc_at = 0;
    std::optional<Bytes> blob;
    const bool whole = reader.Walk([&](std::unique_ptr<CDescriptor> d) {
        const size_t at = reader.record_offset();
        RecordInfo r{at, d->type, d->raw().size(), ClassName(*d), {}};
        if (auto* s = dynamic_cast<CDescString*>(d.get())) r.text = s->text();
        if (auto* v = dynamic_cast<CDescVIDPID*>(d.get())) info.id = *v;
        if (auto* c = dynamic_cast<CDescCodeInfo*>(d.get())) blob = c->blob;
        if (auto* c = dynamic_cast<CDescCRC*>(d.get())) {
            crc = *c;
            crc_at = at;
        }
        info.records.push_back(std::move(r));
    });
    for (size_t at : reader.skipped()) {
        RecordHeader h;
        ReadRecordHeader(area.subspan(at), h);
        info.records.push_back({at, h.type, h.total_length, "(unreadable)", {}});
    }
    std::sort(info.records.begin(), info.records.end(),
              [](const RecordInfo& a, const RecordInfo& b) { return a.offset < b.offset; });
    if (!whole) {
        error = "Config file corrupted";
        return false;
    }
    if (ModelHasCrc(info.header.chip_model)) {
        bool ok = false;
        if (crc) {
            const uint32_t area_crc =
                static_cast<uint32_t>(crc32(0L, area.data(), static_cast<uInt>(crc_at)));
            const uint32_t blob_crc = blob && !blob->empty()
                                          ? static_cast<uint32_t>(crc32(
                                                0L, blob->data(), static_cast<uInt>(blob->size())))
                                          : 0;
            ok = area_crc == crc->area_crc && blob_crc == crc->blob_crc;
        }
        info.crc_ok = ok;
    }
    return true;
}

// Loads FILE, picks the profile and finds the configuration area as the loader does.
int OpenImage(Session& s, const std::string& path, const std::string& profile, Bytes& image,
              ImageRecord& rec, int* profile_index = nullptr) {
    std::string error;
    if (!ReadImage(path, image, error)) return Refuse(error);
    if (!image_tool::PickProfile(s.profiles, image, profile, error, profile_index))
        return Refuse(error);
    ImageEnv env;
    env.layout = s.profiles.ReadConfigLayout();
    env.ic_name = s.profiles.chip_name;
    env.project_type = &s.process.project_type;
    env.bus_type = 0;  // the image is checked, not skipped as for a bridge camera
    if (!ParseFwImage(image, rec, env))
        return Refuse("Parse FW File Fail!: no readable configuration area");
    return 0;
}

void PrintText(const AreaInfo& a, const std::string& profile) {
    std::printf("profile         %s\n", profile.c_str());
    std::printf("config offset   0x%zX%s\n", a.config_offset,
                a.config_at_start ? " (configuration at start)" : "");
    std::printf("type            0x%02X\nmemory          %s\n", a.header.config_type,
                ConfigTypeMemoryText(a.header.config_type).c_str());
    std::printf("variant         %u\nchip model      %u\n", a.header.variant, a.header.chip_model);
    std::printf("total length    %u\ncount           %u\n", a.header.total_length, a.header.count);
    if (a.version) std::printf("version         0x%04X\n", *a.version);
    if (a.id)
        std::printf("identity        VID_%04X&PID_%04X&REV_%04X\n", a.id->vid, a.id->pid,
                    a.id->rev);
    if (a.crc_ok) std::printf("crc             %s\n", *a.crc_ok ? "ok" : "BAD");
    std::printf("descriptors\n");
    for (const RecordInfo& r : a.records) {
        std::printf("  0x%04zX  type 0x%02X  length %4zu  %s", r.offset, r.type, r.length,
                    r.cls.c_str());
        if (r.text) std::printf("  \"%s\"", r.text->c_str());
        std::printf("\n");
    }
}

void PrintJson(const AreaInfo& a, const std::string& profile) {
    std::printf("{\n  \"profile\": %s,\n", JsonString(profile).c_str());
    std::printf("  \"config_offset\": %zu,\n  \"config_at_start\": %s,\n", a.config_offset,
                a.config_at_start ? "true" : "false");
    std::printf("  \"type\": %u,\n  \"memory\": %s,\n", a.header.config_type,
                JsonString(ConfigTypeMemoryName(a.header.config_type)).c_str());
    std::printf("  \"variant\": %u,\n  \"chip_model\": %u,\n", a.header.variant,
                a.header.chip_model);
    std::printf("  \"total_length\": %u,\n  \"count\": %u,\n", a.header.total_length,
                a.header.count);
    if (a.version)
        std::printf("  \"version\": %u,\n", *a.version);
    else
        std::printf("  \"version\": null,\n");
    if (a.id)
        std::printf("  \"vid\": %u,\n  \"pid\": %u,\n  \"rev\": %u,\n", a.id->vid, a.id->pid,
                    a.id->rev);
    else
        std::printf("  \"vid\": null,\n  \"pid\": null,\n  \"rev\": null,\n");
    if (a.crc_ok) std::printf("  \"crc_ok\": %s,\n", *a.crc_ok ? "true" : "false");
    std::printf("  \"descriptors\": [");
    for (size_t i = 0; i < a.records.size(); ++i) {
        const RecordInfo& r = a.records[i];
        std::printf("%s\n    {\"offset\": %zu, \"type\": %u, \"length\": %zu, \"class\": %s",
                    i ? "," : "", r.offset, r.type, r.length, JsonString(r.cls).c_str());
        if (r.text) std::printf(", \"text\": %s", JsonString(*r.text).c_str());
        std::printf("}");
    }
    std::printf("%s]\n}\n", a.records.empty() ? "" : "\n  ");
}

// A bridge's image is its flash, byte for byte: no configuration area, only the version a demo
// image carries in its marker.
int BridgeInfo(const Bytes& image, const std::string& profile, bool json) {
    const std::optional<uint32_t> version = ReadDemoVersion(image);
    if (json) {
        std::printf("{\n  \"profile\": %s,\n  \"memory\": \"bridge\",\n  \"size\": %zu,\n",
                    JsonString(profile).c_str(), image.size());
        if (version)
            std::printf("  \"version\": %u\n}\n", *version);
        else
            std::printf("  \"version\": null\n}\n");
        return 0;
    }
    std::printf("profile         %s\nmemory          MIPI bridge flash\nsize            %zu\n",
                profile.c_str(), image.size());
    if (version) std::printf("version         0x%08X\n", *version);
    return 0;
}

int Info(const Args& a) {
    if (a.positional.size() != 1) return Usage("info takes one FILE");
    Session s;
    Bytes image;
    ImageRecord rec;
    const auto p = a.options.find("--profile");
    int index = 0;
    if (p != a.options.end()) {
        std::string error;
        if (!ReadImage(a.positional[0], image, error)) return Refuse(error);
        if (!PickProfile(s.profiles, image, p->second, error, &index)) return Refuse(error);
        if (ProfileMemories(s.profiles) == std::vector<DemoMemory>{DemoMemory::kBridge})
            return BridgeInfo(image, ChipTable()[static_cast<size_t>(index)].name, a.json);
    }
    if (int r = OpenImage(s, a.positional[0], p == a.options.end() ? "" : p->second, image, rec,
                          &index))
        return r;
    AreaInfo info;
    info.config_at_start = rec.config_at_start;
    std::string error;
    if (!ReadArea(image, rec.config_offset, info, error)) return Refuse(error);
    const std::string profile = ChipTable()[static_cast<size_t>(index)].name;
    if (a.json)
        PrintJson(info, profile);
    else
        PrintText(info, profile);
    return 0;
}

int Edit(const Args& a, bool set_string) {
    if (a.positional.size() != 2)
        return Usage(std::string(set_string ? "set-string" : "strip") + " takes FILE and OUT");
    const auto type_opt = a.options.find("--type");
    if (type_opt == a.options.end()) return Usage("--type is required");
    char* end = nullptr;
    const long type = std::strtol(type_opt->second.c_str(), &end, 0);
    if (*end != '\0' || type < 0 || type > 0x3F) return Usage("bad --type " + type_opt->second);
    const auto text = a.options.find("--text");
    if (set_string) {
        if (type != 1 && type != 3) return Usage("--type must be 1 or 3");
        if (text == a.options.end()) return Usage("--text is required");
    }
    Session s;
    Bytes image;
    ImageRecord rec;
    const auto p = a.options.find("--profile");
    if (int r = OpenImage(s, a.positional[0], p == a.options.end() ? "" : p->second, image, rec))
        return r;
    const ConfigLayout layout = s.profiles.ReadConfigLayout();
    EditResult r;
    if (set_string) {
        // As the updater carries a serial number: an OTP image is widened to the
        // configuration size for the edit and cut back to the new area afterwards.
        SerialNumberPlacement placement;
        placement.serial_descriptor = type == 3;
        placement.widen_to = image[rec.config_offset] == kOtpConfigType;
        placement.config_size = layout.size;
        r = CarrySerialNumber(image, layout, text->second, placement, nullptr, nullptr);
    } else {
        r = RebuildWithoutType(image, layout, static_cast<uint8_t>(type));
    }
    if (r != EditResult::kOk) return Refuse(EditResultText(r));
    std::string error;
    if (!WriteImage(a.positional[1], image, error)) return Refuse(error);
    return 0;
}

int Extract(const Args& a) {
    if (a.positional.size() != 2) return Usage("extract takes ID and OUT");
    Bytes image;
    std::string error;
    if (!ReadImage("@" + a.positional[0], image, error)) return Refuse(error);
    if (!WriteImage(a.positional[1], image, error)) return Refuse(error);
    return 0;
}

int Demo(const Args& a) {
    if (a.positional.size() != 1) return Usage("demo takes OUT");
    DemoImageSpec recipe;
    struct HexOption {
        const char* name;
        uint32_t max;
        uint32_t value;
    };
    HexOption hex[] = {{"--vid", 0xFFFF, recipe.vid},
                       {"--pid", 0xFFFF, recipe.pid},
                       {"--rev", 0xFFFF, recipe.rev},
                       {"--version", 0xFFFFFFFF, recipe.version}};
    for (HexOption& h : hex) {
        const auto it = a.options.find(h.name);
        if (it != a.options.end() && !ParseHex(it->second, h.max, h.value))
            return Usage(std::string("bad hexadecimal value for ") + h.name + ": " + it->second);
    }
    recipe.vid = static_cast<uint16_t>(hex[0].value);
    recipe.pid = static_cast<uint16_t>(hex[1].value);
    recipe.rev = static_cast<uint16_t>(hex[2].value);
    recipe.version = hex[3].value;
    if (auto it = a.options.find("--manufacturer"); it != a.options.end())
        recipe.manufacturer = it->second;
    if (auto it = a.options.find("--product"); it != a.options.end()) recipe.product = it->second;
    if (auto it = a.options.find("--serial"); it != a.options.end()) recipe.serial = it->second;
    Session s;
    std::string error;
    const auto p = a.options.find("--profile");
    if (!PickProfile(s.profiles, {}, p == a.options.end() ? "ORV6363" : p->second, error))
        return Refuse(error);
    // The memory the image is for: the profile's usual one, or one of its others.
    const std::vector<DemoMemory> memories = ProfileMemories(s.profiles);
    DemoRequest request{recipe, memories.front(), 0};
    if (auto it = a.options.find("--memory"); it != a.options.end()) {
        const std::optional<DemoMemory> memory = ParseDemoMemory(it->second);
        if (!memory) return Usage("--memory is sf, nor, eeprom8, eeprom16, mtp, otp or bridge");
        if (std::find(memories.begin(), memories.end(), *memory) == memories.end()) {
            std::string kinds;
            for (DemoMemory m : memories)
                kinds += std::string(kinds.empty() ? "" : ", ") + DemoMemoryName(m);
            return Refuse(s.profiles.chip_name + " keeps no firmware in " + it->second +
                          "; its memories: " + kinds);
        }
        request.memory = *memory;
    }
    if (request.memory == DemoMemory::kBridge) {
        // The bridge's firmware: its flash holds no configuration area, so no identity or
        // strings.
        for (const char* name :
             {"--vid", "--pid", "--rev", "--manufacturer", "--product", "--serial", "--code-size"})
            if (a.options.count(name))
                return Usage(std::string(name) + " is no part of a bridge image (ORV7608)");
        if (auto it = a.options.find("--second-word");
            it != a.options.end() && !ParseHex(it->second, 0xFFFFFFFF, request.second_word))
            return Usage("bad hexadecimal value for --second-word: " + it->second);
    } else if (a.options.count("--second-word")) {
        return Usage("--second-word is a version word of ORV7608");
    }
    if (auto it = a.options.find("--code-size"); it != a.options.end()) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(it->second.c_str(), &end, 0);
        if (request.memory != DemoMemory::kOtp || it->second.empty() || *end != '\0' || n == 0)
            return Usage("--code-size is a byte count of the OTP image (ORV6099)");
        request.otp_code_size = n;
    }
    const Bytes image = MakeProfileDemoImage(s.profiles, request, &error);
    if (image.empty()) return Usage(error);
    if (!WriteImage(a.positional[0], image, error)) return Refuse(error);
    return 0;
}

}  // namespace

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("no command");
    const std::string& cmd = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    std::vector<std::string> known;
    if (cmd == "info")
        known = {"--profile"};
    else if (cmd == "set-string")
        known = {"--profile", "--type", "--text"};
    else if (cmd == "strip")
        known = {"--profile", "--type"};
    else if (cmd == "extract")
        known = {};
    else if (cmd == "demo")
        known = {"--vid",    "--pid",     "--rev",       "--version", "--manufacturer", "--product",
                 "--serial", "--profile", "--code-size", "--memory",  "--second-word"};
    else
        return Usage("unknown command " + cmd);
    Args a;
    std::string error;
    if (!SplitArgs(rest, known, a, error)) return Usage(error);
    if (a.json && cmd != "info") return Usage("--json belongs to info");
    if (cmd == "info") return Info(a);
    if (cmd == "set-string") return Edit(a, true);
    if (cmd == "strip") return Edit(a, false);
    if (cmd == "extract") return Extract(a);
    return Demo(a);
}

}  // namespace orbisk::image_tool
