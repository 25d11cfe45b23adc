#include "ui/worker_prompter.h"

#include <QThread>
#include <chrono>
#include <future>
#include <memory>

namespace orbisk {

template <typename T, typename Ask>
T WorkerPrompter::OnWindowThread(Ask ask, T fallback) {
    if (closing_) return fallback;
    if (QThread::currentThread() == window_->thread()) return ask();
    auto answer = std::make_shared<std::promise<T>>();
    std::future<T> result = answer->get_future();
    QMetaObject::invokeMethod(
        window_, [answer, ask] { answer->set_value(ask()); }, Qt::QueuedConnection);
    // The operator may take any time; a window that closes meanwhile must not wait for us.
    while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        if (closing_) return fallback;
    return result.get();
}

void WorkerPrompter::Message(const std::string& caption, const std::string& text, Icon icon) {
    OnWindowThread<bool>(
        [this, caption, text, icon] {
            inner_.Message(caption, text, icon);
            return true;
        },
        false);
}

bool WorkerPrompter::Confirm(const std::string& caption, const std::string& text) {
    return OnWindowThread<bool>([this, caption, text] { return inner_.Confirm(caption, text); },
                                false);
}

bool WorkerPrompter::AskYesNo(const std::string& caption, const std::string& text) {
    return OnWindowThread<bool>([this, caption, text] { return inner_.AskYesNo(caption, text); },
                                false);
}

std::optional<std::string> WorkerPrompter::AskPassPhrase() {
    return OnWindowThread<std::optional<std::string>>([this] { return inner_.AskPassPhrase(); },
                                                      std::nullopt);
}

}  // namespace orbisk
