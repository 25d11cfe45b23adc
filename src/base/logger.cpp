#include "base/logger.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>

#include "base/clock.h"

namespace orbisk {

uint32_t CurrentThreadId() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

LogScope::LogScope(Logger& logger, const char* name, int tracing, uint32_t category)
    : logger_(logger), name_(name), tracing_(tracing), category_(category) {
    logger_.TraceLine(*this, "START --->>>\n");
}

LogScope::~LogScope() {
    if (tracing_ == 1) logger_.TraceLine(*this, "EXIT <<<---\n");
}

void LogScope::Line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    logger_.TraceLineV(*this, format, args);
    va_end(args);
}

void LogScope::Text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    logger_.TraceTextV(*this, format, args);
    va_end(args);
}

void LogScope::Section(const char* message) {
    logger_.TraceText(*this, "----------------: ");
    logger_.TraceText(*this, "%s", message);
}

void Logger::TraceLine(const LogScope& scope, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Emit(true, scope, format, args);
    va_end(args);
}

void Logger::TraceLineV(const LogScope& scope, const char* format, va_list args) {
    Emit(true, scope, format, args);
}

void Logger::TraceText(const LogScope& scope, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Emit(false, scope, format, args);
    va_end(args);
}

void Logger::TraceTextV(const LogScope& scope, const char* format, va_list args) {
    Emit(false, scope, format, args);
}

void Logger::Emit(bool with_prefix, const LogScope& scope, const char* format, va_list args) {
    if ((scope.category() & category_mask_) == 0) return;
    const uint32_t thread = CurrentThreadId();
    const uint32_t tick = clock_.tick_ms();
    char line[kLineChars + 2];
    std::lock_guard lock(mutex_);
    int used = 0;
    if (with_prefix) {
        used = std::snprintf(line, kLineChars, "(%X-%d):%s:> ", thread, static_cast<int>(tick),
                             scope.name());
        if (used < 0) used = 0;
        if (used > static_cast<int>(kLineChars) - 1) used = kLineChars - 1;
    }
    va_list copy;
    va_copy(copy, args);
    std::vsnprintf(line + used, kLineChars - used, format, copy);
    va_end(copy);
    std::string text(line);
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
        text += "\r\n";
    }
    if (output_enabled_) Send(text);
}

void Logger::DebugPrint(const char* format, ...) {
    char buffer[kDebugPrintChars + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Send(buffer);
}

void Logger::Send(std::string_view text) {
    if (text.size() > kDebugPrintChars) text = text.substr(0, kDebugPrintChars);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    std::string out(text);
    out += "\r\n";
    if (sink_ != nullptr) sink_->Write(out);
}

std::string Logger::CurrentTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, "\r\n%Y-%m-%d\t%H:%M:%S\r\n", &local);
    return text;
}

}  // namespace orbisk
