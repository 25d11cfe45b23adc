#include "app/console_progress.h"

#include <algorithm>

namespace orbisk {

void ConsoleProgress::Post(uint32_t kind, uint32_t code, intptr_t /*extra*/) {
    if (kind == kReportFailure && code != 0) failure_code_ = code;
    if (kind == kReportProgress) {
        percent_ = std::min<uint32_t>(code, 100);
        Show();
    } else if (kind == kReportStepText && code != 0) {
        // A step text without a known code only refreshes the window in the dialog.
        const std::string_view text = StatusText(code);
        if (text.empty()) return;
        step_ = std::string(text);
        Show();
    }
}

std::string ConsoleProgress::BarLine(const std::string& step, uint32_t percent) {
    constexpr int kWidth = 30;
    percent = std::min<uint32_t>(percent, 100);
    const int filled = static_cast<int>(percent) * kWidth / 100;
    char tail[16];
    std::snprintf(tail, sizeof tail, "] %3u%%", percent);
    std::string label = step;
    if (label.size() < 18) label.resize(18, ' ');
    return label + " [" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + tail;
}

void ConsoleProgress::Show() {
    const std::string line = prefix_ + (terminal_ ? BarLine(step_, percent_)
                                                  : step_ + ": " + std::to_string(percent_) + "%");
    if (line == last_line_) return;
    last_line_ = line;
    if (terminal_) {
        // Clear what a longer previous line left behind.
        std::fprintf(out_, "\r%s\x1b[K", line.c_str());
        bar_open_ = true;
    } else {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
}

void ConsoleProgress::Finish() {
    if (bar_open_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    bar_open_ = false;
    last_line_.clear();
}

}  // namespace orbisk
