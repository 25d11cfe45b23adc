#include "sim/sim_ini_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace orbisk::sim {

std::optional<uint64_t> ParseWholeNumber(std::string_view text) {
    // strtoull would take leading blanks and a sign (and negate): only digits may start it.
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front()))) return {};
    const std::string copy(text);
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(copy.c_str(), &end, 0);
    if (errno == ERANGE || end != copy.c_str() + copy.size()) return {};
    return static_cast<uint64_t>(value);
}

std::optional<uint64_t> SettingsReader::Read(const char* section, const char* key, uint64_t min,
                                             uint64_t max) {
    if (!ok()) return {};
    const std::string text = ini_.GetValue(section, key);
    if (text.empty()) return {};
    const std::optional<uint64_t> value = ParseWholeNumber(text);
    if (!value || *value < min || *value > max) {
        error_ = "[" + std::string(section) + "] " + key + " must be a whole number from " +
                 std::to_string(min) + " to " + std::to_string(max) + ", not \"" + text + "\"";
        return {};
    }
    return value;
}

}  // namespace orbisk::sim
