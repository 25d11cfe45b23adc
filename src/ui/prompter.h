#pragma once
#include <optional>
#include <string>

namespace orbisk {

// The questions and messages the dialog puts to the operator, behind one small interface so
// that tests can answer them.
class Prompter {
  public:
    enum class Icon { kError, kWarning, kInformation };
    virtual ~Prompter() = default;
    virtual void Message(const std::string& caption, const std::string& text, Icon icon) = 0;
    // OK and Cancel; true for OK.
    virtual bool Confirm(const std::string& caption, const std::string& text) = 0;
    // Yes and No, No the default (Enter and Escape answer No); true for Yes.
    virtual bool Ask(const std::string& caption, const std::string& text) = 0;
    // The pass-phrase box; nullopt when the operator cancels.
    virtual std::optional<std::string> AskPassPhrase() = 0;
};

}  // namespace orbisk
