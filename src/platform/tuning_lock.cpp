#include "platform/tuning_lock.h"

#include "base/logger.h"

namespace orbisk {
namespace {
// The wait is cut in slices only to leave a trace of who is waiting.
constexpr uint32_t kSliceMs = 10000;
}  // namespace

TuningLockScope::TuningLockScope(DeviceLock& lock, Logger& logger, const char* label)
    : lock_(lock) {
    for (bool told = false;;) {
        const LockWaitResult wait = lock_.Wait(kSliceMs);
        switch (wait.kind) {
            case LockWait::kAcquired:
                held_ = true;
                return;
            case LockWait::kAbandoned:
                held_ = true;
                logger.DebugPrint("%s : WAIT_ABANDONED\n", label);
                return;
            case LockWait::kTimedOut:
                if (!told) logger.DebugPrint("%s waits for %s\n", label, kTuningLockName);
                told = true;
                continue;
            case LockWait::kFailed:
            case LockWait::kOther:
                logger.DebugPrint("%s WAIT_FAILED %d\n", label, wait.code);
                return;
        }
    }
}

TuningLockScope::~TuningLockScope() {
    if (held_) lock_.Release();
}

}  // namespace orbisk
