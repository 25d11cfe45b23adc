#include "transport/sync_operate.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "base/clock.h"
#include "base/logger.h"
#include "platform/device_lock.h"
#include "support/recorders.h"
#include "support/table_row.h"
#include "transport/driver_requests.h"
#include "transport/ext_unit.h"
#include "transport/mock_usb.h"

namespace orbisk {
namespace {

// A child process that takes the lock, says so, and then releases it or dies holding it.
class LockHolder {
  public:
    explicit LockHolder(const std::string& name) {
        shared_ = static_cast<std::atomic<int>*>(mmap(nullptr, sizeof(std::atomic<int>),
                                                      PROT_READ | PROT_WRITE,
                                                      MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        new (shared_) std::atomic<int>(0);
        int to_child[2];
        int from_child[2];
        EXPECT_EQ(pipe(to_child), 0);
        EXPECT_EQ(pipe(from_child), 0);
        pid_ = fork();
        if (pid_ == 0) {
            close(to_child[1]);
            close(from_child[0]);
            auto lock = OpenDeviceLock(name);
            const bool held = lock->Wait(5000).kind == LockWait::kAcquired;
            const char ready = held ? 'H' : 'F';
            if (write(from_child[1], &ready, 1) != 1) _exit(2);
            char order = 0;
            if (read(to_child[0], &order, 1) != 1) _exit(2);
            if (order == 'D') _exit(0);  // dies holding the lock
            shared_->store(1);           // last act inside the critical section
            lock->Release();
            _exit(0);
        }
        close(to_child[0]);
        close(from_child[1]);
        to_child_ = to_child[1];
        from_child_ = from_child[0];
    }
    ~LockHolder() {
        if (to_child_ >= 0) Order('R');
        int status = 0;
        waitpid(pid_, &status, 0);
        close(from_child_);
        munmap(shared_, sizeof(std::atomic<int>));
    }
    bool WaitHeld() {
        char ready = 0;
        return read(from_child_, &ready, 1) == 1 && ready == 'H';
    }
    void Release() { Order('R'); }
    void Die() {
        Order('D');
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    bool finished_critical_section() const { return shared_->load() == 1; }

  private:
    void Order(char order) {
        EXPECT_EQ(write(to_child_, &order, 1), 1);
        close(to_child_);
        to_child_ = -1;
    }
    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
    std::atomic<int>* shared_ = nullptr;
};

class DeviceLockTest : public ::testing::Test {
  protected:
    DeviceLockTest()
        : name_("orbisk-test-lock-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          logger_(clock_, &log_) {}
    ~DeviceLockTest() override { RemoveDeviceLock(name_); }

    std::string name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_;
};

TEST_F(DeviceLockTest, TimesOutWhileAnotherProcessHoldsItThenSucceeds) {
    auto lock = OpenDeviceLock(name_);
    LockHolder holder(name_);
    ASSERT_TRUE(holder.WaitHeld());
    {
        bool failed = false;
        CSyncOperate sync(*lock, failed, "CExtUnitBase::ReadMem", logger_, 50);
        EXPECT_TRUE(failed);
        EXPECT_FALSE(sync.owned());
    }
    EXPECT_TRUE(log_.Contains("CExtUnitBase::ReadMem wait time out\r\n")) << log_.Joined();

    // A transport operation gives up the same way, sending nothing.
    test::MockUsbDevice device;
    CExtUnit unit(device, 4, 0, logger_, lock, 50);
    device.requests.clear();
    uint8_t buf[16] = {};
    EXPECT_EQ(unit.ReadMem(0, sizeof buf, buf, nullptr, nullptr), kLockFailed);
    EXPECT_TRUE(device.requests.empty());

    holder.Release();
    bool failed = true;
    CSyncOperate sync(*lock, failed, "later", logger_, 5000);
    EXPECT_FALSE(failed);
    EXPECT_TRUE(sync.owned());
}

TEST_F(DeviceLockTest, WaiterGetsTheLockOnlyAfterTheHolderLeftItsCriticalSection) {
    auto lock = OpenDeviceLock(name_);
    LockHolder holder(name_);
    ASSERT_TRUE(holder.WaitHeld());
    std::atomic<bool> acquired{false};
    bool saw_holder_done = false;
    std::thread waiter([&] {
        bool failed = true;
        CSyncOperate sync(*lock, failed, "waiter", logger_, 10000);
        saw_holder_done = holder.finished_critical_section();
        acquired = !failed;
    });
    EXPECT_FALSE(acquired.load());
    holder.Release();
    waiter.join();
    EXPECT_TRUE(acquired.load());
    EXPECT_TRUE(saw_holder_done);
}

TEST_F(DeviceLockTest, OwnerThatDiedLeavesAnAbandonedLockThatIsReleasedAtScopeEnd) {
    auto lock = OpenDeviceLock(name_);
    {
        LockHolder holder(name_);
        ASSERT_TRUE(holder.WaitHeld());
        holder.Die();
    }
    {
        bool failed = false;
        CSyncOperate sync(*lock, failed, "CExtUnitBase::GetDevStatus", logger_, 1000);
        EXPECT_TRUE(failed);
        EXPECT_TRUE(sync.owned());
    }
    EXPECT_TRUE(log_.Contains("CExtUnitBase::GetDevStatus : WAIT_ABANDONED\r\n"));
    // The lock is usable again, here and in another process.
    bool failed = true;
    { CSyncOperate sync(*lock, failed, "next", logger_, 1000); }
    EXPECT_FALSE(failed);
    LockHolder next(name_);
    EXPECT_TRUE(next.WaitHeld());
}

TEST_F(DeviceLockTest, IsRecursiveForItsThreadAndFullyReleasedAfterwards) {
    auto lock = OpenDeviceLock(name_);
    {
        bool outer_failed = true;
        bool inner_failed = true;
        CSyncOperate outer(*lock, outer_failed, "outer", logger_, 100);
        CSyncOperate inner(*lock, inner_failed, "inner", logger_, 100);
        EXPECT_FALSE(outer_failed);
        EXPECT_FALSE(inner_failed);
    }
    LockHolder holder(name_);
    EXPECT_TRUE(holder.WaitHeld());
}

TEST_F(DeviceLockTest, DriverLevelHelpersGoOnWhenTheLockCannotBeTaken) {
    auto lock = OpenDeviceLock(name_);
    LockHolder holder(name_);
    ASSERT_TRUE(holder.WaitHeld());
    test::MockUsbDevice device;
    const DriverExtUnit target{device, 4, 0, *lock, logger_, 50};
    EXPECT_TRUE(ExtUnit_Reset(target, 1, 7));
    EXPECT_EQ(device.requests.size(), 1u);
    EXPECT_TRUE(log_.Contains("ExtUnit_Reset goes on without the device lock"));
}

// Outcomes other than "taken" never let the operation go on.
class ScriptedLock : public DeviceLock {
  public:
    explicit ScriptedLock(LockWaitResult result) : result_(result) {}
    LockWaitResult Wait(uint32_t) override { return result_; }
    void Release() override { ++releases; }
    int releases = 0;

  private:
    LockWaitResult result_;
};

TEST_F(DeviceLockTest, FailedAndUnexpectedWaitsCountAsFailuresWithoutTheLock) {
    struct Case {
        LockWaitResult result;
        const char* line;
    };
    const Case cases[] = {
        {{LockWait::kFailed, 22}, "op WAIT_FAILED\r\n"},
        {{LockWait::kOther, 0x1234}, "op Unknown error 0x00001234\r\n"},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        ScriptedLock lock(c.result);
        {
            bool failed = false;
            CSyncOperate sync(lock, failed, "op", logger_, 10);
            EXPECT_TRUE(failed);
            EXPECT_FALSE(sync.owned());
        }
        EXPECT_EQ(lock.releases, 0);
        EXPECT_TRUE(log_.Contains(c.line)) << c.line;
    }
}

}  // namespace
}  // namespace orbisk
