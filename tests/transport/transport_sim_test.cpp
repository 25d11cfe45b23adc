// The transports against the simulated camera: the real wire protocol from both sides.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "base/logger.h"
#include "sim/sim_bus.h"
#include "sim/sim_camera.h"
#include "support/busy_wait.h"
#include "support/recorders.h"
#include "transport/transports.h"

namespace orbisk {
namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t(seed + i * 13 + (i >> 8));
    return out;
}

// Polls the flash's busy bit through the transport, as the flows do after an erase.
bool WaitWhileBusy(CVendorCmdCommon& transport, Clock& clock) {
    return test::WaitWhileBusy(
        clock, [&](uint8_t* status) { return transport.SPI_SF_ReadSr(status) == kOk; });
}

class TransportSimTest : public ::testing::Test {
  protected:
    TransportSimTest()
        : lock_name_("orbisk-test-sim-" + std::to_string(getpid())),
          logger_(clock_, &log_),
          lock_(OpenDeviceLock(lock_name_)),
          bus_(clock_) {}
    ~TransportSimTest() override { RemoveDeviceLock(lock_name_); }

    void Plug(sim::SimSettings settings = {}) {
        settings_ = settings;
        camera_ = std::make_shared<sim::SimCamera>(settings, std::vector<uint8_t>{}, clock_);
        bus_.AddCamera(camera_);
        node_ = bus_.List().front().node_handle;
    }
    std::unique_ptr<UsbDeviceHandle> Open() { return bus_.Open(node_); }

    std::string lock_name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_;
    std::shared_ptr<DeviceLock> lock_;
    sim::SimUsbBus bus_;
    sim::SimSettings settings_;
    std::shared_ptr<sim::SimCamera> camera_;
    uint64_t node_ = 0;
};

TEST_F(TransportSimTest, ExtensionUnitQualifiesReadsStatusAndRoundTripsMemory) {
    Plug();
    auto handle = Open();
    CExtUnit xu(*handle, settings_.unit_id, settings_.vc_interface, logger_, lock_);
    EXPECT_TRUE(xu.DevQualify());
    EXPECT_FALSE(xu.mipi_io());
    std::vector<uint8_t> status(104);
    ASSERT_EQ(xu.GetDevStatus(0, status.data(), 104), kOk);
    EXPECT_EQ(status, camera_->StatusBlock());

    // 13 bytes: a partial last packet each way.
    const auto data = Pattern(13, 1);
    ASSERT_EQ(xu.WriteMem(0x2000, 13, data.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(13);
    ASSERT_EQ(xu.ReadMem(0x2000, 13, back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(back, data);

    // A larger packet size, then a transfer of many packets.
    uint16_t size = 64;
    ASSERT_TRUE(xu.ChangeDataControlSize(&size));
    const auto big = Pattern(1000, 7);
    ASSERT_EQ(xu.WriteMem(0x3000, 1000, big.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> big_back(1000);
    ASSERT_EQ(xu.ReadMem(0x3000, 1000, big_back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(big_back, big);
    EXPECT_TRUE(log_.lines().empty()) << log_.Joined();
}

TEST_F(TransportSimTest, ExtensionUnitWritesAndReadsTheSerialFlash) {
    Plug();  // boot ROM: the flash may be written
    auto handle = Open();
    CExtUnit xu(*handle, settings_.unit_id, settings_.vc_interface, logger_, lock_);
    uint16_t size = 512;
    ASSERT_TRUE(xu.ChangeDataControlSize(&size));
    ASSERT_EQ(xu.SPI_SF_EraseChip(0), kOk);
    ASSERT_TRUE(WaitWhileBusy(xu, clock_));
    const auto image = Pattern(0x18000, 3);
    std::vector<uint32_t> progress;
    ASSERT_EQ(xu.SPI_SF_Write(0, 0x18000, image.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(0x18000);
    ASSERT_EQ(xu.SPI_SF_Read(0, 0x18000, back.data(), 0, nullptr, nullptr), kOk);
    EXPECT_EQ(back, image);
    const auto memory = camera_->Memory();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    // Erasing one sector, above 64 KB, leaves its neighbours and the sector its low address
    // bits alone would name.
    ASSERT_EQ(xu.SPI_SF_EraseSector(0x11000, 0x1000), kOk);
    ASSERT_TRUE(WaitWhileBusy(xu, clock_));
    const auto erased = camera_->Memory();
    EXPECT_EQ(erased[0x10FFF], image[0x10FFF]);
    EXPECT_TRUE(std::all_of(erased.begin() + 0x11000, erased.begin() + 0x12000,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(erased[0x12000], image[0x12000]);
    EXPECT_EQ(erased[0x1000], image[0x1000]);
}

// Two transport objects on two threads: the device lock keeps each command, its data phase
// and its status apart, or the camera's command channel would see them interleaved.
TEST_F(TransportSimTest, TwoTransportsOnTwoThreadsDoNotInterleaveTheirCommands) {
    Plug();
    auto handle = Open();
    CExtUnit first(*handle, settings_.unit_id, settings_.vc_interface, logger_, lock_);
    CExtUnit second(*handle, settings_.unit_id, settings_.vc_interface, logger_, lock_);
    auto worker = [](CExtUnit* xu, uint32_t base, uint8_t seed, int* failures) {
        for (int round = 0; round < 100; ++round) {
            const auto data = Pattern(13 + round, uint8_t(seed + round));
            std::vector<uint8_t> back(data.size());
            if (xu->WriteMem(base, uint32_t(data.size()), data.data(), nullptr, nullptr) != kOk ||
                xu->ReadMem(base, uint32_t(back.size()), back.data(), nullptr, nullptr) != kOk ||
                back != data)
                ++*failures;
        }
    };
    int failures_first = 0;
    int failures_second = 0;
    std::thread a(worker, &first, 0x2000, 1, &failures_first);
    std::thread b(worker, &second, 0x3000, 2, &failures_second);
    a.join();
    b.join();
    EXPECT_EQ(failures_first, 0);
    EXPECT_EQ(failures_second, 0);
    EXPECT_TRUE(log_.lines().empty()) << log_.Joined();
}

TEST_F(TransportSimTest, RefusedCommandIsReportedWithTheDevicesStatusAndAborted) {
    Plug();
    auto handle = Open();
    CExtUnit xu(*handle, settings_.unit_id, settings_.vc_interface, logger_, lock_);
    uint8_t buf[32] = {};
    const HResult hr = xu.ReadMem(0xFFF0, 32, buf, nullptr, nullptr);  // past the 64 KiB space
    EXPECT_LT(hr, 0);
    EXPECT_EQ(xu.GetLastCmdStatus(), 7);
    EXPECT_TRUE(log_.Contains("VCMD_STS_ERR_OUTRANGE")) << log_.Joined();
    EXPECT_TRUE(xu.DevQualify());  // the abort left the channel usable
}

TEST_F(TransportSimTest, BadQualifyReplyAndVanishedCamera) {
    sim::SimSettings settings;
    settings.faults.bad_qualify = true;
    // Transfers 1-8 probe for a MIPI bridge, 9-10 qualify, 11 sends the read command.
    settings.faults.disconnect_at = 12;
    Plug(settings);
    auto handle = Open();
    CExtUnit xu(*handle, settings_.unit_id, settings_.vc_interface, logger_, lock_);
    EXPECT_FALSE(xu.DevQualify());
    EXPECT_TRUE(log_.Contains("Not zorvine device"));
    uint8_t buf[8] = {};
    EXPECT_EQ(xu.ReadMem(0, 8, buf, nullptr, nullptr), kDeviceGone);
    EXPECT_TRUE(log_.Contains("ReadMem GetData 0x0Device not connected")) << log_.Joined();
    EXPECT_FALSE(camera_->Present());
}

TEST_F(TransportSimTest, SecondGenerationVendorRequests) {
    sim::SimSettings settings;
    settings.generation = sim::Generation::kVendorV2;
    Plug(settings);
    auto handle = Open();
    CVendorRequestV2 v2(*handle, logger_);
    EXPECT_TRUE(v2.DevQualify());
    std::vector<uint8_t> status(104);
    ASSERT_EQ(v2.GetDevStatus(0, status.data(), 104), kOk);
    EXPECT_EQ(status, camera_->StatusBlock());
    const auto data = Pattern(10000, 5);
    ASSERT_EQ(v2.WriteMem(0x4000, 10000, data.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(10000);
    ASSERT_EQ(v2.ReadMem(0x4000, 10000, back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(back, data);
    ASSERT_EQ(v2.SPI_SF_EraseSector(0x12000, 0x1000), kOk);
    ASSERT_TRUE(WaitWhileBusy(v2, clock_));
    const auto code = Pattern(5000, 9);
    ASSERT_EQ(v2.SPI_SF_Write(0x12000, 5000, code.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> code_back(5000);
    ASSERT_EQ(v2.SPI_SF_Read(0x12000, 5000, code_back.data(), 0, nullptr, nullptr), kOk);
    EXPECT_EQ(code_back, code);
}

TEST_F(TransportSimTest, FirstGenerationVendorRequestsWithTheExtensionUnitBeneath) {
    sim::SimSettings settings;
    settings.generation = sim::Generation::kVendorV1;
    Plug(settings);
    auto handle = Open();
    CVendorRequestV1 v1(*handle, settings_.unit_id, settings_.vc_interface, logger_, lock_);
    EXPECT_TRUE(v1.DevQualify());
    ASSERT_EQ(v1.SPI_SF_EraseChip(0), kOk);
    ASSERT_TRUE(WaitWhileBusy(v1, clock_));
    const auto code = Pattern(5000, 11);
    ASSERT_EQ(v1.SPI_SF_Write(0x10000, 5000, code.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(5000);
    ASSERT_EQ(v1.SPI_SF_Read(0x10000, 5000, back.data(), 0, nullptr, nullptr), kOk);
    EXPECT_EQ(back, code);
    uint8_t alt[16] = {};
    ASSERT_EQ(v1.SPI_SF_ReadAlt(0x10000, 16, alt, 0, nullptr, nullptr), kOk);
    EXPECT_TRUE(std::equal(alt, alt + 16, code.begin()));
}

TEST_F(TransportSimTest, KernelDriverTransportFindsTheUnitAndMovesData) {
    Plug();
    HResult result = kFail;
    CExtUnitMF ks(bus_.OpenCameraDriver(node_), {2, settings_.unit_id}, logger_, lock_, &result);
    ASSERT_EQ(result, kOk);
    EXPECT_EQ(ks.unit_id(), settings_.unit_id);
    uint16_t size = 256;
    ASSERT_TRUE(ks.ChangeDataControlSize(&size));
    EXPECT_TRUE(ks.DevQualify());
    const auto data = Pattern(700, 2);
    ASSERT_EQ(ks.WriteMem(0x5000, 700, data.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(700);
    ASSERT_EQ(ks.ReadMem(0x5000, 700, back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(back, data);
}

TEST_F(TransportSimTest, DriverLevelHelpersBeforeACameraObjectExists) {
    Plug();
    auto handle = Open();
    const DriverExtUnit target{*handle, settings_.unit_id, settings_.vc_interface, *lock_, logger_};
    EXPECT_TRUE(ExtUnit_DevQualify(target));
    std::vector<uint8_t> status(96);
    ASSERT_TRUE(ExtUnit_GetDevStatus(target, 96, status.data()));
    const auto block = camera_->StatusBlock();
    EXPECT_TRUE(std::equal(status.begin(), status.end(), block.begin()));
    uint8_t id[2] = {};
    ASSERT_TRUE(ExtUnit_ReadMem(target, 0xFE21, 2, id));
    EXPECT_EQ(id[0], block[6]);
    EXPECT_EQ(id[1], block[7]);
    const uint8_t value[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    ASSERT_TRUE(ExtUnit_WriteMem(target, 0x2100, 13, value));
    uint8_t back[13] = {};
    ASSERT_TRUE(ExtUnit_ReadMem(target, 0x2100, 13, back));
    EXPECT_TRUE(std::equal(back, back + 13, value));
    // A reset takes the camera off the bus.
    ASSERT_TRUE(ExtUnit_Reset(target, 0, 7));
    EXPECT_FALSE(camera_->Present());
}

}  // namespace
}  // namespace orbisk
