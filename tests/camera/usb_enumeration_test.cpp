#include "camera/usb_enumeration.h"

#include <gtest/gtest.h>

#include "base/clock.h"
#include "camera/config_descriptor.h"
#include "fake_usb.h"

namespace orbisk {
namespace {

using test::ConfigBuilder;
using test::FakeDevice;

class UsbEnumerationTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    test::FakeUsbBus bus;
    UsbEnumeration enumeration{bus, clock};
};

TEST_F(UsbEnumerationTest, ListsFunctionsOfTheClassInBusOrder) {
    auto composite = ConfigBuilder()
                         .Interface(0, kClassVideo, kSubclassControl)
                         .Interface(1, kClassVideo, 2)
                         .Interface(2, kClassVideo, kSubclassControl)
                         .Interface(3, kClassAudio, kSubclassControl)
                         .Build();
    bus.devices.push_back(FakeDevice(1, {2}, 0x2C7E, 0x6363, 1));
    auto broken = FakeDevice(1, {3}, 0x2C7E, 0x6363, 1);
    broken.config_descriptor.clear();  // descriptors unreadable: a device with a problem
    bus.devices.push_back(broken);
    auto nameless = FakeDevice(1, {4}, 0x2C7E, 0x1111, 1, composite);
    nameless.product.clear();
    bus.devices.push_back(nameless);
    bus.devices.push_back(FakeDevice(2, {1}, 0x1234, 0x5678, 1,
                                     ConfigBuilder().Interface(0, 8, 6).Build()));  // storage

    auto cameras = enumeration.ListCameras(kClassSetImaging);
    ASSERT_EQ(cameras.size(), 3u);
    EXPECT_EQ(cameras[0].name, "Camera");
    EXPECT_EQ(cameras[1].node_handle, nameless.node_handle);
    EXPECT_EQ(cameras[1].interface_number, 0);
    EXPECT_EQ(cameras[2].interface_number, 2);
    // Positions count from 1 and include the device that was not listed.
    EXPECT_EQ(cameras[1].name, "Usb Video Device #3");
    EXPECT_EQ(cameras[2].name, "Usb Video Device #4");
    EXPECT_EQ(enumeration.DeviceCount(), 3);

    auto media = enumeration.ListCameras(kClassSetMedia);
    ASSERT_EQ(media.size(), 1u);
    EXPECT_EQ(media[0].interface_number, 3);
    EXPECT_EQ(media[0].class_kind, 0u);
}

TEST_F(UsbEnumerationTest, ProxyRecordDescribesTheFunctionAndItsPath) {
    auto camera = FakeDevice(3, {2, 4, 1}, 0x2C7E, 0x6363, 1);
    camera.speed = 4;
    bus.devices.push_back(camera);
    auto entries = enumeration.ListCameras(kClassSetImaging);
    ASSERT_EQ(entries.size(), 1u);
    const uint64_t start = clock.now_ms();

    CameraDeviceRecord record;
    ASSERT_EQ(enumeration.BuildProxyRecord(entries[0], &record), 0);
    EXPECT_STREQ(AccessTagText(record.tag), "OVCD");
    EXPECT_TRUE(record.usb);
    EXPECT_EQ(record.node_handle, camera.node_handle);
    EXPECT_EQ(record.class_kind, 1u);
    EXPECT_EQ(record.bus_generation, 3);
    EXPECT_EQ(record.location_path, "USBROOT(3)#USB(2)#USB(4)#USB(1)#USBMI(0)");
    const std::vector<uint64_t> ancestors = {NodeHandleFor(3, {2, 4}), NodeHandleFor(3, {2}),
                                             NodeHandleFor(3, {})};
    EXPECT_EQ(record.port_chain, ancestors);
    EXPECT_EQ(clock.now_ms() - start, 0u);  // the device was ready: no wait

    const PortLocation expected{1, NodeHandleFor(3, {2, 4})};
    EXPECT_EQ(UsbEnumeration::PortLocationOf(record), expected);
    EXPECT_EQ(enumeration.GetPortLocation(camera.node_handle), expected);
    EXPECT_FALSE(enumeration.GetPortLocation(12345).has_value());

    CameraDeviceRecord kernel;
    ASSERT_EQ(enumeration.BuildKernelRecord(entries[0], AccessTag::kMediaFound, &kernel), 0);
    EXPECT_STREQ(AccessTagText(kernel.tag), "ADFM");
    EXPECT_FALSE(kernel.usb);
    EXPECT_EQ(kernel.location_path, record.location_path);
}

TEST_F(UsbEnumerationTest, ProxyRecordFailures) {
    auto camera = FakeDevice(1, {2}, 0x2C7E, 0x6363, 1);
    bus.devices.push_back(camera);
    auto entries = enumeration.ListCameras(kClassSetImaging);
    ASSERT_EQ(entries.size(), 1u);
    CameraDeviceRecord record;

    bus.denied.push_back(camera.node_handle);
    EXPECT_NE(enumeration.BuildProxyRecord(entries[0], &record), 0);
    EXPECT_FALSE(record.usb);
    bus.denied.clear();

    // 32 hubs deep: no root hub within 31 ancestors.
    bus.devices[0] = FakeDevice(1, std::vector<uint8_t>(32, 1), 0x2C7E, 0x6363, 1);
    entries = enumeration.ListCameras(kClassSetImaging);
    EXPECT_EQ(enumeration.BuildProxyRecord(entries[0], &record), kErrorNoRootHub);

    bus.devices.clear();
    EXPECT_NE(enumeration.BuildProxyRecord(entries[0], &record), 0);
}

TEST_F(UsbEnumerationTest, DescriptorWaitPausesOnlyWhileTheDeviceIsNotReady) {
    bus.devices.push_back(FakeDevice(1, {2}, 0x2C7E, 0x6363, 1));
    const auto entry = enumeration.ListCameras(kClassSetImaging).at(0);
    struct Case {
        int not_ready;
        uint64_t waited_ms;
    };
    // A device that never gets ready is given up on after 25 pauses.
    for (const Case c : {Case{0, 0}, Case{2, 400}, Case{-1, 5000}}) {
        bus.not_ready_reads = c.not_ready;
        CameraDeviceRecord record;
        const uint64_t start = clock.now_ms();
        EXPECT_EQ(enumeration.BuildProxyRecord(entry, &record), 0);
        EXPECT_EQ(clock.now_ms() - start, c.waited_ms) << c.not_ready;
    }
}

TEST(PortFromLocationPathTest, OneOrTwoDigits) {
    struct Case {
        const char* path;
        uint32_t port;
    };
    const Case cases[] = {
        {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(12)", 12},
        {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)", 3},
        {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(123)", 0},
        {"USBROOT(1)#USB(2)#USB(7)", 7},  // behind a hub: the device's own port
        {"USBROOT(1)#USB()", 0},
        {"USBROOT(1)#USB(4", 0},
        {"USBROOT(1)", 0},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(PortFromLocationPath(c.path), c.port) << c.path;
}

TEST(BusGenerationTest, FollowsTheLinkSpeed) {
    EXPECT_EQ(BusGenerationForSpeed(5), 3);
    EXPECT_EQ(BusGenerationForSpeed(4), 3);
    EXPECT_EQ(BusGenerationForSpeed(3), 2);
    EXPECT_EQ(BusGenerationForSpeed(2), 1);
    EXPECT_EQ(BusGenerationForSpeed(0), 1);
}

}  // namespace
}  // namespace orbisk
