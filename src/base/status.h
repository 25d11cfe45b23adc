#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace orbisk {

// Kinds of report, as numbered by the dialog's message queue.
enum ReportKind : uint32_t {
    kReportNothing = 1041,
    kReportClose = 1042,
    kReportProgress = 1043,
    kReportFailure = 1044,
    kReportErrorBox = 1045,
    kReportSuccess = 1046,
    kReportStepText = 1047,
    kReportDeviceInfo = 1048,
    kReportFlag = 1050,
    kReport1053 = 1053,
    kReport1055 = 1055,
};

// The texts of the program's string table, by identifier; "" for a code without text.
std::string_view StatusText(uint32_t code);

struct StatusEntry {
    uint32_t code;
    const char* text;
};
// Every entry of the string table, in identifier order.
const StatusEntry* StatusTable(size_t* count);

// Receives every report; the dialog posts it to its window, tests record the sequence.
class StatusSink {
  public:
    virtual ~StatusSink() = default;
    virtual void Post(uint32_t kind, uint32_t code, intptr_t extra) = 0;
};

// The lock and cancel flag that the dialog shares with the device flows (stop request).
class CThreadFlag {
  public:
    void SetCancel(bool on) {
        std::lock_guard lock(mutex_);
        cancel_ = on;
    }
    bool Cancel() const {
        std::lock_guard lock(mutex_);
        return cancel_;
    }

  private:
    mutable std::mutex mutex_;
    bool cancel_ = false;
};

// Report status: posts to the sink when one is attached and keeps the last code as the
// process-wide status code, which decides the exit code.
class StatusReporter {
  public:
    void SetSink(StatusSink* sink) { sink_.store(sink); }
    StatusSink* sink() const { return sink_.load(); }
    void SetCancelSource(const CThreadFlag* flag) { cancel_.store(flag); }

    uint32_t ReportStatus(uint32_t kind, uint32_t code, intptr_t extra = 0);
    uint32_t Code() const { return code_.load(); }
    void SetCode(uint32_t code) { code_.store(code); }
    // The stop request: the dialog's cancel flag, or false when there is no dialog.
    bool CheckCancel() const;

    static bool IsClearingCode(uint32_t code);

  private:
    std::atomic<StatusSink*> sink_{nullptr};
    std::atomic<const CThreadFlag*> cancel_{nullptr};
    std::atomic<uint32_t> code_{0};
};

}  // namespace orbisk
