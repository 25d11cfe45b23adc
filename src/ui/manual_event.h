#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orbisk {

// A manual-reset event: stays signalled until reset; waits are always bounded.
class ManualEvent {
  public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        changed_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    bool IsSet() const {
        std::lock_guard lock(mutex_);
        return set_;
    }
    // True when the event was (or became) signalled within timeout_ms.
    bool WaitFor(uint32_t timeout_ms) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return set_; });
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace orbisk
