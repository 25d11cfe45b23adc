#include "base/ini_file.h"

#include <cctype>
#include <cstdio>

#include "base/file_io.h"

namespace orbisk {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

CIniFile::CIniFile(std::string path) : path_(std::move(path)) {}

void CIniFile::Clear() {
    sections_.clear();
    header_comments_.clear();
    load_stopped_early_ = false;
    stopped_at_line_ = 0;
    read_error_.clear();
}

bool CIniFile::ReadFile() {
    read_error_.clear();
    std::string text;
    if (ReadWholeFile(path_, &text, &read_error_) != FileRead::kOk) return false;
    return Parse(text);
}

bool CIniFile::ReadMemory(std::string_view text) {
    return Parse(text);
}

bool CIniFile::Parse(std::string_view text) {
    load_stopped_early_ = false;
    stopped_at_line_ = 0;
    // A UTF-8 byte-order mark at the very start is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::string current;  // the section that key lines go to; "" before the first header
    bool seen_section = false;
    size_t pos = 0;
    int line_number = 0;
    while (pos < text.size()) {
        ++line_number;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        unsigned char first = static_cast<unsigned char>(line.front());
        if (first >= 0x80 || !std::isprint(first)) {
            std::printf("Failing on char %d\n", static_cast<int>(static_cast<signed char>(first)));
            std::fflush(stdout);
            load_stopped_early_ = true;
            stopped_at_line_ = line_number;
            return false;
        }
        size_t marker = line.find_first_of(";#[=");
        if (marker == std::string_view::npos) continue;
        switch (line[marker]) {
            case '[': {
                size_t close = line.rfind(']');
                if (close != std::string_view::npos && close > marker) {
                    current = std::string(line.substr(marker + 1, close - marker - 1));
                    AddSection(current);
                    seen_section = true;
                }
                break;
            }
            case '=':
                SetValue(current, line.substr(0, marker), line.substr(marker + 1), true);
                break;
            default:  // ';' or '#'
                if (!seen_section)
                    AddHeaderComment(line.substr(marker + 1));
                else
                    AddSectionComment(current, line.substr(marker + 1));
                break;
        }
    }
    return !sections_.empty();
}

std::string CIniFile::Serialize() const {
    std::string out;
    for (const auto& comment : header_comments_) out += ";" + comment + "\r\n";
    if (!header_comments_.empty()) out += "\r\n";
    for (const auto& section : sections_) {
        out += "[" + section.name + "]\r\n";
        for (const auto& comment : section.comments) out += ";" + comment + "\r\n";
        for (size_t k = 0; k < section.keys.size(); ++k) {
            out += section.keys[k];
            if (!section.values[k].empty()) out += "=" + section.values[k];
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool CIniFile::WriteFile(std::string* error) const {
    std::string ignored;
    return WriteFileAtomically(path_, Serialize(), error != nullptr ? error : &ignored);
}

int CIniFile::FindSection(std::string_view name) const {
    for (size_t i = 0; i < sections_.size(); ++i)
        if (EqualsNoCase(sections_[i].name, name)) return static_cast<int>(i);
    return -1;
}

int CIniFile::FindKey(int section, std::string_view key) const {
    if (section < 0 || section >= SectionCount()) return -1;
    const auto& keys = sections_[section].keys;
    for (size_t i = 0; i < keys.size(); ++i)
        if (EqualsNoCase(keys[i], key)) return static_cast<int>(i);
    return -1;
}

std::string CIniFile::GetValue(std::string_view section, std::string_view key,
                               std::string_view def) const {
    return GetValue(FindSection(section), key, def);
}

std::string CIniFile::GetValue(int section, std::string_view key, std::string_view def) const {
    int k = FindKey(section, key);
    if (k < 0) return std::string(def);
    return sections_[section].values[k];
}

int32_t CIniFile::GetValueI(std::string_view section, std::string_view key, int32_t def) const {
    return GetValueI(FindSection(section), key, def);
}

int32_t CIniFile::GetValueI(int section, std::string_view key, int32_t def) const {
    char text[2048];
    std::snprintf(text, sizeof text, "%d", def);
    return ParseInteger(GetValue(section, key, text));
}

int32_t CIniFile::ParseInteger(std::string_view text) {
    // Same rules as strtoul with base 0 on a 32-bit unsigned long: leading blanks, an optional
    // sign, automatic base, saturation on overflow, negation of the magnitude for "-".
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i < text.size() && text[i] == '0') {
        base = 8;
        if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            base = 16;
            i += 2;
        }
    }
    uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (std::isalpha(c))
            digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
        else
            break;
        if (digit >= base) break;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) overflow = true;
    }
    uint32_t result = overflow ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
    if (negative && !overflow) result = 0u - result;
    return static_cast<int32_t>(result);
}

bool CIniFile::SetValue(std::string_view section, std::string_view key, std::string_view value,
                        bool create) {
    int s = FindSection(section);
    if (s < 0) {
        if (!create) return false;
        s = AddSection(section);
    }
    int k = FindKey(s, key);
    auto& sec = sections_[s];
    if (k < 0) {
        if (!create) return false;
        sec.keys.emplace_back(key);
        sec.values.emplace_back(value);
    } else {
        sec.values[k] = std::string(value);
    }
    return true;
}

bool CIniFile::SetValueI(std::string_view section, std::string_view key, int32_t value) {
    return SetValue(section, key, std::to_string(value), true);
}

int CIniFile::AddSection(std::string_view name) {
    sections_.push_back(Section{std::string(name), {}, {}, {}});
    return static_cast<int>(sections_.size()) - 1;
}

bool CIniFile::AddSectionComment(std::string_view section, std::string_view text) {
    int s = FindSection(section);
    if (s < 0) return false;
    sections_[s].comments.emplace_back(text);
    return true;
}

}  // namespace orbisk
