#pragma once
#include "ui/prompter.h"

class QWidget;

namespace orbisk {

// Message boxes and the pass-phrase box, modal over the dialog.
class QtPrompter final : public Prompter {
  public:
    explicit QtPrompter(QWidget* parent) : parent_(parent) {}
    void Message(const std::string& caption, const std::string& text, Icon icon) override;
    bool Confirm(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    std::optional<std::string> AskPassPhrase() override;

  private:
    QWidget* parent_;
};

}  // namespace orbisk
