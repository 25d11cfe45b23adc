#include "base/debug_channel.h"

#include <chrono>

namespace orbisk {

DebugChannel::~DebugChannel() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (file_ != nullptr) std::fclose(file_);
}

void DebugChannel::Write(std::string_view line) {
    if (echo_) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
    std::lock_guard lock(mutex_);
    if (!running_) return;
    pending_.emplace_back(line);
    wake_.notify_one();
}

bool DebugChannel::StartCapture(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (running_) return true;
    if (file_ != nullptr) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return false;
    stop_ = false;
    done_ = false;
    running_ = true;
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread(&DebugChannel::CaptureLoop, this);
    return true;
}

bool DebugChannel::Capturing() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void DebugChannel::CaptureLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stop_ || !pending_.empty(); });
        while (!pending_.empty()) {
            std::string record = std::move(pending_.front());
            pending_.pop_front();
            std::fwrite(record.data(), 1, record.size(), file_);
        }
        std::fflush(file_);
        if (stop_) break;
    }
    std::fclose(file_);
    file_ = nullptr;
    running_ = false;
    done_ = true;
    done_cv_.notify_all();
}

bool DebugChannel::StopCapture(Logger& logger, uint32_t timeout_ms) {
    {
        std::lock_guard lock(mutex_);
        if (!running_) return true;
    }
    // The flag is set first and the last line written after it, as the capture has always
    // ended: "Exit Debug Thread" is the file's last record.
    logger.DebugPrint("Exit Debug Thread");
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    std::unique_lock lock(mutex_);
    bool finished =
        done_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return done_; });
    lock.unlock();
    if (finished && thread_.joinable()) thread_.join();
    return finished;
}

}  // namespace orbisk
