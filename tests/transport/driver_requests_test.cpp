#include "transport/driver_requests.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/clock.h"
#include "base/logger.h"
#include "support/recorders.h"
#include "transport/mock_usb.h"

namespace orbisk {
namespace {

using test::Bytes;
using test::Hex;
using test::WireRequest;

class DriverRequestsTest : public ::testing::Test {
  protected:
    DriverRequestsTest()
        : lock_name_("orbisk-test-drv-" + std::to_string(getpid())),
          logger_(clock_, &log_),
          lock_(OpenDeviceLock(lock_name_)),
          target_{device_, 3, 1, *lock_, logger_, 1000} {}
    ~DriverRequestsTest() override { RemoveDeviceLock(lock_name_); }

    std::string lock_name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_;
    std::shared_ptr<DeviceLock> lock_;
    test::MockUsbDevice device_;
    DriverExtUnit target_;
};

TEST_F(DriverRequestsTest, ResetSendsTheOpcodeBlockAndRefusesOtherOpcodes) {
    HResult error = kFail;
    EXPECT_TRUE(ExtUnit_Reset(target_, 3, 8, &error));
    EXPECT_EQ(error, kOk);
    ASSERT_EQ(device_.requests.size(), 1u);
    const WireRequest& r = device_.requests[0];
    EXPECT_EQ(r.type, 0x21);
    EXPECT_EQ(r.request, 0x01);
    EXPECT_EQ(r.value, 0x0A00);
    EXPECT_EQ(r.index, 0x0301);
    EXPECT_EQ(Hex(r.data), "00 08 03 00 00 00 00 00");
    EXPECT_TRUE(ExtUnit_Reset(target_, 3, 9));
    EXPECT_EQ(Hex(device_.requests[1].data), "00 09 00 00 00 00 00 00");

    EXPECT_EQ(device_.claims, (std::vector<uint8_t>{1, 1}));

    device_.requests.clear();
    EXPECT_FALSE(ExtUnit_Reset(target_, 3, 5, &error));
    EXPECT_EQ(error, kInvalidArg);
    EXPECT_TRUE(device_.requests.empty());

    // An interface the kernel driver will not give up: nothing is sent.
    device_.claim_result = ResultFromErrno(EBUSY);
    EXPECT_FALSE(ExtUnit_Reset(target_, 3, 7, &error));
    EXPECT_EQ(error, ResultFromErrno(EBUSY));
    EXPECT_TRUE(device_.requests.empty());
}

TEST_F(DriverRequestsTest, MemoryHelpersUse8BytePacketsAndAnExactRemainder) {
    uint8_t buf[13] = {};
    ASSERT_TRUE(ExtUnit_ReadMem(target_, 0xFE21, 13, buf));
    ASSERT_EQ(device_.requests.size(), 3u);
    EXPECT_EQ(Hex(device_.requests[0].data), "00 C2 21 FE 0D 00 00 00");
    EXPECT_EQ(device_.requests[1].length, 8);
    EXPECT_EQ(device_.requests[2].length, 5);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(buf[i], i);

    device_.requests.clear();
    const uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(ExtUnit_WriteMem(target_, 0xFF92, 10, data));
    ASSERT_EQ(device_.requests.size(), 3u);
    EXPECT_EQ(Hex(device_.requests[0].data), "00 82 92 FF 0A 00 00 00");
    EXPECT_EQ(Hex(device_.requests[2].data), "09 0A");
}

TEST_F(DriverRequestsTest, StatusQualifyAndTheFailurePath) {
    uint8_t status[12];
    ASSERT_TRUE(ExtUnit_GetDevStatus(target_, 12, status));
    EXPECT_EQ(Hex(device_.requests[2].data), "00 CD 01 00 08 00 00 00");

    device_.QueueReply(Bytes("5A 4F 52 56 49 4E 45 00"));
    EXPECT_TRUE(ExtUnit_DevQualify(target_));
    device_.QueueReply(Bytes("5A 4F 52 56 49 4E 45 21"));
    EXPECT_FALSE(ExtUnit_DevQualify(target_));

    device_.requests.clear();
    device_.FailNext(1, kDeviceGone, 1);
    HResult error = kOk;
    EXPECT_FALSE(ExtUnit_DevQualify(target_, &error));
    EXPECT_EQ(error, kDeviceGone);
    ASSERT_EQ(device_.requests.size(), 4u);
    EXPECT_EQ(device_.requests[2].type, 0xA1);  // status block
    EXPECT_EQ(device_.requests[2].value, 0x0A00);
    EXPECT_EQ(Hex(device_.requests[3].data), "FF 00 00 00 00 00 00 00");
}

TEST_F(DriverRequestsTest, VendorProbesOfBothGenerations) {
    uint8_t byte = 0;
    uint8_t status[12] = {};
    uint8_t mem[2] = {};
    ASSERT_EQ(VendorProbeV1(device_, 0, &byte), kOk);
    ASSERT_EQ(VendorReadStatusV2(device_, 0, 12, status), kOk);
    ASSERT_EQ(VendorReadMemV2(device_, 0xFE21, 2, mem), kOk);
    ASSERT_EQ(VendorWriteMemV2(device_, 0xFF92, 1, mem), kOk);
    ASSERT_EQ(VendorResetV2(device_, 1, 9), kOk);
    ASSERT_EQ(VendorResetV1(device_, 2, 7), kOk);
    EXPECT_EQ(VendorResetV2(device_, 1, 5), kInvalidArg);
    std::vector<std::string> setups;
    for (const WireRequest& r : device_.requests) {
        char text[40];
        std::snprintf(text, sizeof text, "%02X %02X %04X %04X %u", r.type, r.request, r.value,
                      r.index, r.length);
        setups.push_back(text);
    }
    EXPECT_EQ(setups, (std::vector<std::string>{"C0 06 0000 0000 1", "C0 07 0000 0000 8",
                                                "C0 07 0001 0000 8", "C0 25 0000 FE21 2",
                                                "40 24 0000 FF92 1", "40 22 0001 0000 0",
                                                "40 01 0002 0007 0"}));
    // A status record that comes back short is a failure.
    device_.short_by = 2;
    EXPECT_EQ(VendorReadStatusV2(device_, 3, 8, status), kFail);
}

TEST_F(DriverRequestsTest, DescriptorsMustArriveWhole) {
    uint8_t descriptor[18] = {};
    EXPECT_EQ(ReadDeviceDescriptor(device_, descriptor), kOk);
    EXPECT_EQ(device_.requests[0].value, 0x0100);
    device_.short_by = 1;
    EXPECT_EQ(ReadDeviceDescriptor(device_, descriptor), kFail);
    uint8_t config[9] = {};
    EXPECT_EQ(ReadConfigDescriptor(device_, config, 9), kFail);
    uint32_t got = 0;
    uint8_t text[64] = {};
    EXPECT_EQ(ReadStringDescriptor(device_, 2, 0x0409, text, 64, &got), kOk);
    EXPECT_EQ(got, 63u);
    EXPECT_EQ(device_.requests.back().value, 0x0302);
    EXPECT_EQ(device_.requests.back().index, 0x0409);
}

}  // namespace
}  // namespace orbisk
