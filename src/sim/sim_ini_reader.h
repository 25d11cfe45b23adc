#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ini_file.h"

namespace orbisk::sim {

// A whole number as the camera's settings write it: decimal, "0x" hexadecimal or leading-"0"
// octal, with nothing before or after it. No sign: a negative figure is no figure here.
std::optional<uint64_t> ParseWholeNumber(std::string_view text);

// Reads numbers of a camera's settings strictly. A missing or empty key keeps the field's
// default; anything else must be a whole number in the key's range, or the first such key is
// remembered with its reason and every later read is skipped.
class SettingsReader {
  public:
    explicit SettingsReader(const CIniFile& ini) : ini_(ini) {}

    template <typename T>
    void Number(const char* section, const char* key, uint64_t min, uint64_t max, T* field) {
        if (auto value = Read(section, key, min, max)) *field = static_cast<T>(*value);
    }
    void Flag(const char* section, const char* key, bool* field) {
        if (auto value = Read(section, key, 0, 1)) *field = *value != 0;
    }
    // Any other condition a key must meet; the reason names the key.
    void Require(bool condition, const std::string& reason) {
        if (error_.empty() && !condition) error_ = reason;
    }

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

  private:
    std::optional<uint64_t> Read(const char* section, const char* key, uint64_t min, uint64_t max);

    const CIniFile& ini_;
    std::string error_;
};

}  // namespace orbisk::sim
