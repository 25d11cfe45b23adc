#include "transport/ext_unit_kernel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "base/clock.h"
#include "base/logger.h"
#include "support/recorders.h"
#include "transport/mock_usb.h"

namespace orbisk {
namespace {

using test::Hex;

class ExtUnitKernelTest : public ::testing::Test {
  protected:
    ExtUnitKernelTest()
        : lock_name_("orbisk-test-ks-" + std::to_string(getpid())),
          logger_(clock_, &log_),
          lock_(OpenDeviceLock(lock_name_)),
          driver_(std::make_shared<test::MockCameraDriver>()) {
        driver_->lengths[{5, 10}] = 8;
        driver_->lengths[{5, 11}] = 8;
        driver_->lengths[{7, 10}] = 8;
    }
    ~ExtUnitKernelTest() override { RemoveDeviceLock(lock_name_); }

    std::string lock_name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_;
    std::shared_ptr<DeviceLock> lock_;
    std::shared_ptr<test::MockCameraDriver> driver_;
};

TEST_F(ExtUnitKernelTest, UsesTheFirstExtensionUnitWhoseCommandControlAnswers) {
    HResult result = kFail;
    CExtUnitDShow unit(driver_, {3, 5, 7}, logger_, lock_, &result);
    EXPECT_EQ(result, kOk);
    EXPECT_EQ(unit.unit_id(), 5);
    ASSERT_EQ(driver_->queries.size(), 2u);  // 3 refused, 5 answered, 7 never asked
    EXPECT_EQ(driver_->queries[1].selector, 10);
}

TEST_F(ExtUnitKernelTest, NoUsableUnitFailsConstruction) {
    HResult result = kOk;
    CExtUnitDShow dshow(driver_, {1, 2}, logger_, lock_, &result);
    EXPECT_EQ(result, kFail);
    EXPECT_TRUE(log_.Contains("No zorvine extension unit found"));
    CExtUnitDShow without_driver(nullptr, {5}, logger_, lock_, &result);
    EXPECT_EQ(result, kFail);
    EXPECT_TRUE(log_.Contains("CExtUnitDShow fail to get IKsControl 0x80004005"));

    test::RecordingLogSink quiet_log;
    Logger quiet(clock_, &quiet_log);
    CExtUnitMF mf(driver_, {1, 2}, quiet, lock_, &result);
    EXPECT_EQ(result, kFail);
    EXPECT_TRUE(quiet_log.lines().empty());
}

TEST_F(ExtUnitKernelTest, OperationsRunAsControlQueriesOnTheUnit) {
    HResult result = kFail;
    CExtUnitMF unit(driver_, {5}, logger_, lock_, &result);
    ASSERT_EQ(result, kOk);
    driver_->queries.clear();
    const uint8_t data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(unit.WriteMem(0x10000, 10, data, nullptr, nullptr), kOk);
    ASSERT_EQ(driver_->queries.size(), 3u);
    EXPECT_EQ(driver_->queries[0].op, 'S');
    EXPECT_EQ(driver_->queries[0].unit, 5);
    EXPECT_EQ(driver_->queries[0].selector, 10);
    EXPECT_EQ(Hex(driver_->queries[0].data), "00 82 00 00 0A 00 01 00");
    EXPECT_EQ(driver_->queries[1].selector, 11);
    EXPECT_EQ(Hex(driver_->queries[2].data), "09 0A 00 00 00 00 00 00");

    // A failed packet: the status block is read and the abort block sent on the unit.
    driver_->queries.clear();
    driver_->status_code = 5;
    driver_->FailNext(1, ResultFromErrno(EPIPE), 1);
    uint8_t buf[8] = {};
    EXPECT_EQ(unit.ReadMem(0, 8, buf, nullptr, nullptr), ResultFromErrno(EPIPE));
    ASSERT_EQ(driver_->queries.size(), 4u);
    EXPECT_EQ(driver_->queries[2].op, 'G');
    EXPECT_EQ(driver_->queries[2].selector, 10);
    EXPECT_EQ(Hex(driver_->queries[3].data), "FF 00 00 00 00 00 00 00");
    EXPECT_TRUE(log_.Contains("ReadMem GetData 0x0 error 80070020, VCMD_STS_ERR_LEN"))
        << log_.Joined();
}

TEST_F(ExtUnitKernelTest, DataControlSizeComesFromTheDriversLengthQuery) {
    HResult result = kFail;
    CExtUnitDShow unit(driver_, {5}, logger_, lock_, &result);
    driver_->queries.clear();
    uint16_t size = 8;
    EXPECT_TRUE(unit.ChangeDataControlSize(&size));
    EXPECT_TRUE(driver_->queries.empty());

    driver_->lengths[{5, 11}] = 256;
    size = 256;
    EXPECT_TRUE(unit.ChangeDataControlSize(&size));
    EXPECT_EQ(unit.data_control_size(), 256u);
    ASSERT_EQ(driver_->queries.size(), 2u);
    EXPECT_EQ(Hex(driver_->queries[0].data), "00 16 00 00 00 01 00 00");
    EXPECT_EQ(driver_->queries[1].op, 'L');
    EXPECT_EQ(driver_->queries[1].selector, 11);

    // Unusable lengths are refused and the size in force stays.
    for (uint16_t answer : {uint16_t(0), uint16_t(4096)}) {
        driver_->lengths[{5, 11}] = answer;
        size = 512;
        EXPECT_FALSE(unit.ChangeDataControlSize(&size)) << answer;
        EXPECT_EQ(size, 256);
        EXPECT_EQ(unit.data_control_size(), 256u);
    }
    driver_->queries.clear();
    size = 1025;
    EXPECT_FALSE(unit.ChangeDataControlSize(&size));
    EXPECT_EQ(size, 256);
    EXPECT_TRUE(driver_->queries.empty());
}

}  // namespace
}  // namespace orbisk
