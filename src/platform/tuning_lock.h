#pragma once
#include <memory>
#include <string>

#include "platform/device_lock.h"

namespace orbisk {

class Logger;

// Name of the lock that serialises the IP-camera exchanges of every tool on the machine. It is
// a process-shared lock of its own, beside the device lock of the USB transports.
inline constexpr const char* kTuningLockName = "IPCam_TuningLock_2016_01_20";

inline std::shared_ptr<DeviceLock> OpenTuningLock(const std::string& name = kTuningLockName) {
    return OpenDeviceLock(name);
}

// Holds the tuning lock for one exchange. The wait has no limit: an exchange of another tool
// always ends (its own waits are bounded), and giving up would leave a half-done sequence of
// this one. An owner that died leaves nothing to repair, so its lock is simply taken over.
// `held()` is false only when the lock itself failed.
class TuningLockScope {
  public:
    TuningLockScope(DeviceLock& lock, Logger& logger, const char* label);
    ~TuningLockScope();
    TuningLockScope(const TuningLockScope&) = delete;
    TuningLockScope& operator=(const TuningLockScope&) = delete;

    bool held() const { return held_; }

  private:
    DeviceLock& lock_;
    bool held_ = false;
};

}  // namespace orbisk
