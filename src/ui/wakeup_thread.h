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

    // Sets the stop flag; the loop ends after the burst it is in.
    void RequestStop() { stop_ = true; }
    // Sets the stop flag and waits, at most timeout_ms, for the loop and the thread to end;
    // true when they have.
    bool StopAndWait(unsigned long timeout_ms = 5000);
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
