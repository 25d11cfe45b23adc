#include "platform/linux/sysfs_usb.h"

#include <gtest/gtest.h>

#include "support/table_row.h"

namespace orbisk {
namespace {

std::vector<uint8_t> Config(uint8_t value, uint16_t total) {
    std::vector<uint8_t> c(total, 0xAA);
    c[0] = 9, c[1] = 2, c[2] = total & 0xFF, c[3] = total >> 8, c[5] = value;
    return c;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(SysfsUsbTest, SplitsTheDescriptorFileAndPicksTheActiveConfiguration) {
    std::vector<uint8_t> device(18, 0);
    device[0] = 18, device[1] = 1;
    const auto one = Config(1, 25), two = Config(2, 40);
    auto truncated = Join({device, one});
    truncated.pop_back();
    struct Case {
        const char* what;
        std::vector<uint8_t> raw;
        int active;
        bool ok;
        std::vector<uint8_t> config;
    } cases[] = {
        {"single active configuration", Join({device, one}), 1, true, one},
        {"second of two is active", Join({device, one, two}), 2, true, two},
        {"unconfigured device gives the first", Join({device, one, two}), 0, true, one},
        {"device only", device, 1, true, {}},
        {"short device descriptor",
         std::vector<uint8_t>(device.begin(), device.begin() + 17),
         1,
         false,
         {}},
        {"configuration longer than the file", truncated, 1, false, {}},
        {"bare configuration header", Join({device, Config(1, 9)}), 3, true, Config(1, 9)},
        {"trailing bytes", Join({device, one, {9, 2}}), 5, false, {}},
        {"not a configuration", Join({device, {9, 4, 0, 0, 0, 0, 0, 0, 0}}), 1, false, {}},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        std::vector<uint8_t> dev, config;
        EXPECT_EQ(SplitDescriptorFile(c.raw, c.active, &dev, &config), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(dev, device) << c.what;
            EXPECT_EQ(config, c.config) << c.what;
        }
    }
    // A length field that would point before the header is refused, not looped on.
    auto bad = Join({device, one});
    bad[18 + 2] = 4, bad[18 + 3] = 0;
    std::vector<uint8_t> dev, config;
    EXPECT_FALSE(SplitDescriptorFile(bad, 1, &dev, &config));
}

TEST(SysfsUsbTest, NamesFollowTheKernel) {
    EXPECT_EQ(UsbSysfsName(1, {}), "usb1");
    EXPECT_EQ(UsbSysfsName(2, {4}), "2-4");
    EXPECT_EQ(UsbSysfsName(1, {2, 3, 10}), "1-2.3.10");
    EXPECT_EQ(UsbfsNode(1, 5), "/dev/bus/usb/001/005");
}

}  // namespace
}  // namespace orbisk
