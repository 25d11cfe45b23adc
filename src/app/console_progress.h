#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/status.h"

namespace orbisk {

// Shows where a long command-line update is: on a terminal a bar with the step text, redrawn
// in place; otherwise one "Step: NN%" line per change, so a log keeps the history. Writes to
// its own stream (stderr), so the result lines on stdout stay as they are.
class ConsoleProgress : public StatusSink {
  public:
    ConsoleProgress(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

    // Put before every line: "[1-2] " when several cameras report on one stream.
    void SetPrefix(std::string prefix) { prefix_ = std::move(prefix); }

    void Post(uint32_t kind, uint32_t code, intptr_t extra) override;
    // Ends a bar line on a terminal, so the next output starts on a line of its own.
    void Finish();
    // The code of the last failure report (0 before any): later reports change the status
    // code, not the failure that ended the run.
    uint32_t failure_code() const { return failure_code_; }

    // The bar line, without the leading carriage return: "Download    [#####    ]  35%".
    static std::string BarLine(const std::string& step, uint32_t percent);

  private:
    void Show();

    std::FILE* out_;
    bool terminal_;
    std::string prefix_;
    std::string step_ = "Progress";
    uint32_t percent_ = 0;
    uint32_t failure_code_ = 0;
    std::string last_line_;
    bool bar_open_ = false;
};

}  // namespace orbisk
