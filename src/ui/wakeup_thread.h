#pragma once
#include <QThread>
#include <atomic>

#include "ui/manual_event.h"

namespace orbisk {

class AudioCaptureSystem;
class Clock;
class Logger;

// Keeps the camera's USB audio capture busy in 50 ms bursts while the dialog is open, so the
// camera does not drop into its runtime low-power state ("RTD3").
class CWakeUpThread : public QThread {
    Q_OBJECT
  public:
    CWakeUpThread(Logger& logger, Clock& clock, AudioCaptureSystem& audio);
    ~CWakeUpThread() override;

    // Sets the stop flag and waits for the loop's done event, then for the thread.
    void StopAndWait();
    const ManualEvent& done() const { return done_; }
    // Bursts captured so far.
    int bursts() const { return bursts_.load(); }

  protected:
    void run() override;

  private:
    void CaptureLoop();

    Logger& logger_;
    Clock& clock_;
    AudioCaptureSystem& audio_;
    std::atomic<bool> stop_{false};
    std::atomic<int> bursts_{0};
    ManualEvent done_;
};

}  // namespace orbisk
