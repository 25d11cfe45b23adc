#include "camera/capabilities.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/clock.h"
#include "camera/config_descriptor.h"
#include "camera/usb_enumeration.h"
#include "fake_usb.h"

namespace orbisk {
namespace {

using test::ConfigBuilder;
using test::FakeDevice;

// A camera's answers to the enumeration's probes.
struct FakeProbe : CameraProbe {
    bool v2 = false;            // answers second-generation reads with the signature
    bool v1 = false;            // answers the first-generation probe
    bool qualifies = true;
    uint16_t chip_word = 0x1234;  // status bytes 6-7
    uint8_t fe21[2] = {0xFF, 0xFF};
    int xu_status_reads = 0;
    int qualified_unit = -1;

    void FillStatus(uint8_t* out, uint16_t length) {
        std::memset(out, 0, length);
        if (length >= 8) {
            out[6] = static_cast<uint8_t>(chip_word);
            out[7] = static_cast<uint8_t>(chip_word >> 8);
        }
        if (length >= 32 && v2) std::memcpy(out + 24, kSecondGenSignature, 8);
    }
    HResult ReadStatusV2(uint8_t record, uint8_t* out, uint16_t length) override {
        if (!v2) return kFail;
        if (record == 3) {
            std::memcpy(out, kSecondGenSignature, 8);
            return kOk;
        }
        FillStatus(out, length);
        return kOk;
    }
    bool ProbeV1() override { return v1; }
    bool QualifyExtUnit(uint8_t unit) override {
        qualified_unit = unit;
        return qualifies;
    }
    HResult ReadStatusExtUnit(uint8_t, uint8_t* out, uint16_t length) override {
        ++xu_status_reads;
        FillStatus(out, length);
        return kOk;
    }
    HResult ReadMemExtUnit(uint8_t, uint16_t address, uint8_t* out, uint16_t length) override {
        if (address != 0xFE21 || length != 2) return kFail;
        std::memcpy(out, fe21, 2);
        return kOk;
    }
};

class CapabilitiesTest : public ::testing::Test {
protected:
    CameraDeviceRecord Record(UsbDeviceInfo device, int class_set = kClassSetImaging) {
        bus.devices = {device};
        auto entries = enumeration.ListCameras(class_set);
        EXPECT_EQ(entries.size(), 1u);
        CameraDeviceRecord record;
        EXPECT_EQ(enumeration.BuildProxyRecord(entries.at(0), &record), 0);
        return record;
    }
    VirtualClock clock;
    test::FakeUsbBus bus;
    UsbEnumeration enumeration{bus, clock};
    FakeProbe probe;
};

TEST_F(CapabilitiesTest, ProbesTheGenerationsAndQualifies) {
    struct Case {
        const char* what;
        bool v2, v1, qualifies;
        bool supported, gen2, gen1;
        uint32_t access;
        int xu_status_reads;
    };
    const Case cases[] = {
        {"second generation", true, false, true, true, true, false, kExtUnitProxy, 0},
        {"first generation", false, true, true, true, false, true, kExtUnitProxy, 1},
        {"extension unit only", false, false, true, true, false, false, kExtUnitProxy, 1},
        {"second generation, qualify fails", true, false, false, true, true, false, 0, 0},
        {"first generation, qualify fails", false, true, false, false, false, true, 0, 0},
    };
    for (const auto& c : cases) {
        probe = FakeProbe{};
        probe.v2 = c.v2;
        probe.v1 = c.v1;
        probe.qualifies = c.qualifies;
        auto record = Record(FakeDevice(1, {2}, 0x2C7E, 0x6363, 0x11, test::CameraConfig(9)));
        ASSERT_TRUE(FillCapabilities(&record, &probe, true)) << c.what;
        const auto& cap = *record.capability;
        EXPECT_EQ(cap.supported, c.supported) << c.what;
        EXPECT_EQ(cap.vendor_gen2, c.gen2) << c.what;
        EXPECT_EQ(cap.vendor_gen1, c.gen1) << c.what;
        EXPECT_EQ(cap.ext_unit_access, c.access) << c.what;
        EXPECT_EQ(cap.unit_id, c.qualifies ? 9 : 0) << c.what;
        EXPECT_EQ(probe.qualified_unit, 9) << c.what;
        EXPECT_EQ(probe.xu_status_reads, c.xu_status_reads) << c.what;
        EXPECT_EQ(cap.vid(), 0x2C7E);
        EXPECT_EQ(cap.rev(), 0x11);
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
        probe = FakeProbe{};
        probe.chip_word = c.word;
        std::memcpy(probe.fe21, c.fe21, 2);
        auto record = Record(FakeDevice(1, {2}, 0x2C7E, 0x6363, 1));
        ASSERT_TRUE(FillCapabilities(&record, &probe, true));
        EXPECT_EQ(record.capability->chip_identity(), c.expected) << std::hex << c.word;
    }
}

TEST_F(CapabilitiesTest, CameraWithoutExtensionUnit) {
    auto no_unit = ConfigBuilder().Interface(0, kClassVideo, kSubclassControl).Build();
    auto record = Record(FakeDevice(1, {2}, 0x046D, 0x0825, 1, no_unit));
    ASSERT_TRUE(FillCapabilities(&record, &probe, true));
    EXPECT_FALSE(record.capability->supported);
    EXPECT_EQ(probe.qualified_unit, -1);  // nothing was sent to a foreign camera

    auto intel = Record(FakeDevice(1, {3}, 0x8086, 0x0A66, 1, no_unit));
    ASSERT_TRUE(FillCapabilities(&intel, &probe, true));
    EXPECT_TRUE(intel.capability->supported);
    EXPECT_TRUE(intel.capability->intel_mipi);
    EXPECT_EQ(intel.capability->chip_identity(), 0x5010);
}

TEST_F(CapabilitiesTest, MediaDeviceUsesTheAudioUnit) {
    auto audio = ConfigBuilder()
                     .Interface(3, kClassAudio, kSubclassControl)
                     .AudioExtUnit(6, kAudioExtensionCode)
                     .Build();
    probe.v2 = true;
    auto record = Record(FakeDevice(1, {2}, 0x2C7E, 0x6363, 1, audio), kClassSetMedia);
    ASSERT_TRUE(FillCapabilities(&record, &probe, true));
    EXPECT_TRUE(record.capability->supported);
    EXPECT_TRUE(record.capability->vendor_gen2);
    EXPECT_EQ(record.capability->unit_id, 6);

    probe.v2 = false;
    probe.v1 = true;
    ASSERT_TRUE(FillCapabilities(&record, &probe, true));
    EXPECT_FALSE(record.capability->supported);
    EXPECT_TRUE(record.capability->vendor_gen1);
    EXPECT_EQ(record.capability->ext_unit_access, kExtUnitProxy);
}

TEST_F(CapabilitiesTest, KeepsOrRefreshesAndRefusesBadDescriptors) {
    auto record = Record(FakeDevice(1, {2}, 0x2C7E, 0x6363, 1));
    ASSERT_TRUE(FillCapabilities(&record, &probe, false));
    const CameraCapabilityRecord* first = record.capability.get();
    ASSERT_TRUE(FillCapabilities(&record, &probe, false));
    EXPECT_EQ(record.capability.get(), first);
    ASSERT_TRUE(FillCapabilities(&record, &probe, true));
    EXPECT_NE(record.capability.get(), nullptr);

    // A configuration that claims less than its own header.
    auto bad = FakeDevice(1, {3}, 0x2C7E, 0x6363, 1, ConfigBuilder().Build(4));
    bus.devices = {bad};
    CameraDeviceRecord broken;
    broken.tag = AccessTag::kProxy;
    broken.class_kind = 1;
    broken.usb = bus.Open(bad.node_handle);
    EXPECT_FALSE(FillCapabilities(&broken, &probe, true));
    EXPECT_FALSE(broken.capability);

    CameraDeviceRecord kernel;
    kernel.tag = AccessTag::kDirectShow;
    ASSERT_TRUE(FillCapabilities(&kernel, nullptr, true));
    EXPECT_TRUE(kernel.capability->kernel_streaming);
    EXPECT_EQ(kernel.capability->ext_unit_access, kExtUnitDirectShow);
}

}  // namespace
}  // namespace orbisk
