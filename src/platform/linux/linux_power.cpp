#include "platform/linux/linux_power.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>

namespace orbisk {
namespace {

// The first line of a sysfs attribute, without trailing white space; nullopt when unreadable.
std::optional<std::string> ReadAttribute(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

std::optional<int> ReadNumber(const std::filesystem::path& path) {
    const auto text = ReadAttribute(path);
    if (!text || text->empty()) return std::nullopt;
    int value = 0;
    for (char c : *text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || value > 100000) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

PowerStatus SysfsPowerSource::Query() {
    bool any_external = false;
    bool external_online = false;
    bool any_battery = false;
    bool discharging = false;
    int capacity_sum = 0;
    int capacity_count = 0;

    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root_, error)) {
        const auto type = ReadAttribute(entry.path() / "type");
        if (!type) continue;
        if (*type == "Battery") {
            // Peripheral batteries (mice, headsets) say scope=Device; they do not power us.
            if (ReadAttribute(entry.path() / "scope").value_or("") == "Device") continue;
            any_battery = true;
            if (ReadAttribute(entry.path() / "status").value_or("") == "Discharging")
                discharging = true;
            if (const auto capacity = ReadNumber(entry.path() / "capacity")) {
                capacity_sum += std::min(*capacity, 100);
                ++capacity_count;
            }
        } else if (const auto online = ReadNumber(entry.path() / "online")) {
            any_external = true;
            if (*online != 0) external_online = true;
        }
    }

    PowerStatus status;
    if (any_external) {
        status.ac_line = external_online ? PowerStatus::kAcOnline : PowerStatus::kAcOffline;
    } else if (any_battery) {
        // Some laptops list only the battery; its state tells whether mains feeds it.
        status.ac_line = discharging ? PowerStatus::kAcOffline : PowerStatus::kAcOnline;
    } else {
        // No supply listed at all: a desktop on mains.
        status.ac_line = PowerStatus::kAcOnline;
    }
    if (any_battery && capacity_count > 0)
        status.battery_percent = static_cast<uint8_t>(capacity_sum / capacity_count);
    return status;
}

std::unique_ptr<PowerSource> CreateNativePowerSource() {
    return std::make_unique<SysfsPowerSource>();
}

}  // namespace orbisk
