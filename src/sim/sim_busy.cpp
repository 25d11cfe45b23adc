#include "sim/sim_busy.h"

#include <utility>

namespace orbisk::sim {

void SimBusy::Settle() {
    if (!done_ || clock_.now_us() < until_us_) return;
    // Taken out first: the effect may start no new work, but it must never run twice.
    std::function<void()> done = std::move(done_);
    done_ = nullptr;
    done();
}

void SimBusy::Finish() {
    until_us_ = 0;
    Settle();
}

bool SimBusy::Busy() {
    Settle();
    return stuck_ || done_ != nullptr;
}

SimBusy::Ready SimBusy::WaitForControllerWork() {
    Settle();
    if (stuck_) return Ready::kStuck;
    if (!done_) return Ready::kReady;
    if (waiter_ == Waiter::kHost) return Ready::kBusy;
    clock_.sleep_us(until_us_ - clock_.now_us());
    Settle();
    return Ready::kReady;
}

void SimBusy::Start(uint64_t duration_us, Waiter waiter, std::function<void()> done) {
    until_us_ = clock_.now_us() + duration_us;
    waiter_ = waiter;
    done_ = std::move(done);
    // Work of no duration is done at once.
    Settle();
}

}  // namespace orbisk::sim
