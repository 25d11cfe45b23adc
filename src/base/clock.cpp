#include "base/clock.h"

#include <chrono>
#include <thread>

namespace orbisk {

void Clock::wait_us(std::condition_variable&, std::unique_lock<std::mutex>& lock, uint64_t us,
                    const std::function<bool()>& ready) {
    if (ready()) return;
    lock.unlock();
    sleep_us(us);
    lock.lock();
}

uint64_t SystemClock::now_us() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

uint64_t SystemClock::now_ms() {
    return now_us() / 1000;
}

void SystemClock::sleep_ms(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SystemClock::sleep_us(uint64_t us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

void SystemClock::wait_us(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                          uint64_t us, const std::function<bool()>& ready) {
    cv.wait_for(lock, std::chrono::microseconds(us), ready);
}

uint64_t VirtualClock::now_us() {
    std::lock_guard lock(mutex_);
    return now_us_;
}

uint64_t VirtualClock::now_ms() {
    return now_us() / 1000;
}

void VirtualClock::advance_us(uint64_t us) {
    std::lock_guard lock(mutex_);
    now_us_ += us;
}

}  // namespace orbisk
