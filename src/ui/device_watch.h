#pragma once
#include <QThread>
#include <atomic>
#include <functional>

#include "platform/device_notify.h"

namespace orbisk {

// Listens for cameras coming and going and hands each change to the dialog's thread.
class DeviceWatch : public QThread {
    Q_OBJECT
  public:
    // `deliver` runs on the thread of `receiver`.
    DeviceWatch(DeviceNotifier& notifier, QObject* receiver,
                std::function<void(const DeviceChange&)> deliver);
    ~DeviceWatch() override;
    void Stop();

  protected:
    void run() override;

  private:
    DeviceNotifier& notifier_;
    QObject* receiver_;
    std::function<void(const DeviceChange&)> deliver_;
    std::atomic<bool> stop_{false};
};

}  // namespace orbisk
