#include "camera/capabilities.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/clock.h"
#include "camera/config_descriptor.h"
#include "camera/usb_enumeration.h"
#include "fake_camera.h"
#include "support/table_row.h"

namespace orbisk {
namespace {

using test::ConfigBuilder;
using test::FakeDevice;

class CapabilitiesTest : public ::testing::Test {
  protected:
    // Plugs one camera and returns its proxy record, capability not yet filled.
    CameraDeviceRecord Record(test::FakeCamera camera,
                              std::vector<uint8_t> config = test::CameraConfig(9),
                              int class_set = kClassSetImaging) {
        bus.devices.clear();
        fake = bus.Plug({2}, camera, std::move(config));
        auto entries = enumeration.ListCameras(class_set);
        EXPECT_EQ(entries.size(), 1u);
        CameraDeviceRecord record;
        EXPECT_EQ(enumeration.BuildProxyRecord(entries.at(0), &record), 0);
        probe = factory.CreateProbe(record);
        return record;
    }
    VirtualClock clock;
    test::FakeCameraBus bus{clock};
    test::FakeTransportFactory factory{bus};
    UsbEnumeration enumeration{bus, clock};
    std::shared_ptr<test::FakeCamera> fake;
    std::unique_ptr<CameraProbe> probe;
};

TEST_F(CapabilitiesTest, ProbesTheGenerationsAndQualifies) {
    struct Case {
        const char* what;
        bool v2, v1, qualifies;
        bool supported, gen2, gen1;
        uint32_t access;
    };
    const Case cases[] = {
        {"second generation", true, false, true, true, true, false, kExtUnitProxy},
        {"first generation", false, true, true, true, false, true, kExtUnitProxy},
        {"extension unit only", false, false, true, true, false, false, kExtUnitProxy},
        {"second generation, qualify fails", true, false, false, true, true, false, 0},
        {"first generation, qualify fails", false, true, false, false, false, true, 0},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        test::FakeCamera camera;
        camera.gen2 = c.v2;
        camera.gen1 = c.v1;
        camera.qualifies = c.qualifies;
        camera.status_chip = 0x1234;
        auto record = Record(camera);
        ASSERT_TRUE(FillCapabilities(&record, probe.get(), true)) << c.what;
        const auto& cap = *record.capability;
        EXPECT_EQ(cap.supported, c.supported) << c.what;
        EXPECT_EQ(cap.vendor_gen2, c.gen2) << c.what;
        EXPECT_EQ(cap.vendor_gen1, c.gen1) << c.what;
        EXPECT_EQ(cap.ext_unit_access, c.access) << c.what;
        EXPECT_EQ(cap.unit_id, c.qualifies ? 9 : 0) << c.what;
        EXPECT_EQ(cap.vid(), 0x2C7E);
        EXPECT_EQ(cap.rev(), 0x11);
        // The status block came through one path or the other.
        if (c.supported) {
            EXPECT_EQ(cap.chip_identity(), 0x1234) << c.what;
        }
    }
}

TEST_F(CapabilitiesTest, ChipIdentityAdjustment) {
    struct Case {
        uint16_t word;
        uint8_t fe21[2];
        uint16_t expected;
    };
    const Case cases[] = {
        {0x0020, {0xFF, 0xFF}, 0x0071}, {0x0021, {0x20, 0x00}, 0x0071},
        {0x0021, {0x21, 0x00}, 0x0071}, {0x0021, {0x21, 0x01}, 0x0021},
        {0x0021, {0x22, 0x00}, 0x0021}, {0x0071, {0x20, 0x00}, 0x0071},
    };
    for (const auto& c : cases) {
        TRACE_ROW(cases, c);
        test::FakeCamera camera;
        camera.status_chip = c.word;
        std::memcpy(camera.chip, c.fe21, 2);
        auto record = Record(camera);
        ASSERT_TRUE(FillCapabilities(&record, probe.get(), true));
        EXPECT_EQ(record.capability->chip_identity(), c.expected) << std::hex << c.word;
    }
}

TEST_F(CapabilitiesTest, CameraWithoutExtensionUnit) {
    auto no_unit = ConfigBuilder().Interface(0, kClassVideo, kSubclassControl).Build();
    test::FakeCamera foreign;
    foreign.vid = 0x046D;
    foreign.gen2 = true;  // would answer, but is never asked
    auto record = Record(foreign, no_unit);
    ASSERT_TRUE(FillCapabilities(&record, probe.get(), true));
    EXPECT_FALSE(record.capability->supported);
    EXPECT_FALSE(record.capability->vendor_gen2);

    test::FakeCamera intel_host;
    intel_host.vid = 0x8086;
    intel_host.pid = 0x0A66;
    auto intel = Record(intel_host, no_unit);
    ASSERT_TRUE(FillCapabilities(&intel, probe.get(), true));
    EXPECT_TRUE(intel.capability->supported);
    EXPECT_TRUE(intel.capability->intel_mipi);
    EXPECT_EQ(intel.capability->chip_identity(), 0x5010);
}

TEST_F(CapabilitiesTest, MediaDeviceUsesTheAudioUnit) {
    auto audio = ConfigBuilder()
                     .Interface(3, kClassAudio, kSubclassControl)
                     .AudioExtUnit(6, kAudioExtensionCode)
                     .Build();
    test::FakeCamera camera;
    camera.gen2 = true;
    auto record = Record(camera, audio, kClassSetMedia);
    ASSERT_TRUE(FillCapabilities(&record, probe.get(), true));
    EXPECT_TRUE(record.capability->supported);
    EXPECT_TRUE(record.capability->vendor_gen2);
    EXPECT_EQ(record.capability->unit_id, 6);

    fake->gen2 = false;
    fake->gen1 = true;
    ASSERT_TRUE(FillCapabilities(&record, probe.get(), true));
    EXPECT_FALSE(record.capability->supported);
    EXPECT_TRUE(record.capability->vendor_gen1);
    EXPECT_EQ(record.capability->ext_unit_access, kExtUnitProxy);
}

TEST_F(CapabilitiesTest, KeepsOrRefreshesAndRefusesBadDescriptors) {
    auto record = Record(test::FakeCamera{});
    ASSERT_TRUE(FillCapabilities(&record, probe.get(), false));
    const CameraCapabilityRecord* first = record.capability.get();
    ASSERT_TRUE(FillCapabilities(&record, probe.get(), false));
    EXPECT_EQ(record.capability.get(), first);
    ASSERT_TRUE(FillCapabilities(&record, probe.get(), true));
    EXPECT_NE(record.capability.get(), nullptr);

    // A configuration that claims less than its own header.
    auto bad = FakeDevice(1, {3}, 0x2C7E, 0x6363, 1, ConfigBuilder().Build(4));
    bus.devices = {bad};
    CameraDeviceRecord broken;
    broken.tag = AccessTag::kProxy;
    broken.class_kind = 1;
    broken.usb = bus.Open(bad.node_handle);
    EXPECT_FALSE(FillCapabilities(&broken, probe.get(), true));
    EXPECT_FALSE(broken.capability);

    CameraDeviceRecord kernel;
    kernel.tag = AccessTag::kDirectShow;
    ASSERT_TRUE(FillCapabilities(&kernel, nullptr, true));
    EXPECT_TRUE(kernel.capability->kernel_streaming);
    EXPECT_EQ(kernel.capability->ext_unit_access, kExtUnitDirectShow);
}

}  // namespace
}  // namespace orbisk
