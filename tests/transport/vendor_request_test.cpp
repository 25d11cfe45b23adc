#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "base/clock.h"
#include "base/logger.h"
#include "support/recorders.h"
#include "transport/mock_usb.h"
#include "transport/transports.h"

namespace orbisk {
namespace {

using test::Bytes;
using test::Hex;
using test::WireRequest;

void Collect(void* context, uint32_t bytes) {
    static_cast<std::vector<uint32_t>*>(context)->push_back(bytes);
}

// type, request, wValue, wIndex, wLength of one request.
std::string SetupOf(const WireRequest& r) {
    char text[48];
    std::snprintf(text, sizeof text, "%02X %02X %04X %04X %u", r.type, r.request, r.value, r.index,
                  r.length);
    return text;
}

std::vector<std::string> Setups(const std::vector<WireRequest>& requests) {
    std::vector<std::string> out;
    for (const WireRequest& r : requests) out.push_back(SetupOf(r));
    return out;
}

class VendorRequestTest : public ::testing::Test {
  protected:
    VendorRequestTest()
        : lock_name_("orbisk-test-vr-" + std::to_string(getpid())),
          logger_(clock_, &log_),
          lock_(OpenDeviceLock(lock_name_)) {}
    ~VendorRequestTest() override { RemoveDeviceLock(lock_name_); }

    std::string lock_name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_;
    std::shared_ptr<DeviceLock> lock_;
    test::MockUsbDevice device_;
};

TEST_F(VendorRequestTest, V2ReadsIn4096BytePiecesWithProgress) {
    CVendorRequestV2 v2(device_, logger_);
    std::vector<uint8_t> buf(10000);
    std::vector<uint32_t> progress;
    ASSERT_EQ(v2.ReadMem(0x12345, 10000, buf.data(), Collect, &progress), kOk);
    EXPECT_EQ(Setups(device_.requests),
              (std::vector<std::string>{"C0 25 0100 2345 4096", "C0 25 0100 3345 4096",
                                        "C0 25 0100 4345 1808"}));
    EXPECT_EQ(progress, (std::vector<uint32_t>{4096, 4096, 1808}));
    EXPECT_EQ(buf[4096], uint8_t(4096 & 0xFF));
    EXPECT_EQ(buf[9999], uint8_t(9999 & 0xFF));
    EXPECT_EQ(device_.timeouts.front(), 5000u);
}

TEST_F(VendorRequestTest, V2PacksSelectorAddressAndRefusesWhatThePackingCannotName) {
    CVendorRequestV2 v2(device_, logger_);
    uint8_t buf[16] = {};
    ASSERT_EQ(v2.SPI_SF_Read(0xF0000, 16, buf, 2, nullptr, nullptr), kOk);
    ASSERT_EQ(v2.MTP_WriteTag(), kOk);
    ASSERT_EQ(v2.ResetToUpdateFW(0x105), kOk);
    ASSERT_EQ(v2.SPI_SF_EraseSector(0x21000, 0x1000), kOk);
    EXPECT_EQ(Setups(device_.requests),
              (std::vector<std::string>{"C0 2E 0F02 0000 16", "40 3A 0003 0001 1",
                                        "40 20 0005 0000 0", "40 33 0200 1000 0"}));
    EXPECT_EQ(Hex(device_.requests[1].data), "A5");

    device_.requests.clear();
    EXPECT_EQ(v2.ReadMem(0xFFFF0, 32, buf, nullptr, nullptr), kInvalidArg);
    EXPECT_EQ(v2.SPI_SF_EraseSector(0x21001, 0x1000), kInvalidArg);
    EXPECT_EQ(v2.ReadPhy(0, 0x10000, buf), kInvalidArg);
    EXPECT_TRUE(device_.requests.empty());
}

TEST_F(VendorRequestTest, V2StatusQualifyAndTheirShortReplies) {
    CVendorRequestV2 v2(device_, logger_);
    uint8_t status[13];
    std::memset(status, 0xEE, sizeof status);
    ASSERT_EQ(v2.GetDevStatus(4, status, 12), kOk);
    EXPECT_EQ(Setups(device_.requests),
              (std::vector<std::string>{"C0 07 0004 0000 8", "C0 07 0005 0000 8"}));
    EXPECT_EQ(status[12], 0xEE);

    device_.requests.clear();
    device_.QueueReply(Bytes("5A 4F 52 56 49 4E 45 00"));
    EXPECT_TRUE(v2.DevQualify());
    EXPECT_EQ(SetupOf(device_.requests[0]), "C0 07 0003 0000 8");
    device_.QueueReply(Bytes("5A 4F 52 56 49 4E 45 20"));
    EXPECT_FALSE(v2.DevQualify());

    device_.short_by = 1;
    EXPECT_EQ(v2.GetDevStatus(0, status, 8), kFail);
    EXPECT_TRUE(log_.Contains("CVendorRequestV2 SendRequest failed: 80004005"));
}

TEST_F(VendorRequestTest, V2LacksTheExtensionUnitOnlyOperations) {
    CVendorRequestV2 v2(device_, logger_);
    CVendorCmdCommon& x = v2;
    uint8_t buf[8] = {};
    uint16_t value = 0;
    EXPECT_EQ(x.SPI_SF_FastRead(0, 8, buf, 1, nullptr, nullptr), kNotImpl);
    EXPECT_EQ(x.I2CRead(uint8_t(0x42), uint16_t(2), buf), kNotImpl);
    EXPECT_EQ(x.I2CLongWrite(0x42, 0, 64, 8, buf, nullptr, nullptr), kNotImpl);
    EXPECT_EQ(x.OTP_Write(0, 8, 0, buf, 0, 0), kNotImpl);
    EXPECT_EQ(x.SetPowerMipi(1), kNotImpl);
    EXPECT_EQ(x.GetWPStatus(buf), kNotImpl);
    EXPECT_EQ(x.ProbeMipiIO(), kNotImpl);
    EXPECT_FALSE(x.IsSecureBioByPass());
    EXPECT_TRUE(device_.requests.empty());
    // Its sensor-register read ignores the width.
    device_.QueueReply(Bytes("34 12"));
    ASSERT_EQ(x.I2CRead(uint8_t(1), uint32_t(0x30010), &value), kOk);
    EXPECT_EQ(value, 0x1234);
    EXPECT_EQ(SetupOf(device_.requests[0]), "C0 50 0300 0010 2");
}

TEST_F(VendorRequestTest, V1SendsItsOwnRequestsAndUsesTheExtensionUnitForTheRest) {
    CVendorRequestV1 v1(device_, 4, 0, logger_, lock_, 1000);
    device_.requests.clear();
    std::vector<uint8_t> data(5000, 0x5A);
    std::vector<uint32_t> progress;
    ASSERT_EQ(v1.ResetToUpdateFW(5), kOk);
    ASSERT_EQ(v1.ResetToRom(), kOk);
    ASSERT_EQ(v1.SPI_SF_Write(0x10000, 5000, data.data(), Collect, &progress), kOk);
    ASSERT_EQ(v1.NorFlash_Read(0x20, 4, data.data(), nullptr, nullptr), kOk);
    ASSERT_EQ(v1.SPI_SF_ReadAlt(0x01234567, 4, data.data(), 0, nullptr, nullptr), kOk);
    ASSERT_EQ(v1.NorFlash_Erase(), kOk);
    ASSERT_EQ(v1.VendorCommand4F(), kOk);
    EXPECT_EQ(
        Setups(device_.requests),
        (std::vector<std::string>{"40 01 0005 0007 0", "40 01 0000 0009 0", "40 04 0100 0000 4096",
                                  "40 04 0100 1000 904", "C0 05 0001 0020 4", "C0 4D 0123 4567 4",
                                  "40 02 0001 0000 0", "40 4F 0000 0000 0"}));
    EXPECT_EQ(progress, (std::vector<uint32_t>{4096, 904}));

    // Not replaced: the extension unit's class requests.
    device_.requests.clear();
    uint8_t buf[8] = {};
    ASSERT_EQ(v1.ReadMem(0x100, 8, buf, nullptr, nullptr), kOk);
    EXPECT_EQ(device_.requests[0].type, 0x21);
    EXPECT_EQ(Hex(device_.requests[0].data), "00 C2 00 01 08 00 00 00");

    // Neither the extension unit nor the first generation carries MTP.
    device_.requests.clear();
    EXPECT_EQ(v1.MTP_Write(0, 8, buf, 3, nullptr, nullptr), kNotImpl);
    EXPECT_EQ(v1.GetSensorImgDir(buf), kOk);  // image controls come from the extension unit
    EXPECT_EQ(device_.requests[0].type, 0x21);

    device_.FailNext(1);
    EXPECT_EQ(v1.ResetToRom(), test::kGenFailure);
    EXPECT_TRUE(log_.Contains("CVendorRequestV1 SendRequest failed: 8007001f"));
}

TEST_F(VendorRequestTest, V1LongWriteUsesTheGivenPieceAndClearsBit15OnTheLastOne) {
    CVendorRequestV1 v1(device_, 4, 0, logger_, lock_, 1000);
    device_.requests.clear();
    std::vector<uint8_t> data(70);
    ASSERT_EQ(v1.I2CLongWrite(0x48, 0x8010, 32, 70, data.data(), nullptr, nullptr), kOk);
    ASSERT_EQ(v1.I2CLongRead(0x48, 0x0100, 70, data.data(), nullptr, nullptr), kOk);
    EXPECT_EQ(
        Setups(device_.requests),
        (std::vector<std::string>{"40 45 0048 8010 32", "40 45 0048 8030 32", "40 45 0048 0050 6",
                                  "C0 44 0048 0100 64", "C0 44 0048 0140 6"}));
    device_.requests.clear();
    EXPECT_EQ(v1.I2CLongWrite(0x48, 0, 0, 8, data.data(), nullptr, nullptr), kInvalidArg);
    EXPECT_TRUE(device_.requests.empty());
}

}  // namespace
}  // namespace orbisk
