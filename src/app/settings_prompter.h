#pragma once
#include <cstdio>
#include <optional>
#include <string>

#include "base/prompter.h"

namespace orbisk {

struct Process;

// The command line's answers: nobody is waiting at a console, so every question is answered at
// once from config.ini ("OTP Space Continue" = 1 answers Yes, anything else keeps the default
// No), and the question, the answer and every message go to stderr for the log.
class SettingsPrompter final : public Prompter {
  public:
    SettingsPrompter(const Process& process, std::FILE* out) : process_(process), out_(out) {}
    void Message(const std::string& caption, const std::string& text, Icon icon) override;
    bool Confirm(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    std::optional<std::string> AskPassPhrase() override { return std::nullopt; }

  private:
    const Process& process_;
    std::FILE* out_;
};

}  // namespace orbisk
