#include "ui/device_watch.h"

namespace orbisk {

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
        // Short waits so that Stop is noticed soon.
        if (!notifier_.Next(100, &change)) continue;
        QMetaObject::invokeMethod(
            receiver_, [deliver = deliver_, change] { deliver(change); }, Qt::QueuedConnection);
    }
}

}  // namespace orbisk
