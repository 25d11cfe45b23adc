#pragma once
#include <QObject>
#include <atomic>
#include <optional>
#include <string>

#include "ui/prompter.h"

namespace orbisk {

// The dialog's prompter for the device flows, which ask from the worker thread: the question
// is shown on the window's thread and the worker waits for the answer. Once the window closes,
// questions get their default answer (No, Cancel) without waiting.
class WorkerPrompter final : public Prompter {
  public:
    WorkerPrompter(Prompter& inner, QObject* window) : inner_(inner), window_(window) {}
    void Close() { closing_ = true; }

    void Message(const std::string& caption, const std::string& text, Icon icon) override;
    bool Confirm(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    std::optional<std::string> AskPassPhrase() override;

  private:
    // Runs `ask` on the window's thread and waits for its answer; `fallback` once closed.
    template <typename T, typename Ask>
    T OnWindowThread(Ask ask, T fallback);

    Prompter& inner_;
    QObject* window_;
    std::atomic<bool> closing_{false};
};

}  // namespace orbisk
