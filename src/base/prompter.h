#pragma once
#include <optional>
#include <string>

namespace orbisk {

// The questions and messages put to the operator, behind one small interface so that tests
// can answer them and the command line can answer them from its settings without waiting for
// anyone.
class Prompter {
  public:
    enum class Icon { kError, kWarning, kInformation };
    virtual ~Prompter() = default;
    virtual void Message(const std::string& caption, const std::string& text, Icon icon) = 0;
    // OK and Cancel; true for OK.
    virtual bool Confirm(const std::string& caption, const std::string& text) = 0;
    // Yes and No, No being the default answer; true for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
    // The pass-phrase box; nullopt when the operator cancels.
    virtual std::optional<std::string> AskPassPhrase() = 0;
};

}  // namespace orbisk
