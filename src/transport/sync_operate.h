#pragma once
#include <cstdint>
#include <string>

#include "platform/device_lock.h"

namespace orbisk {

class Logger;

// Scope guard on the device lock. After construction `failed` tells whether the operation may
// go on; the lock is released at scope end when it was taken (also after an abandoned wait,
// which counts as a failure of the current operation).
class CSyncOperate {
  public:
    CSyncOperate(DeviceLock& lock, bool& failed, const std::string& label, Logger& logger,
                 uint32_t timeout_ms = kDeviceLockTimeoutMs);
    ~CSyncOperate();
    CSyncOperate(const CSyncOperate&) = delete;
    CSyncOperate& operator=(const CSyncOperate&) = delete;

    bool owned() const { return owned_; }

  private:
    DeviceLock& lock_;
    bool owned_ = false;
};

}  // namespace orbisk
