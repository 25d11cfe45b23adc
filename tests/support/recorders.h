#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/logger.h"
#include "base/status.h"

namespace orbisk::test {

struct Report {
    uint32_t kind;
    uint32_t code;
    intptr_t extra;
    bool operator==(const Report&) const = default;
};

// Keeps every report in order: the best oracle for a flow.
class RecordingStatusSink : public StatusSink {
  public:
    void Post(uint32_t kind, uint32_t code, intptr_t extra) override {
        std::lock_guard lock(mutex_);
        reports_.push_back({kind, code, extra});
    }
    std::vector<Report> reports() const {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    // The codes of one kind, in order.
    std::vector<uint32_t> codes(uint32_t kind) const;
    void clear() {
        std::lock_guard lock(mutex_);
        reports_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
};

class RecordingLogSink : public LogSink {
  public:
    void Write(std::string_view line) override {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    // True when some line contains the text.
    bool Contains(std::string_view text) const;
    std::string Joined() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace orbisk::test
