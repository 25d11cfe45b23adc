#pragma once
#include <cstdint>
#include <functional>

#include "base/clock.h"

namespace orbisk::sim {

// Work a memory part carries on by itself after the command that started it (a page program,
// an erase, a status write): the part is busy until the work's time has passed on the camera's
// clock, and the work's effect lands then, not before. The controller waits out the work it
// sequences itself (the pages of its own writes); work the host is meant to poll for is left
// running, and the part takes no new work meanwhile, as real parts ignore it.
class SimBusy {
  public:
    enum class Waiter { kController, kHost };
    enum class Ready { kReady, kBusy, kStuck };

    // `stuck` (a fault setting) keeps the part busy for ever.
    SimBusy(Clock& clock, const bool& stuck) : clock_(clock), stuck_(stuck) {}

    // Lands the effect of work whose time has passed; every entry point of the part calls it.
    void Settle();
    bool Busy();
    // Waits on the clock for the controller's own work. kBusy: the part is still busy with work
    // the host waits for; kStuck: it never gets ready.
    Ready WaitForControllerWork();
    // Lands the effect of unfinished work now.
    void Finish();
    // Starts work of `duration_us`; `done` lands its effect when the time has passed.
    void Start(uint64_t duration_us, Waiter waiter, std::function<void()> done);

  private:
    Clock& clock_;
    const bool& stuck_;
    uint64_t until_us_ = 0;
    Waiter waiter_ = Waiter::kController;
    std::function<void()> done_;
};

}  // namespace orbisk::sim
