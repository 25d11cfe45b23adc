#include "platform/linux/inotify_folder_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace orbisk {
namespace {

// Every way a file gets its new content: written in place, renamed over, removed.
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;
// How often a waiting release looks again: flock has no time-out of its own.
constexpr auto kReleasePause = std::chrono::milliseconds(5);

int OpenFolder(const std::string& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

class FlockHold final : public FolderHold {
  public:
    explicit FlockHold(int fd) : fd_(fd) {}
    ~FlockHold() override { ::close(fd_); }  // closing drops the lock
    FlockHold(const FlockHold&) = delete;
    FlockHold& operator=(const FlockHold&) = delete;

  private:
    int fd_;
};

}  // namespace

InotifyFolderWatch::InotifyFolderWatch(std::string file_name) : file_name_(std::move(file_name)) {
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

InotifyFolderWatch::~InotifyFolderWatch() {
    if (inotify_ >= 0) ::close(inotify_);
    if (wake_ >= 0) ::close(wake_);
}

bool InotifyFolderWatch::Add(const std::string& folder) {
    if (!ok()) return false;
    const int wd = ::inotify_add_watch(inotify_, folder.c_str(), kEvents | IN_ONLYDIR);
    if (wd < 0) return false;
    std::lock_guard lock(mutex_);
    folders_[wd] = folder;
    return true;
}

bool InotifyFolderWatch::Drain(std::vector<std::string>* changed) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
        if (got < 0) return errno == EAGAIN || errno == EINTR;
        if (got == 0) return false;
        std::lock_guard lock(mutex_);
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (at > got) break;
            std::vector<std::string> folders;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: every folder may have changed.
                for (const auto& [wd, folder] : folders_) folders.push_back(folder);
            } else if (event->len > 0 && file_name_ == event->name) {
                const auto it = folders_.find(event->wd);
                if (it != folders_.end()) folders.push_back(it->second);
            }
            for (const auto& folder : folders)
                if (std::find(changed->begin(), changed->end(), folder) == changed->end())
                    changed->push_back(folder);
        }
    }
}

bool InotifyFolderWatch::Wait(std::vector<std::string>* changed) {
    changed->clear();
    if (!ok()) return false;
    for (;;) {
        pollfd fds[2] = {{wake_, POLLIN, 0}, {inotify_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fds[0].revents != 0) {
            uint64_t count = 0;
            (void)!::read(wake_, &count, sizeof count);
            return false;
        }
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        if (!Drain(changed)) return false;
        // Other files of the folders (temporary names, the camera's own files) wake the poll
        // too; only the watched file ends the wait.
        if (!changed->empty()) return true;
    }
}

void InotifyFolderWatch::Interrupt() {
    const uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
}

std::unique_ptr<FolderHold> InotifyFolderWatch::Hold(const std::string& folder) {
    const int fd = OpenFolder(folder);
    if (fd < 0) return nullptr;
    int result;
    do {
        result = ::flock(fd, LOCK_SH);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FlockHold>(fd);
}

std::unique_ptr<FolderWatch> MakeInotifyFolderWatch(const std::string& file_name) {
    auto watch = std::make_unique<InotifyFolderWatch>(file_name);
    if (!watch->ok()) return nullptr;
    return watch;
}

bool WaitForFolderRelease(const std::string& folder, uint32_t timeout_ms) {
    const int fd = OpenFolder(folder);
    if (fd < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool released = false;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            released = true;  // closing below lets the next holder in at once
            break;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(kReleasePause);
    }
    ::close(fd);
    return released;
}

}  // namespace orbisk
