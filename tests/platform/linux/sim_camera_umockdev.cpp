// The real libusb and V4L2 paths of the tool against the simulated camera, through the
// emulated kernel: the transports qualify, read and write the camera, reset it, and find it
// again when it comes back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/logger.h"
#include "platform/device_lock.h"
#include "platform/linux/emulated_sim_bus.h"
#include "sim/sim_fixture.h"
#include "support/busy_wait.h"
#include "support/recorders.h"
#include "transport/driver_requests.h"
#include "transport/ext_unit.h"
#include "transport/ext_unit_kernel.h"
#include "transport/vendor_request_v2.h"

namespace orbisk::test {
namespace {

constexpr uint8_t kUnit = 4;  // the simulated camera's extension unit
const uint64_t kCamera = NodeHandleFor(1, {1});

class SimOverKernelTest : public ::testing::Test {
  protected:
    SimOverKernelTest()
        : lock_name_("orbisk-test-linux-" + std::to_string(::getpid())),
          lock_(OpenDeviceLock(lock_name_)),
          logger_(clock_, &log_),
          bus_(kernel_, clock_) {}
    ~SimOverKernelTest() override { RemoveDeviceLock(lock_name_); }

    // Plugs in a camera with the demo layout in its memory and starts the bus.
    void Plug(sim::SimSettings settings = {}) {
        camera_ =
            std::make_shared<sim::SimCamera>(std::move(settings), sim::test::BuildImage(), clock_);
        bus_.AddCamera(camera_);
        ASSERT_TRUE(bus_.Start());
    }

    UsbDeviceInfo Find() {
        for (const UsbDeviceInfo& info : bus_.List())
            if (info.node_handle == kCamera) return info;
        ADD_FAILURE() << "camera not listed";
        return {};
    }

    std::vector<uint8_t> MemoryAt(uint32_t address, uint32_t length) {
        const std::vector<uint8_t> memory = camera_->Memory();
        return std::vector<uint8_t>(memory.begin() + address, memory.begin() + address + length);
    }

    std::string lock_name_;
    std::shared_ptr<DeviceLock> lock_;
    VirtualClock clock_;
    RecordingLogSink log_;
    Logger logger_;
    std::shared_ptr<sim::SimCamera> camera_;
    EmulatedKernel kernel_;
    EmulatedSimBus bus_;
};

TEST_F(SimOverKernelTest, DirectUsbQualifiesReadsAndWritesTheCamera) {
    Plug();
    auto handle = bus_.Open(kCamera);
    ASSERT_NE(handle, nullptr);

    DriverExtUnit target{*handle, kUnit, 0, *lock_, logger_};
    EXPECT_TRUE(ExtUnit_DevQualify(target));

    CExtUnit xu(*handle, kUnit, 0, logger_, lock_);
    EXPECT_TRUE(xu.DevQualify());
    std::vector<uint8_t> code(0x900);
    ASSERT_EQ(xu.SPI_SF_Read(0, code.size(), code.data(), 0, nullptr, nullptr), kOk);
    EXPECT_EQ(code, MemoryAt(0, code.size()));

    // Release the write protection, erase a sector and program it.
    const uint8_t one = 1;
    ASSERT_EQ(xu.WriteMem(0xFEA0, 1, &one, nullptr, nullptr), kOk);
    ASSERT_EQ(xu.WriteMem(0xFEA6, 1, &one, nullptr, nullptr), kOk);
    ASSERT_EQ(xu.SPI_SF_EraseSector(0x10000, 0x1000), kOk);
    ASSERT_TRUE(test::WaitWhileBusy(
        clock_, [&](uint8_t* status) { return xu.SPI_SF_ReadSr(status) == kOk; }));
    std::vector<uint8_t> block(600);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 13 + 1);
    ASSERT_EQ(xu.SPI_SF_Write(0x10000, block.size(), block.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(block.size());
    ASSERT_EQ(xu.SPI_SF_Read(0x10000, back.size(), back.data(), 0, nullptr, nullptr), kOk);
    EXPECT_EQ(back, block);
    EXPECT_EQ(MemoryAt(0x10000, block.size()), block);
}

TEST_F(SimOverKernelTest, KernelDriverPathQualifiesAndReadsTheCamera) {
    Plug();
    std::shared_ptr<CameraDriverControl> control = bus_.OpenCameraDriver(kCamera);
    ASSERT_NE(control, nullptr);
    HResult result = kFail;
    CExtUnitDShow xu(control, {kUnit}, logger_, lock_, &result);
    ASSERT_EQ(result, kOk);
    EXPECT_TRUE(xu.DevQualify());
    std::vector<uint8_t> code(0x900);
    ASSERT_EQ(xu.SPI_SF_Read(0, code.size(), code.data(), 0, nullptr, nullptr), kOk);
    EXPECT_EQ(code, MemoryAt(0, code.size()));
}

TEST_F(SimOverKernelTest, KernelDriverPathKeepsTheSizeTheDriverKnows) {
    Plug();
    std::shared_ptr<CameraDriverControl> control = bus_.OpenCameraDriver(kCamera);
    ASSERT_NE(control, nullptr);
    HResult result = kFail;
    CExtUnitDShow xu(control, {kUnit}, logger_, lock_, &result);
    ASSERT_EQ(result, kOk);
    ASSERT_TRUE(xu.DevQualify());  // the driver meets the data control at 8 bytes

    // The camera agrees to 64, the driver does not: the first read fails without reaching the
    // camera, the transport goes back to 8, and the next read works.
    uint16_t size = 64;
    ASSERT_TRUE(xu.ChangeDataControlSize(&size));
    std::vector<uint8_t> code(0x200);
    EXPECT_NE(xu.SPI_SF_Read(0, code.size(), code.data(), 0, nullptr, nullptr), kOk);
    ASSERT_EQ(xu.SPI_SF_Read(0, code.size(), code.data(), 0, nullptr, nullptr), kOk);
    EXPECT_EQ(code, MemoryAt(0, code.size()));
    EXPECT_EQ(xu.data_control_size(), 8u);
    size = 64;
    EXPECT_FALSE(xu.ChangeDataControlSize(&size));  // not asked for again
    EXPECT_EQ(size, 8);
}

TEST_F(SimOverKernelTest, ResetCameraLeavesAndComesBackOnItsPortWithItsNewIdentity) {
    Plug();
    auto handle = bus_.Open(kCamera);
    ASSERT_NE(handle, nullptr);
    DriverExtUnit target{*handle, kUnit, 0, *lock_, logger_};
    ASSERT_TRUE(ExtUnit_Reset(target, 0, 9));  // start the tagged code in memory

    ASSERT_TRUE(bus_.WaitForChange(5000));  // it leaves
    const std::vector<UsbDeviceInfo> away = bus_.List();
    EXPECT_TRUE(std::none_of(away.begin(), away.end(),
                             [](const UsbDeviceInfo& d) { return d.node_handle == kCamera; }));
    ASSERT_TRUE(bus_.WaitForChange(5000));  // and comes back
    const UsbDeviceInfo info = Find();
    EXPECT_EQ(info.vid, 0x1234);  // the identity in the image's configuration area
    EXPECT_EQ(info.pid, 0x5678);
    EXPECT_EQ(info.serial, "SN0001");

    uint8_t status[8] = {};
    uint32_t got = 0;
    EXPECT_EQ(handle->ControlTransfer(0xA1, 0x81, 10 << 8, kUnit << 8, status, 8, 1000, &got),
              kDeviceGone);
    auto again = bus_.Open(kCamera);
    ASSERT_NE(again, nullptr);
    DriverExtUnit new_target{*again, kUnit, 0, *lock_, logger_};
    EXPECT_TRUE(ExtUnit_DevQualify(new_target));
}

TEST_F(SimOverKernelTest, ListsTheCameraAsItPresentsItself) {
    Plug();
    const UsbDeviceInfo info = Find();
    const UsbDeviceInfo own = camera_->ListEntries().front();
    EXPECT_EQ(info.vid, 0x2C7E);  // the boot ROM's identity
    EXPECT_EQ(info.pid, own.pid);
    EXPECT_EQ(info.port_chain, std::vector<uint8_t>{1});
    EXPECT_EQ(info.device_descriptor, own.device_descriptor);
    EXPECT_EQ(info.config_descriptor, own.config_descriptor);
    EXPECT_EQ(info.product, own.product);
    EXPECT_TRUE(info.has_camera_driver);
    EXPECT_TRUE(bus_.CanOpenDirectly(kCamera));
}

TEST_F(SimOverKernelTest, KernelDriverFaceKeepsTheLengthItLearned) {
    Plug();
    auto control = bus_.OpenCameraDriver(kCamera);
    ASSERT_NE(control, nullptr);
    uint8_t packet[64] = {};
    uint16_t length = 0;
    ASSERT_EQ(control->GetLen(kUnit, 11, &length), kOk);  // the driver learns 8
    EXPECT_EQ(length, 8);
    const uint8_t grow[8] = {0x00, 0x16, 0, 0, 64, 0, 0, 0};
    ASSERT_EQ(control->SetCur(kUnit, 10, grow, 8), kOk);
    ASSERT_EQ(control->GetLen(kUnit, 11, &length), kOk);
    EXPECT_EQ(length, 64);  // the camera agreed
    EXPECT_EQ(control->GetCur(kUnit, 11, packet, 64), ResultFromErrno(ENOBUFS));
    EXPECT_EQ(control->GetCur(kUnit + 1, 11, packet, 8), ResultFromErrno(ENOENT));
}

TEST_F(SimOverKernelTest, VendorRequestsMoveLargeBlocksThroughLibusb) {
    sim::SimSettings settings;
    settings.generation = sim::Generation::kVendorV2;
    Plug(settings);
    auto handle = bus_.Open(kCamera);
    ASSERT_NE(handle, nullptr);
    CVendorRequestV2 vendor(*handle, logger_);
    EXPECT_TRUE(vendor.DevQualify());
    // Three requests of up to 4,096 bytes; the emulated kernel carries each as one URB.
    std::vector<uint32_t> pieces;
    auto progress = [](void* context, uint32_t bytes) {
        static_cast<std::vector<uint32_t>*>(context)->push_back(bytes);
    };
    std::vector<uint8_t> code(10000);
    ASSERT_EQ(vendor.SPI_SF_Read(0, code.size(), code.data(), 0, progress, &pieces), kOk);
    EXPECT_EQ(code, MemoryAt(0, code.size()));
    EXPECT_EQ(pieces, (std::vector<uint32_t>{4096, 4096, 1808}));
}

}  // namespace
}  // namespace orbisk::test
