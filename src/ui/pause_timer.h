#pragma once
#include <cstdint>
#include <functional>

class QObject;

namespace orbisk {

class Clock;

// The dialog's pauses (the auto-run delay, the second before closing after PASS, the 128 ms
// before the window ends) never block its thread: the rest of the handler runs from the event
// loop once the pause is over. On a virtual clock the time moves forward at once and the rest
// runs on the next turn of the loop.
class PauseTimer {
  public:
    explicit PauseTimer(Clock& clock) : clock_(clock) {}
    // Runs fn on context's thread after ms; dropped when context is destroyed first.
    void After(uint32_t ms, QObject* context, std::function<void()> fn);

  private:
    Clock& clock_;
};

}  // namespace orbisk
