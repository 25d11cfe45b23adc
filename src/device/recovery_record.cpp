#include "device/recovery_record.h"

#include <zlib.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <map>

#include "base/file_io.h"

namespace orbisk {
namespace {

constexpr const char* kSection = "[Recovery]";
constexpr const char* kCheckKey = "Check";
constexpr std::array<const char*, 13> kKeys = {
    "Port",    "VID",        "PID",       "REV",   "ChipIdentity", "Serial", "SerialSource",
    "Version", "MemoryType", "ChipModel", "Image", "ImageSha256",  "Time"};
constexpr const char* kFromManufacturer = "manufacturer string";
constexpr const char* kFromNowhere = "none";
// A string descriptor holds at most 126 UTF-16 units, three UTF-8 bytes each.
constexpr size_t kMaxSerialBytes = 378;

// Printable ASCII as it is, everything else (and the backslash) as an escape: a record stays
// one line per key whatever bytes a camera reported.
std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F) return false;
        if (c != '\\') {
            out->push_back(static_cast<char>(c));
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            out->push_back('\\');
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            out->push_back(static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3])));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

std::string Hex16(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

bool ParseHex16(const std::string& text, uint16_t* value) {
    if (text.size() != 6 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    unsigned result = 0;
    for (size_t i = 2; i < 6; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) return false;
        result = result * 16 + static_cast<unsigned>(digit);
    }
    *value = static_cast<uint16_t>(result);
    return true;
}

bool ParseSmall(const std::string& text, int32_t low, int32_t high, int32_t* value) {
    if (text.empty() || text.size() > 3) return false;
    int32_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
    }
    if (result < low || result > high) return false;
    *value = result;
    return true;
}

bool IsPortChain(const std::string& text) {
    if (text.empty() || text.size() > 32) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
    return true;
}

bool IsSha256(const std::string& text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f')) return false;
    return true;
}

std::string CheckOf(const std::string& body) {
    const uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    char text[12];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(crc));
    return text;
}

// Every value of a well-formed file, decoded and checked against its bounds.
bool FillRecord(const std::map<std::string, std::string>& values, RecoveryRecord* r,
                std::string* problem) {
    auto bad = [&](const char* key) {
        *problem = std::string("the value of ") + key + " is not valid";
        return false;
    };
    std::string text;
    if (!IsPortChain(values.at("Port"))) return bad("Port");
    r->port = values.at("Port");
    if (!ParseHex16(values.at("VID"), &r->vid)) return bad("VID");
    if (!ParseHex16(values.at("PID"), &r->pid)) return bad("PID");
    if (!ParseHex16(values.at("REV"), &r->rev)) return bad("REV");
    if (!ParseHex16(values.at("ChipIdentity"), &r->chip_identity)) return bad("ChipIdentity");
    if (!Unescape(values.at("Serial"), &r->serial) || r->serial.size() > kMaxSerialBytes)
        return bad("Serial");
    const std::string& source = values.at("SerialSource");
    if (source == kFromManufacturer && !r->serial.empty())
        r->serial_source = RecoveryRecord::SerialSource::kManufacturerString;
    else if (source == kFromNowhere && r->serial.empty())
        r->serial_source = RecoveryRecord::SerialSource::kNone;
    else
        return bad("SerialSource");
    if (!Unescape(values.at("Version"), &r->version) || r->version.size() > 64)
        return bad("Version");
    if (!ParseSmall(values.at("MemoryType"), 0, 6, &r->memory_type)) return bad("MemoryType");
    if (!ParseSmall(values.at("ChipModel"), 0, 31, &r->chip_model)) return bad("ChipModel");
    if (!Unescape(values.at("Image"), &r->image) || r->image.empty() || r->image.size() > 4096)
        return bad("Image");
    if (!IsSha256(values.at("ImageSha256"))) return bad("ImageSha256");
    r->image_sha256 = values.at("ImageSha256");
    if (!Unescape(values.at("Time"), &r->time) || r->time.size() > 32) return bad("Time");
    return true;
}

}  // namespace

std::string RecoveryRecordPath(const std::string& program_folder, const std::string& port) {
    return program_folder + "/" + kRecoveryFolder + "/" + port + ".ini";
}

std::string FormatRecoveryRecord(const RecoveryRecord& r) {
    const bool has_serial = r.serial_source == RecoveryRecord::SerialSource::kManufacturerString;
    const std::array<std::string, kKeys.size()> values = {
        r.port,
        Hex16(r.vid),
        Hex16(r.pid),
        Hex16(r.rev),
        Hex16(r.chip_identity),
        Escape(has_serial ? r.serial : ""),
        has_serial ? kFromManufacturer : kFromNowhere,
        Escape(r.version),
        std::to_string(r.memory_type),
        std::to_string(r.chip_model),
        Escape(r.image),
        r.image_sha256,
        Escape(r.time)};
    std::string body = std::string(kSection) + "\n";
    for (size_t i = 0; i < kKeys.size(); ++i)
        body += std::string(kKeys[i]) + "=" + values[i] + "\n";
    return "; What an update was about to overwrite in the camera on this port. orbisk removes\n"
           "; the file when an update of that camera passes. The Check line covers the lines\n"
           "; from [Recovery] on: a file changed by hand is refused.\n" +
           body + kCheckKey + "=" + CheckOf(body) + "\n";
}

RecordRead ParseRecoveryRecord(const std::string& text, const std::string& expected_port,
                               RecoveryRecord* record, std::string* problem) {
    std::map<std::string, std::string> values;
    std::string body;
    std::string check;
    bool in_section = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || (!in_section && line[0] == ';')) continue;
        if (!check.empty()) {
            *problem = "text after the Check line";
            return RecordRead::kDamaged;
        }
        if (!in_section) {
            if (line != kSection) {
                *problem = "no [Recovery] section";
                return RecordRead::kDamaged;
            }
            in_section = true;
            body += line + "\n";
            continue;
        }
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        if (equals == std::string::npos || (key != kCheckKey && !values.emplace(key, "").second)) {
            *problem = "line \"" + Escape(line) + "\" is not a single key";
            return RecordRead::kDamaged;
        }
        if (key == kCheckKey) {
            check = line.substr(equals + 1);
            if (check.empty()) check = "-";
            continue;
        }
        values[key] = line.substr(equals + 1);
        body += line + "\n";
    }
    if (!in_section) {
        *problem = "no [Recovery] section";
        return RecordRead::kDamaged;
    }
    for (const char* key : kKeys) {
        if (!values.count(key)) {
            *problem = std::string("the key ") + key + " is missing";
            return RecordRead::kDamaged;
        }
    }
    if (values.size() != kKeys.size()) {
        *problem = "unknown keys";
        return RecordRead::kDamaged;
    }
    if (check != CheckOf(body)) {
        *problem = "the Check line does not match the record (cut short or changed)";
        return RecordRead::kDamaged;
    }
    RecoveryRecord read;
    if (!FillRecord(values, &read, problem)) return RecordRead::kDamaged;
    if (read.port != expected_port) {
        *problem = "it names port " + read.port + ", not " + expected_port;
        return RecordRead::kDamaged;
    }
    *record = read;
    return RecordRead::kValid;
}

RecordRead ReadRecoveryRecord(const std::string& path, const std::string& expected_port,
                              RecoveryRecord* record, std::string* problem) {
    std::string text;
    switch (ReadWholeFile(path, &text, problem)) {
        case FileRead::kMissing:
            return RecordRead::kMissing;
        case FileRead::kFailed:
            return RecordRead::kDamaged;
        case FileRead::kOk:
            break;
    }
    // A record is a few hundred bytes; anything far larger is not one.
    if (text.size() > 16384) {
        *problem = "the file is too large for a recovery record";
        return RecordRead::kDamaged;
    }
    return ParseRecoveryRecord(text, expected_port, record, problem);
}

bool WriteRecoveryRecord(const std::string& path, const RecoveryRecord& record,
                         std::string* error) {
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && !EnsureFolder(path.substr(0, slash), error)) return false;
    return WriteFileAtomically(path, FormatRecoveryRecord(record), error);
}

bool RemoveRecoveryRecord(const std::string& path, std::string* error) {
    return RemoveFile(path, error);
}

}  // namespace orbisk
