#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace orbisk {

// Time as the program sees it. Production sleeps for real; tests and the simulated camera use
// VirtualClock, where a sleep only moves the time forward.
class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual uint64_t now_ms() = 0;
    // The 32-bit millisecond tick that trace lines carry.
    uint32_t tick_ms() { return static_cast<uint32_t>(now_ms()); }
    virtual void sleep_ms(uint32_t ms) = 0;
    // Microsecond resolution for the timing model of the simulated camera.
    virtual uint64_t now_us() { return now_ms() * 1000; }
    virtual void sleep_us(uint64_t us) { sleep_ms(static_cast<uint32_t>((us + 999) / 1000)); }
    // Whether time passes by itself (the system clock) or only when someone sleeps.
    virtual bool passes_by_itself() const { return false; }
    // Waits at most `us` for `ready` on `cv`, whose mutex `lock` holds. A clock whose time only
    // moves when someone sleeps never blocks here: unless `ready` holds, it sleeps `us` at once.
    virtual void wait_us(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                         uint64_t us, const std::function<bool()>& ready);
};

class SystemClock final : public Clock {
  public:
    uint64_t now_ms() override;
    uint64_t now_us() override;
    void sleep_ms(uint32_t ms) override;
    void sleep_us(uint64_t us) override;
    bool passes_by_itself() const override { return true; }
    void wait_us(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint64_t us,
                 const std::function<bool()>& ready) override;
};

// Instant time: sleep_ms advances the clock and returns at once. Thread-safe.
class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(uint64_t start_us = 0) : now_us_(start_us) {}
    uint64_t now_ms() override;
    uint64_t now_us() override;
    void sleep_ms(uint32_t ms) override { advance_us(uint64_t{ms} * 1000); }
    void sleep_us(uint64_t us) override { advance_us(us); }
    void advance_us(uint64_t us);

  private:
    std::mutex mutex_;
    uint64_t now_us_;
};

}  // namespace orbisk
