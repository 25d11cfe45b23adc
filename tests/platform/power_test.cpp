#include <gtest/gtest.h>

#include <filesystem>

#include "platform/linux/linux_power.h"
#include "support/table_row.h"
#include "support/temp_dir.h"

namespace orbisk {
namespace {

using test::TempDir;
using test::WriteFile;

// One supply folder with its attributes, as the kernel lays them out (values end in a newline).
void Supply(const TempDir& root, const std::string& name,
            const std::vector<std::pair<std::string, std::string>>& attributes) {
    std::filesystem::create_directories(root.File(name));
    for (const auto& [key, value] : attributes)
        WriteFile(root.File(name + "/" + key), value + "\n");
}

struct PowerCase {
    const char* name;
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> supplies;
    uint8_t ac;
    uint8_t battery;
};

TEST(SysfsPowerSource, ReadsMainsAndBattery) {
    const PowerCase cases[] = {
        {"desktop without supplies", {}, PowerStatus::kAcOnline, PowerStatus::kUnknown},
        {"laptop on mains",
         {{"AC", {{"type", "Mains"}, {"online", "1"}}},
          {"BAT0", {{"type", "Battery"}, {"capacity", "9"}, {"status", "Charging"}}}},
         PowerStatus::kAcOnline,
         9},
        {"laptop on battery",
         {{"AC", {{"type", "Mains"}, {"online", "0"}}},
          {"BAT0", {{"type", "Battery"}, {"capacity", "57"}, {"status", "Discharging"}}}},
         PowerStatus::kAcOffline,
         57},
        {"USB-C charger online, mains port empty",
         {{"AC", {{"type", "Mains"}, {"online", "0"}}},
          {"ucsi-source-psy-1", {{"type", "USB"}, {"online", "1"}}}},
         PowerStatus::kAcOnline,
         PowerStatus::kUnknown},
        {"only a discharging battery",
         {{"BAT1", {{"type", "Battery"}, {"capacity", "40"}, {"status", "Discharging"}}}},
         PowerStatus::kAcOffline,
         40},
        {"two batteries averaged, a mouse battery ignored",
         {{"AC", {{"type", "Mains"}, {"online", "1"}}},
          {"BAT0", {{"type", "Battery"}, {"capacity", "20"}}},
          {"BAT1", {{"type", "Battery"}, {"capacity", "60"}}},
          {"hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "1"}}}},
         PowerStatus::kAcOnline,
         40},
        {"unreadable capacity",
         {{"AC", {{"type", "Mains"}, {"online", "1"}}},
          {"BAT0", {{"type", "Battery"}, {"capacity", "n/a"}}}},
         PowerStatus::kAcOnline,
         PowerStatus::kUnknown},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        TempDir root;
        for (const auto& [name, attributes] : c.supplies) Supply(root, name, attributes);
        const PowerStatus status = SysfsPowerSource(root.path()).Query();
        EXPECT_EQ(status.ac_line, c.ac) << c.name;
        EXPECT_EQ(status.battery_percent, c.battery) << c.name;
    }
}

TEST(SysfsPowerSource, MissingFolderMeansMains) {
    const PowerStatus status = SysfsPowerSource("/nonexistent/power_supply").Query();
    EXPECT_EQ(status.ac_line, PowerStatus::kAcOnline);
    EXPECT_EQ(status.battery_percent, PowerStatus::kUnknown);
}

}  // namespace
}  // namespace orbisk
