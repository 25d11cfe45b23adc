#pragma once
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace orbisk {

class Clock;

// Receives every finished trace line, CR LF included; the product's sink is the debug channel
// (debug_channel.h), tests record the lines.
class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void Write(std::string_view line) = 0;
};

class Logger;

// One traced operation: "START --->>>" when it begins, "EXIT <<<---" when it ends (tracing 1).
class LogScope {
  public:
    LogScope(Logger& logger, const char* name, int tracing = 1, uint32_t category = 1);
    ~LogScope();
    LogScope(const LogScope&) = delete;
    LogScope& operator=(const LogScope&) = delete;

    const char* name() const { return name_; }
    uint32_t category() const { return category_; }
    Logger& logger() const { return logger_; }

    // Shortcuts for the logger's calls within this scope.
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Text(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The two trace texts of a failure or step: "----------------: " and the message.
    void Section(const char* message);

  private:
    Logger& logger_;
    const char* name_;
    int tracing_;
    uint32_t category_;
};

class Logger {
  public:
    static constexpr size_t kLineChars = 512;
    static constexpr size_t kDebugPrintChars = 4093;

    Logger(Clock& clock, LogSink* sink) : clock_(clock), sink_(sink) {}

    void SetSink(LogSink* sink) { sink_ = sink; }
    void SetCategoryMask(uint32_t mask) { category_mask_ = mask; }
    void SetOutputEnabled(bool on) { output_enabled_ = on; }
    // The clock of the trace ticks, which is the program's clock.
    Clock& clock() const { return clock_; }

    // "(%X-%d):" thread id and tick, scope name, ":> ", the text; cut to 512 characters.
    void TraceLine(const LogScope& scope, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    void TraceLineV(const LogScope& scope, const char* format, va_list args);
    // The same text without the prefix and scope name.
    void TraceText(const LogScope& scope, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    void TraceTextV(const LogScope& scope, const char* format, va_list args);
    // One line straight to the channel: cut to 4093 characters, trailing white space removed,
    // CR LF appended.
    void DebugPrint(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // "\r\n%Y-%m-%d\t%H:%M:%S\r\n" in local time.
    static std::string CurrentTimeText();

  private:
    void Emit(bool with_prefix, const LogScope& scope, const char* format, va_list args);
    void Send(std::string_view text);

    Clock& clock_;
    LogSink* sink_;
    std::mutex mutex_;
    uint32_t category_mask_ = 7;
    bool output_enabled_ = true;
};

// Identifier of the calling thread as the trace prefix shows it.
uint32_t CurrentThreadId();

}  // namespace orbisk
