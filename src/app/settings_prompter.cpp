#include "app/settings_prompter.h"

#include "base/process.h"

namespace orbisk {

namespace {

// One line: the question's line breaks become blanks.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

}  // namespace

void SettingsPrompter::Message(const std::string&, const std::string& text, Icon) {
    std::fprintf(out_, "orbisk: %s\n", OneLine(text).c_str());
}

bool SettingsPrompter::Confirm(const std::string& caption, const std::string& text) {
    return AskYesNo(caption, text);
}

bool SettingsPrompter::AskYesNo(const std::string&, const std::string& text) {
    const bool yes = process_.ConfigInt(cfg::kOtpSpaceContinue) == 1;
    std::fprintf(out_, "orbisk: %s %s (OTP Space Continue=%d)\n", OneLine(text).c_str(),
                 yes ? "Yes" : "No", yes ? 1 : 0);
    return yes;
}

}  // namespace orbisk
