#pragma once
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "base/logger.h"

namespace orbisk {

// The program's debug-output channel. Every finished trace line goes to standard error when
// echo is on (ORBISK_TRACE set) and, while a capture runs ("Debug Log"), is appended by the
// capture thread to DebugLog.txt exactly as sent. Only this process's lines ever reach it.
class DebugChannel final : public LogSink {
  public:
    ~DebugChannel() override;

    void SetEcho(bool on) { echo_ = on; }
    void Write(std::string_view line) override;

    // Creates (replaces) the capture file and starts the capture thread. False when the file
    // cannot be created: the program goes on without a capture.
    bool StartCapture(const std::string& path);
    // Sets the stop flag, sends "Exit Debug Thread" through the logger so the thread wakes,
    // writes it and sees the flag, and waits at most timeout_ms for the thread.
    bool StopCapture(Logger& logger, uint32_t timeout_ms = 5000);
    bool Capturing() const;

  private:
    void CaptureLoop();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_cv_;
    std::deque<std::string> pending_;
    std::FILE* file_ = nullptr;
    std::thread thread_;
    bool running_ = false;
    bool stop_ = false;
    bool done_ = false;
    bool echo_ = false;
};

}  // namespace orbisk
