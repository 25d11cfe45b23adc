#include "ui/device_watch.h"

namespace orbisk {
namespace {
constexpr unsigned long kPollMs = 50;
}  // namespace

DeviceWatch::DeviceWatch(DeviceNotifier& notifier, QObject* receiver,
                         std::function<void(const DeviceChange&)> deliver)
    : notifier_(notifier), receiver_(receiver), deliver_(std::move(deliver)) {
    setObjectName("DeviceWatch");
}

DeviceWatch::~DeviceWatch() {
    Stop();
}

void DeviceWatch::Stop() {
    stop_ = true;
    wait();
}

void DeviceWatch::run() {
    while (!stop_) {
        DeviceChange change;
        // The notifier is only asked, never waited on: its waits run on the program's clock,
        // and under the simulation's virtual clock each one moved the time on by its length,
        // without end, cutting short every wait the update measures on that clock. The pause
        // between questions is real time, short enough that Stop is noticed soon.
        if (!notifier_.Next(0, &change)) {
            QThread::msleep(kPollMs);
            continue;
        }
        QMetaObject::invokeMethod(
            receiver_, [deliver = deliver_, change] { deliver(change); }, Qt::QueuedConnection);
    }
}

}  // namespace orbisk
