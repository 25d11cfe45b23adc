#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace orbisk {

// Name of the lock that serialises camera commands of every tool on the machine.
inline constexpr const char* kDeviceLockName = "ICOperateSync_2014_3_28";
inline constexpr uint32_t kDeviceLockTimeoutMs = 10000;

// The lock of the one camera on this port chain ("1-2.3"), for `orbisk -s --all`: its threads
// each hold their own camera's lock, so that a command to one camera never waits for a command
// to another while the machine-wide lock would make them take turns.
inline std::string CameraLockName(const std::string& port_chain) {
    return std::string(kDeviceLockName) + "." + port_chain;
}

// How a wait for the lock ended.
enum class LockWait {
    kAcquired,   // the caller holds the lock
    kAbandoned,  // the caller holds the lock, but its previous owner died holding it
    kTimedOut,   // the caller does not hold the lock
    kFailed,     // the wait itself failed; the caller does not hold the lock
    kOther,      // any other outcome (code in LockWaitResult::code); not held
};

struct LockWaitResult {
    LockWait kind = LockWait::kFailed;
    int code = 0;  // errno of a failed or unexpected wait
};

// A named lock shared by all processes of the machine, recursive for the thread that holds it.
class DeviceLock {
  public:
    virtual ~DeviceLock() = default;
    virtual LockWaitResult Wait(uint32_t timeout_ms) = 0;
    // Releases one level of a lock this thread holds.
    virtual void Release() = 0;
};

// Opens (creating when needed) the process-shared lock of this name. Never returns null: a lock
// that could not be opened answers every wait with kFailed.
std::shared_ptr<DeviceLock> OpenDeviceLock(const std::string& name = kDeviceLockName);

// Removes the lock's backing object. Tests only: the product never removes it, since other
// processes may hold it open.
void RemoveDeviceLock(const std::string& name);

}  // namespace orbisk
