#include "transport/ext_unit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <vector>

#include "base/clock.h"
#include "base/logger.h"
#include "support/recorders.h"
#include "support/table_row.h"
#include "transport/mock_usb.h"

namespace orbisk {
namespace {

using test::Bytes;
using test::Hex;
using test::WireRequest;

constexpr uint8_t kUnit = 4;
constexpr uint8_t kInterface = 0;
constexpr uint16_t kUnitIndex = kUnit << 8 | kInterface;

void Collect(void* context, uint32_t bytes) {
    static_cast<std::vector<uint32_t>*>(context)->push_back(bytes);
}

class ExtUnitTest : public ::testing::Test {
  protected:
    ExtUnitTest()
        : lock_name_("orbisk-test-xu-" + std::to_string(getpid())),
          logger_(clock_, &log_),
          lock_(OpenDeviceLock(lock_name_)) {}
    ~ExtUnitTest() override { RemoveDeviceLock(lock_name_); }

    std::unique_ptr<CExtUnit> Make() {
        auto unit = std::make_unique<CExtUnit>(device_, kUnit, kInterface, logger_, lock_, 1000);
        device_.requests.clear();
        device_.ResetCounter();
        return unit;
    }
    // The command blocks sent, in order.
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const WireRequest& r : device_.requests)
            if (!r.in() && r.request == 0x01 && r.selector() == 10) out.push_back(Hex(r.data));
        return out;
    }
    // Data packets moved on selector 11.
    std::vector<WireRequest> Packets() const {
        std::vector<WireRequest> out;
        for (const WireRequest& r : device_.requests)
            if (r.selector() == 11 && r.request != 0x85) out.push_back(r);
        return out;
    }

    std::string lock_name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_;
    std::shared_ptr<DeviceLock> lock_;
    test::MockUsbDevice device_;
};

TEST_F(ExtUnitTest, ConstructionClaimsTheInterfaceAndProbesForAMipiBridge) {
    struct Case {
        const char* signature;  // status bytes 24..31
        bool mipi;
    };
    for (const Case& c :
         {Case{"4D 49 50 49 20 49 4F 00", true}, Case{"4D 49 50 49 53 49 4D 00", false}}) {
        test::MockUsbDevice device;
        for (int i = 0; i < 3; ++i) device.QueueReply(Bytes("00 00 00 00 00 00 00 00"));
        device.QueueReply(Bytes(c.signature));
        CExtUnit unit(device, kUnit, kInterface, logger_, lock_, 1000);
        EXPECT_EQ(unit.mipi_io(), c.mipi);
        EXPECT_EQ(device.claims, std::vector<uint8_t>{kInterface});
        ASSERT_EQ(device.requests.size(), 8u);
        // SET_CUR of the command, GET_CUR of one 8-byte packet, per record 0..3.
        const WireRequest& set = device.requests[6];
        EXPECT_EQ(set.type, 0x21);
        EXPECT_EQ(set.request, 0x01);
        EXPECT_EQ(set.value, 0x0A00);
        EXPECT_EQ(set.index, kUnitIndex);
        EXPECT_EQ(Hex(set.data), "00 CD 03 00 08 00 00 00");
        const WireRequest& get = device.requests[7];
        EXPECT_EQ(get.type, 0xA1);
        EXPECT_EQ(get.request, 0x81);
        EXPECT_EQ(get.value, 0x0B00);
        EXPECT_EQ(get.index, kUnitIndex);
        EXPECT_EQ(get.length, 8);
        EXPECT_EQ(device.timeouts.front(), 5000u);
    }
}

TEST_F(ExtUnitTest, LargeTransfersSplitIntoPiecesOf0x8000AndTheRestInOneCommand) {
    struct Case {
        uint32_t len;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {0x18000,
         {"00 C2 00 10 00 80 01 00", "00 C2 00 90 00 80 01 00", "00 C2 00 10 00 80 02 00"}},
        {0x10000, {"00 C2 00 10 00 80 01 00", "00 C2 00 90 00 80 01 00"}},
        {0x1FFFF,
         {"00 C2 00 10 00 80 01 00", "00 C2 00 90 00 80 01 00", "00 C2 00 10 FF FF 02 00"}},
        {0xFFFF, {"00 C2 00 10 FF FF 01 00"}},
        {0, {}},
    };
    auto unit = Make();
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        device_.requests.clear();
        std::vector<uint8_t> buf(c.len + 1, 0xEE);
        std::vector<uint32_t> progress;
        ASSERT_EQ(unit->ReadMem(0x11000, c.len, buf.data(), Collect, &progress), kOk);
        EXPECT_EQ(Commands(), c.commands) << std::hex << c.len;
        uint64_t total = 0;
        for (uint32_t n : progress) total += n;
        EXPECT_EQ(total, c.len);
        // The byte counter of the mock lands in order across all pieces.
        uint8_t expected = buf.empty() ? 0 : buf[0];
        for (uint32_t i = 0; i < c.len; ++i, ++expected) ASSERT_EQ(buf[i], expected) << i;
        EXPECT_EQ(buf[c.len], 0xEE);
    }
}

TEST_F(ExtUnitTest, PartialLastPacketIsZeroPaddedOnTheWireAndCutForTheCaller) {
    auto unit = Make();
    uint8_t in[14];
    std::memset(in, 0xEE, sizeof in);
    std::vector<uint32_t> progress;
    ASSERT_EQ(unit->ReadMem(0x20, 13, in, Collect, &progress), kOk);
    auto packets = Packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].length, 8);
    EXPECT_EQ(packets[1].length, 8);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(in[i], i);
    EXPECT_EQ(in[13], 0xEE);
    EXPECT_EQ(progress, (std::vector<uint32_t>{8, 5}));

    device_.requests.clear();
    const uint8_t out[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    ASSERT_EQ(unit->WriteMem(0x20, 13, out, nullptr, nullptr), kOk);
    EXPECT_EQ(Commands(), std::vector<std::string>{"00 82 20 00 0D 00 00 00"});
    packets = Packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(Hex(packets[0].data), "01 02 03 04 05 06 07 08");
    EXPECT_EQ(Hex(packets[1].data), "09 0A 0B 0C 0D 00 00 00");
}

TEST_F(ExtUnitTest, GetDevStatusReadsWholeRecordsAndCopiesOnlyWhatWasAskedFor) {
    auto unit = Make();
    uint8_t status[13];
    std::memset(status, 0xEE, sizeof status);
    ASSERT_EQ(unit->GetDevStatus(0, status, 12), kOk);
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{"00 CD 00 00 08 00 00 00", "00 CD 01 00 08 00 00 00"}));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(status[i], i);
    for (int i = 8; i < 12; ++i) EXPECT_EQ(status[i], i);  // first 4 bytes of record 1
    EXPECT_EQ(status[12], 0xEE);
}

TEST_F(ExtUnitTest, SectorEraseRefusesMisalignedAddressesWithoutSending) {
    auto unit = Make();
    EXPECT_EQ(unit->SPI_SF_EraseSector(0x1001, 0x1000), kInvalidArg);
    EXPECT_EQ(unit->SPI_SF_EraseSector(0x1000, 0), kInvalidArg);
    EXPECT_TRUE(device_.requests.empty());
    EXPECT_EQ(unit->SPI_SF_EraseSector(0x31000, 0x1000), kOk);
    EXPECT_EQ(Commands(), std::vector<std::string>{"02 05 00 10 00 00 03 00"});
    EXPECT_TRUE(Packets().empty());
}

TEST_F(ExtUnitTest, I2CLongWriteClearsBit15ForThePieceThatEndsTheTransfer) {
    struct Case {
        uint32_t len;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {130, {"00 B0 10 80 40 00 48 00", "00 B0 50 80 40 00 48 00", "00 B0 90 00 02 00 48 00"}},
        {128, {"00 B0 10 80 40 00 48 00", "00 B0 50 00 40 00 48 00"}},
        {64, {"00 B0 10 80 40 00 48 00"}},
        {10, {"00 B0 10 00 0A 00 48 00"}},
    };
    auto unit = Make();
    std::vector<uint8_t> data(130);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        device_.requests.clear();
        ASSERT_EQ(unit->I2CLongWrite(0x48, 0x8010, 999, c.len, data.data(), nullptr, nullptr), kOk);
        EXPECT_EQ(Commands(), c.commands) << c.len;
        uint32_t sent = 0;
        for (const WireRequest& p : Packets()) sent += uint32_t(p.data.size());
        EXPECT_EQ(sent, (c.len + 7) / 8 * 8);
    }
    // Reads move 64-byte pieces with the register advancing and land in order.
    device_.requests.clear();
    std::vector<uint8_t> in(70);
    ASSERT_EQ(unit->I2CLongRead(0x48, 0x0100, 70, in.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{"00 F0 00 01 40 00 48 00", "00 F0 40 01 06 00 48 00"}));
    EXPECT_EQ(in[64], uint8_t(in[63] + 1));
}

TEST_F(ExtUnitTest, QualifiesOnlyOnTheSignatureWithItsZeroByte) {
    struct Case {
        const char* reply;
        bool qualified;
    };
    auto unit = Make();
    for (const Case& c :
         {Case{"5A 4F 52 56 49 4E 45 00", true}, Case{"5A 4F 52 56 49 4E 45 58", false}}) {
        device_.requests.clear();
        device_.QueueReply(Bytes(c.reply));
        EXPECT_EQ(unit->DevQualify(), c.qualified) << c.reply;
        EXPECT_EQ(Commands(), std::vector<std::string>{"00 D0 00 00 08 00 00 00"});
    }
    EXPECT_TRUE(log_.Contains("Not zorvine device"));
    device_.FailNext(1);
    EXPECT_FALSE(unit->DevQualify());
}

TEST_F(ExtUnitTest, FailedStepReadsTheStatusSendsTheAbortAndNamesTheAddressReached) {
    auto unit = Make();
    device_.status_code = 9;
    device_.FailNext(1, test::kGenFailure, /*skip=*/2);  // command, first packet, then failure
    uint8_t buf[32] = {};
    EXPECT_EQ(unit->ReadMem(0x1000, sizeof buf, buf, nullptr, nullptr), test::kGenFailure);
    ASSERT_EQ(device_.requests.size(), 5u);
    EXPECT_TRUE(device_.requests[2].failed);
    EXPECT_EQ(device_.requests[3].type, 0xA1);  // status block
    EXPECT_EQ(device_.requests[3].value, 0x0A00);
    EXPECT_EQ(Hex(device_.requests[4].data), "FF 00 00 00 00 00 00 00");
    EXPECT_EQ(unit->GetLastCmdStatus(), 9);
    EXPECT_TRUE(log_.Contains("GetData failed 31\r\n"));
    EXPECT_TRUE(log_.Contains("ReadMem GetData 0x1008 error 8007001f, VCMD_STS_HW_ERR\r\n"))
        << log_.Joined();

    // A status read that fails too is named, and the abort still goes out.
    device_.requests.clear();
    device_.FailNext(2);
    EXPECT_EQ(unit->ResetToRom(), test::kGenFailure);
    EXPECT_TRUE(
        log_.Contains("ResetToRom SetCmd error 8007001f, and fail to get err_code 8007001f"));
    EXPECT_EQ(Hex(device_.requests.back().data), "FF 00 00 00 00 00 00 00");
    EXPECT_EQ(unit->GetLastCmdStatus(), 0xFF);
}

TEST_F(ExtUnitTest, VanishedDeviceIsReportedWithoutStatusReadOrAbort) {
    auto unit = Make();
    device_.FailNext(1, kDeviceGone, 1);
    uint8_t buf[8] = {};
    EXPECT_EQ(unit->ReadMem(0x1000, 8, buf, nullptr, nullptr), kDeviceGone);
    EXPECT_EQ(device_.requests.size(), 2u);
    EXPECT_TRUE(log_.Contains("ReadMem GetData 0x1000Device not connected\r\n")) << log_.Joined();
}

TEST_F(ExtUnitTest, ShortReplyIsAFailureNotStaleData) {
    auto unit = Make();
    device_.short_by = 3;
    uint8_t buf[8] = {};
    EXPECT_EQ(unit->ReadMem(0, 8, buf, nullptr, nullptr), kFail);
}

TEST_F(ExtUnitTest, DataControlSizeNegotiation) {
    struct Case {
        uint16_t ask;
        uint16_t device_answer;
        bool ok;
        uint16_t size_after;  // the argument on return
        uint32_t in_force;
        bool sends;
    };
    const Case cases[] = {
        {8, 8, true, 8, 8, false},         // current size: nothing to do
        {64, 64, true, 64, 64, true},      // taken
        {64, 32, false, 32, 32, true},     // device settles on another size
        {64, 0, false, 8, 8, true},        // would divide by zero: refused
        {64, 2000, false, 8, 8, true},     // would overrun the transfer buffer: refused
        {2000, 2000, false, 8, 8, false},  // never asked for
        {0, 0, false, 8, 8, false},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        test::MockUsbDevice device;
        CExtUnit unit(device, kUnit, kInterface, logger_, lock_, 1000);
        device.requests.clear();
        device.data_length = c.device_answer;
        uint16_t size = c.ask;
        EXPECT_EQ(unit.ChangeDataControlSize(&size), c.ok) << c.ask << "/" << c.device_answer;
        EXPECT_EQ(size, c.size_after);
        EXPECT_EQ(unit.data_control_size(), c.in_force);
        EXPECT_EQ(!device.requests.empty(), c.sends);
        if (c.sends) {
            ASSERT_EQ(device.requests.size(), 2u);
            EXPECT_EQ(Hex(device.requests[0].data),
                      Hex({0x00, 0x16, 0, 0, uint8_t(c.ask), uint8_t(c.ask >> 8), 0, 0}));
            EXPECT_EQ(device.requests[1].type, 0xA1);
            EXPECT_EQ(device.requests[1].request, 0x85);
            EXPECT_EQ(device.requests[1].value, 0x0B00);
            EXPECT_EQ(device.requests[1].length, 2);
        }
    }
    // Packets follow the negotiated size.
    CExtUnit unit(device_, kUnit, kInterface, logger_, lock_, 1000);
    device_.data_length = 64;
    uint16_t size = 64;
    ASSERT_TRUE(unit.ChangeDataControlSize(&size));
    device_.requests.clear();
    std::vector<uint8_t> buf(100);
    ASSERT_EQ(unit.ReadMem(0, 100, buf.data(), nullptr, nullptr), kOk);
    auto packets = Packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1].length, 64);
}

}  // namespace
}  // namespace orbisk
