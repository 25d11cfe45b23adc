#include "transport/sync_operate.h"

#include "base/logger.h"

namespace orbisk {

CSyncOperate::CSyncOperate(DeviceLock& lock, bool& failed, const std::string& label, Logger& logger,
                           uint32_t timeout_ms)
    : lock_(lock) {
    const LockWaitResult wait = lock_.Wait(timeout_ms);
    switch (wait.kind) {
        case LockWait::kAcquired:
            failed = false;
            owned_ = true;
            break;
        case LockWait::kAbandoned:
            failed = true;
            owned_ = true;
            logger.DebugPrint("%s : WAIT_ABANDONED\n", label.c_str());
            break;
        case LockWait::kTimedOut:
            failed = true;
            logger.DebugPrint("%s wait time out\n", label.c_str());
            break;
        case LockWait::kFailed:
            failed = true;
            logger.DebugPrint("%s WAIT_FAILED\n", label.c_str());
            break;
        case LockWait::kOther:
            // Never go on without the lock.
            failed = true;
            logger.DebugPrint("%s Unknown error 0x%08X\n", label.c_str(),
                              static_cast<uint32_t>(wait.code));
            break;
    }
}

CSyncOperate::~CSyncOperate() {
    if (owned_) lock_.Release();
}

}  // namespace orbisk
