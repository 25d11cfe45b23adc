#include "device/serial_number.h"

#include <gtest/gtest.h>

#include <map>

#include "image/config_chain.h"
#include "image/demo_image.h"
#include "support/table_row.h"

namespace orbisk {
namespace {

const ConfigLayout kDemo{DemoLayout::kConfigAddress, DemoLayout::kConfigSize,
                         DemoLayout::kTagAddress};

// The strings of the image's configuration area by descriptor type.
std::map<uint8_t, std::string> Strings(const std::vector<uint8_t>& image) {
    std::map<uint8_t, std::string> strings;
    CConfigReader reader;
    reader.Load(std::span<const uint8_t>(image).subspan(kDemo.address));
    reader.ReadHeader();
    reader.Walk([&](std::unique_ptr<CDescriptor> d) {
        if (auto* s = dynamic_cast<CDescString*>(d.get())) strings[d->type] = s->text();
    });
    return strings;
}

TEST(SerialNumberTest, CarriedIntoTheChosenDescriptor) {
    const std::vector<uint8_t> loaded = MakeDemoImage({});
    ASSERT_FALSE(loaded.empty());
    struct Case {
        SerialNumberPlacement placement;
        uint8_t type;
        std::string expected;
    } const cases[] = {
        {{}, 1, "SN-0042"},
        {{.serial_descriptor = true}, 3, "SN-0042"},
        {{.serial_descriptor = true, .bell_prefix = true}, 3, "\x07SN-0042"},
        {{.bell_prefix = true}, 1, "SN-0042"},  // the prefix belongs to the serial string only
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        std::vector<uint8_t> image = loaded;
        size_t size = 0;
        ASSERT_EQ(CarrySerialNumber(image, kDemo, "SN-0042", c.placement, nullptr, &size),
                  EditResult::kOk);
        const auto before = Strings(loaded);
        const auto after = Strings(image);
        EXPECT_EQ(after.at(c.type), c.expected);
        const uint8_t other = c.type == 1 ? 3 : 1;
        EXPECT_EQ(after.at(other), before.at(other));
        EXPECT_GT(size, 0u);
        EXPECT_EQ(image.size(), loaded.size());
        // Code and tag outside the area are untouched.
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x0FFE, loaded.begin()));
    }
}

TEST(SerialNumberTest, LengthLimitLeavesTheImageUnchanged) {
    const std::vector<uint8_t> loaded = MakeDemoImage({});
    struct Case {
        size_t chars;
        SerialNumberPlacement placement;
        bool ok;
    } const cases[] = {
        {48, {}, true},
        {49, {}, false},
        {47, {.serial_descriptor = true, .bell_prefix = true}, true},
        {48, {.serial_descriptor = true, .bell_prefix = true}, false},  // the prefix counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chars);
        std::vector<uint8_t> image = loaded;
        const EditResult r = CarrySerialNumber(image, kDemo, std::string(c.chars, 'S'), c.placement,
                                               nullptr, nullptr);
        EXPECT_EQ(r == EditResult::kOk, c.ok);
        if (!c.ok) {
            EXPECT_EQ(image, loaded);
        }
    }
}

TEST(SerialNumberTest, OtpImageIsWidenedAndCutToTheNewArea) {
    // A configuration-only image at address 0, as OTP parts carry it.
    std::vector<uint8_t> image = MakeDefaultConfigArea(0x60, 22);
    const ConfigLayout layout{0, 512, 0x1FE};
    size_t size = 0;
    const SerialNumberPlacement placement{.widen_to = true, .config_size = 512};
    ASSERT_EQ(CarrySerialNumber(image, layout, "OTP-7", placement, nullptr, &size),
              EditResult::kOk);
    EXPECT_EQ(image.size(), size);
    EXPECT_EQ(size, 15u + 2 + 2 + 5);  // the old three records and the new string record
}

}  // namespace
}  // namespace orbisk
