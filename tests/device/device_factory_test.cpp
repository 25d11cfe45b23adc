#include "device/device_factory.h"

#include <gtest/gtest.h>

#include "base/process.h"
#include "support/table_row.h"

namespace orbisk::test {
namespace {

TEST(DeviceFactory, ClassTable) {
    struct Case {
        int32_t project, bus, mode;
        const char* cls;
    };
    const Case cases[] = {
        {0, 0, 0, "CSPIFlashInfo_USB"},
        {0, 0, 7, "CTarnFlashInfo_USB"},
        {0, 0, 8, "CFarrowFlashInfo_USB"},
        {0, 0, 6, "CSPIFlashInfo_USB"},
        {0, 2, 7, "C7608FlashInfo_USB"},
        {1, 0, 0, "CNORFlashInfo_USB"},
        {2, 0, 0, "CEepromInfo8_USB"},
        {3, 0, 0, "CEepromInfo16_USB"},
        {4, 0, 0, "CMTPInfo_USB"},
        {5, 0, 0, "C7608FlashInfo_USB"},
        {6, 0, 0, "COTPInfo_USB"},
        {7, 0, 0, ""},
        {5, 2, 0, ""},
        {0, 1, 0, ""},
        {6, 1, 0, ""},
        {1, 2, 0, ""},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        EXPECT_STREQ(MemoryClassName(SelectMemoryClass(c.project, c.bus, c.mode)), c.cls)
            << c.project << "/" << c.bus << "/" << c.mode;
    }
}

TEST(DeviceFactory, RunClearsTheStatusCode) {
    VirtualClock clock;
    Logger logger(clock, nullptr);
    Process process(clock, logger);
    process.status.SetCode(41531);
    process.customization_mode = 7;
    EXPECT_EQ(RunDeviceFactory(process), MemoryClass::kTarnFlashInfo_USB);
    EXPECT_EQ(process.status.Code(), 0u);
    process.project_type = 5;
    process.bus_type = 2;
    EXPECT_EQ(RunDeviceFactory(process), MemoryClass::kNone);
}

}  // namespace
}  // namespace orbisk::test
