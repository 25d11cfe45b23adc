#include "camera/config_descriptor.h"

#include <gtest/gtest.h>

#include "fake_usb.h"
#include "support/table_row.h"

namespace orbisk {
namespace {

using test::ConfigBuilder;

TEST(DescriptorWalkerTest, StopsAtShortLengthsAndTheTotalLength) {
    struct Case {
        const char* what;
        std::vector<uint8_t> config;
        int expected;  // descriptors seen after the configuration header
    };
    auto one_iface = ConfigBuilder().Interface(0, 14, 1).Interface(1, 14, 2).Build();
    auto zero_length = ConfigBuilder().Interface(0, 14, 1).Raw({0, 4, 1, 0}).Build();
    auto one_length = ConfigBuilder().Interface(0, 14, 1).Raw({1, 4}).Build();
    auto past_end = ConfigBuilder().Interface(0, 14, 1).Raw({40, 4, 1}).Build();
    // wTotalLength says 18 although 27 bytes are there: the second interface is not read.
    auto short_total = ConfigBuilder().Interface(0, 14, 1).Interface(1, 14, 2).Build(18);
    // wTotalLength larger than the buffer: the buffer's end counts.
    auto long_total = ConfigBuilder().Interface(0, 14, 1).Build(4000);
    const Case cases[] = {
        {"whole", one_iface, 2},   {"length 0", zero_length, 1},    {"length 1", one_length, 1},
        {"past end", past_end, 1}, {"short total", short_total, 1}, {"long total", long_total, 1},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        DescriptorWalker walker(c.config);
        int seen = -1;  // the configuration descriptor itself
        for (auto d = walker.Next(); !d.empty(); d = walker.Next()) {
            EXPECT_GE(d.size(), 2u) << c.what;
            ++seen;
        }
        EXPECT_EQ(seen, c.expected) << c.what;
    }
    EXPECT_TRUE(DescriptorWalker({}).Next().empty());
}

TEST(FindVideoExtensionUnitTest, QualifiesTheVendorUnit) {
    struct Case {
        const char* what;
        std::vector<uint8_t> config;
        uint8_t interface_number;
        int unit;
        bool second;
    };
    const uint8_t other_guid[16] = {1, 2, 3};
    const Case cases[] = {
        {"plain", test::CameraConfig(4), 0, 4, false},
        {"wrong interface", test::CameraConfig(4), 2, -1, false},
        {"two vendor units: the last one counts",
         ConfigBuilder()
             .Interface(0, 14, 1)
             .VideoExtUnit(3, kVendorExtUnitGuid)
             .VideoExtUnit(7, kVendorExtUnitGuid)
             .Build(),
         0, 7, false},
        {"second unit flagged",
         ConfigBuilder()
             .Interface(0, 14, 1)
             .VideoExtUnit(5, kSecondExtUnitGuid)
             .VideoExtUnit(4, kVendorExtUnitGuid)
             .Build(),
         0, 4, true},
        {"only another vendor's unit",
         ConfigBuilder().Interface(0, 14, 1).VideoExtUnit(4, other_guid).Build(), 0, -1, false},
        {"one control only",
         ConfigBuilder().Interface(0, 14, 1).VideoExtUnit(4, kVendorExtUnitGuid, 1).Build(), 0, -1,
         false},
        {"control size 1",
         ConfigBuilder()
             .Interface(0, 14, 1)
             .VideoExtUnit(4, kVendorExtUnitGuid, 24, {0xFF})
             .Build(),
         0, -1, false},
        {"data control missing",
         ConfigBuilder()
             .Interface(0, 14, 1)
             .VideoExtUnit(4, kVendorExtUnitGuid, 24, {0xFF, 0x02})
             .Build(),
         0, -1, false},
        {"unit after an endpoint is not scanned",
         ConfigBuilder()
             .Interface(0, 14, 1)
             .Endpoint(0x83, 3)
             .VideoExtUnit(4, kVendorExtUnitGuid)
             .Build(),
         0, -1, false},
        {"alternate setting 1 is not the control interface",
         ConfigBuilder().Interface(0, 14, 1, 1).VideoExtUnit(4, kVendorExtUnitGuid).Build(), 0, -1,
         false},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        bool second = !c.second;
        EXPECT_EQ(FindVideoExtensionUnit(c.config, c.interface_number, &second), c.unit) << c.what;
        EXPECT_EQ(second, c.second) << c.what;
    }
}

TEST(FindVideoExtensionUnitTest, ATruncatedUnitIsNotReadPastItsEnd) {
    auto config = ConfigBuilder().Interface(0, 14, 1).VideoExtUnit(4, kVendorExtUnitGuid).Build();
    // Claim more input pins than the descriptor holds: bControlSize would lie beyond it.
    config[9 + 9 + 21] = 200;
    EXPECT_EQ(FindVideoExtensionUnit(config, 0, nullptr), -1);
    // Cut the unit short in the total length: it is no longer a whole descriptor.
    auto cut = ConfigBuilder().Interface(0, 14, 1).VideoExtUnit(4, kVendorExtUnitGuid).Build(30);
    EXPECT_EQ(FindVideoExtensionUnit(cut, 0, nullptr), -1);
}

TEST(ListVideoExtensionUnitsTest, EveryUnitOfTheInterfaceInOrder) {
    const uint8_t other_guid[16] = {1};
    auto config = ConfigBuilder()
                      .Interface(0, 14, 1)
                      .VideoExtUnit(7, other_guid)
                      .VideoExtUnit(3, kVendorExtUnitGuid)
                      .Interface(2, 14, 1)
                      .VideoExtUnit(9, kVendorExtUnitGuid)
                      .Build();
    EXPECT_EQ(ListVideoExtensionUnits(config, 0), (std::vector<uint8_t>{7, 3}));
    EXPECT_EQ(ListVideoExtensionUnits(config, 2), (std::vector<uint8_t>{9}));
    EXPECT_TRUE(ListVideoExtensionUnits(config, 1).empty());
}

TEST(FindAudioExtensionUnitTest, FindsTheMakersCode) {
    EXPECT_EQ(FindAudioExtensionUnit(ConfigBuilder()
                                         .Interface(0, 1, 1)
                                         .AudioExtUnit(2, 0x1234)
                                         .AudioExtUnit(6, 0x2C7E, 9)
                                         .Build()),
              6);
    EXPECT_EQ(
        FindAudioExtensionUnit(ConfigBuilder().Interface(0, 1, 1).AudioExtUnit(2, 0x1234).Build()),
        -1);
    EXPECT_EQ(FindAudioExtensionUnit(
                  ConfigBuilder().Interface(0, 1, 1).AudioExtUnit(2, 0x2C7E, 7).Build()),
              -1);
    EXPECT_EQ(FindAudioExtensionUnit(ConfigBuilder().AudioExtUnit(2, 0x2C7E).Build()), -1);
}

TEST(HasBulkEndpointTest, LooksAtTheTransferType) {
    EXPECT_FALSE(HasBulkEndpoint(test::CameraConfig()));
    EXPECT_TRUE(HasBulkEndpoint(ConfigBuilder().Interface(1, 14, 2).Endpoint(0x81, 2).Build()));
    EXPECT_FALSE(HasBulkEndpoint(ConfigBuilder().Interface(1, 14, 2).Endpoint(0x81, 1).Build()));
}

}  // namespace
}  // namespace orbisk
