#include "ui/pause_timer.h"

#include <QTimer>

#include "base/clock.h"

namespace orbisk {

void PauseTimer::After(uint32_t ms, QObject* context, std::function<void()> fn) {
    if (dynamic_cast<VirtualClock*>(&clock_) != nullptr) {
        clock_.sleep_ms(ms);
        QTimer::singleShot(0, context, std::move(fn));
    } else {
        QTimer::singleShot(static_cast<int>(ms), context, std::move(fn));
    }
}

}  // namespace orbisk
