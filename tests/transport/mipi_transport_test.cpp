// The MIPI bridge's mailbox transport, through the camera's extension unit and through a host
// I2C adapter, against the simulated bridge.
#include <gtest/gtest.h>

#include <vector>

#include "camera/orv_cam.h"
#include "device/bridge_rig.h"
#include "sim/sim_i2c_adapter.h"
#include "transport/intel_mipi_host.h"
#include "transport/mipi_vendor_cmd.h"

namespace orbisk::test {
namespace {

CMipiVendorCmd* Mipi(BridgeRig& rig) {
    auto* cam = dynamic_cast<COrvCam*>(rig.camlib.camera());
    return cam ? dynamic_cast<CMipiVendorCmd*>(cam->Mipi()) : nullptr;
}

TEST(MipiTransportTest, MailboxCommandsThroughTheExtensionUnit) {
    BridgeRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    CMipiVendorCmd* mipi = Mipi(rig);
    ASSERT_NE(mipi, nullptr);

    // 60 bytes make a block of exactly one full piece: it must still run.
    std::vector<uint8_t> data(60);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(mipi->WriteMem(0x4000, 60, data.data(), nullptr, nullptr), kOk);
    std::vector<uint8_t> back(60);
    ASSERT_EQ(mipi->ReadMem(0x4000, 60, back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(back, data);

    ASSERT_EQ(mipi->I2CWrite(2, 0x3012, 0xA1B2), kOk);
    uint16_t value = 0;
    ASSERT_EQ(mipi->I2CRead(2, 0x3012, &value), kOk);
    EXPECT_EQ(value, 0xA1B2);
    ASSERT_EQ(mipi->I2CRead(1, 0x3012, &value), kOk);
    EXPECT_EQ(value, 0xB2);  // width 1: the second reply byte

    uint8_t reply[256] = {};
    EXPECT_EQ(mipi->GetFormatList(1, 16, reply), kOk);
    EXPECT_EQ(mipi->MIPI_ZalExtGet3AStatus(4, reply), kOk);
    // More than the reply area holds is not read.
    std::vector<uint8_t> big(300);
    EXPECT_EQ(mipi->GetPropSptBitmap(0, 300, big.data()), 1);
    // Bad arguments never reach the bridge.
    EXPECT_EQ(mipi->ReadMem(0x10000, 4, back.data(), nullptr, nullptr), 1);
    EXPECT_EQ(mipi->ReadMem(0, 256, back.data(), nullptr, nullptr), 1);
}

TEST(MipiTransportTest, TheBridgesErrorCodeIsLoggedAndFailsTheCommand) {
    BridgeRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    sim::BridgeFaults f;
    f.fail_command = 0x8001;  // a one-byte memory read
    f.fail_code = 4;
    rig.bridge().SetFaults(f);
    uint8_t byte = 0;
    EXPECT_EQ(Mipi(rig)->ReadMem(0xFEA0, 1, &byte, nullptr, nullptr), 1);
    EXPECT_TRUE(rig.log.Contains("byStatus is 4.:"));
    EXPECT_TRUE(rig.log.Contains("unknow sub command"));
    EXPECT_TRUE(rig.log.Contains("Send cmdMIPIXMemRead Fail"));
}

TEST(MipiTransportTest, ABridgeThatStaysBusyIsGivenUpAfter10001PollsOf20Ms) {
    BridgeRig rig;
    ASSERT_TRUE(rig.OpenAndLoad());
    sim::BridgeFaults f;
    f.stays_busy = true;
    rig.bridge().SetFaults(f);
    const uint64_t start = rig.clock.now_us();
    uint8_t byte = 0;
    EXPECT_EQ(Mipi(rig)->ReadMem(0xFEA0, 1, &byte, nullptr, nullptr), 1);
    EXPECT_TRUE(rig.log.Contains("After Send cmdMIPIXMemRead GetIdle TimeOut"));
    const uint64_t waited_ms = (rig.clock.now_us() - start) / 1000;
    EXPECT_GE(waited_ms, 10001u * 20);
    EXPECT_LT(waited_ms, 10002u * 20 + 10001u);  // plus each poll's own transfers
}

TEST(MipiTransportTest, TheModeFlagReadsTheBootRomAsTwo) {
    sim::SimSettings settings = BridgeRig::DefaultSettings();
    settings.bridge.complete = false;  // mode register 0x31
    BridgeRig rig(settings);
    ASSERT_TRUE(rig.OpenAndLoad());
    EXPECT_EQ(rig.camlib.CamLib_Bridge_GetMode(rig.camlib.handle(), 1), 2);
    EXPECT_EQ(rig.camlib.CamLib_Bridge_GetMode(rig.camlib.handle(), 0), 1);
}

// An adapter that keeps every message and answers reads with zeros.
class RecordingAdapter : public I2cAdapter {
  public:
    struct Message {
        uint16_t address;
        bool read;
        std::vector<uint8_t> bytes;
    };
    HResult Transfer(std::span<I2cMessage> messages) override {
        for (const I2cMessage& m : messages) {
            if (m.read) std::fill(m.data, m.data + m.length, 0);
            log.push_back({m.address, m.read, std::vector<uint8_t>(m.data, m.data + m.length)});
        }
        return kOk;
    }
    std::vector<Message> log;
};

TEST(MipiTransportTest, TheHostAdapterTakesPiecesOf64WithBit15OnAllButTheLast) {
    auto adapter = std::make_unique<RecordingAdapter>();
    RecordingAdapter& seen = *adapter;
    VirtualClock clock;
    Logger logger(clock, nullptr);
    CIntelMipiHost host(std::move(adapter), logger);
    std::vector<uint8_t> data(130, 0x5A);
    ASSERT_EQ(host.I2CLongWrite(0x78, 0x8010, 64, 130, data.data(), nullptr, nullptr), kOk);
    ASSERT_EQ(seen.log.size(), 3u);
    const uint16_t expected_reg[3] = {0x8010, 0x8050, 0x0090};
    const size_t expected_len[3] = {64, 64, 2};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(seen.log[i].address, 0x3C);  // the 7-bit form of 0x78
        EXPECT_EQ(seen.log[i].bytes[0] << 8 | seen.log[i].bytes[1], expected_reg[i]);
        EXPECT_EQ(seen.log[i].bytes.size(), expected_len[i] + 2);
    }
    seen.log.clear();
    std::vector<uint8_t> in(70);
    ASSERT_EQ(host.I2CLongRead(0x78, 0x0100, 70, in.data(), nullptr, nullptr), kOk);
    ASSERT_EQ(seen.log.size(), 4u);  // register write and read, twice
    EXPECT_EQ(seen.log[2].bytes, (std::vector<uint8_t>{0x01, 0x40}));
    EXPECT_EQ(seen.log[3].bytes.size(), 6u);

    CIntelMipiHost without(nullptr, logger);
    EXPECT_EQ(without.I2CLongRead(0x78, 0, 1, in.data(), nullptr, nullptr), 1);
}

TEST(MipiTransportTest, TheHostAdapterReachesTheSimulatedBridge) {
    VirtualClock clock;
    sim::BridgeSettings settings;
    settings.present = true;
    sim::SimBridge bridge(settings, {});
    RecordingLogSink log;
    Logger logger(clock, &log);
    CIntelMipiHost host(std::make_unique<sim::SimBridgeI2cAdapter>(bridge, clock), logger);
    std::vector<uint8_t> data = {1, 2, 3, 4, 5};
    ASSERT_EQ(host.WriteMem(0x2000, 5, data.data(), nullptr, nullptr), kOk) << log.Joined();
    std::vector<uint8_t> back(5);
    ASSERT_EQ(host.ReadMem(0x2000, 5, back.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(back, data);
    EXPECT_GT(clock.now_us(), 0u);  // the bus time was taken
    // A device that is not there does not acknowledge.
    sim::SimBridgeI2cAdapter adapter(bridge, clock);
    EXPECT_EQ(I2cReadRegister(adapter, 0x50, 0x0200, back.data(), 1), ResultFromErrno(ENXIO));
}

}  // namespace
}  // namespace orbisk::test
