#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/folder_watch.h"

namespace orbisk {

// FolderWatch on inotify: one descriptor for every folder, and an eventfd that Interrupt
// signals, so that Wait blocks in poll on both and never wakes without cause. A hold is a shared
// flock on the folder itself; every descriptor is close-on-exec, so a child program never
// inherits a hold.
class InotifyFolderWatch final : public FolderWatch {
  public:
    // Watches the file `file_name` in each folder added.
    explicit InotifyFolderWatch(std::string file_name);
    ~InotifyFolderWatch() override;
    InotifyFolderWatch(const InotifyFolderWatch&) = delete;
    InotifyFolderWatch& operator=(const InotifyFolderWatch&) = delete;

    bool ok() const { return inotify_ >= 0 && wake_ >= 0; }
    bool Add(const std::string& folder) override;
    bool Wait(std::vector<std::string>* changed) override;
    void Interrupt() override;
    std::unique_ptr<FolderHold> Hold(const std::string& folder) override;

  private:
    // Reads the queued events; adds the folders whose file changed.
    bool Drain(std::vector<std::string>* changed);

    std::string file_name_;
    int inotify_ = -1;
    int wake_ = -1;
    std::mutex mutex_;
    std::map<int, std::string> folders_;  // by watch descriptor
};

// nullptr when inotify is not available.
std::unique_ptr<FolderWatch> MakeInotifyFolderWatch(const std::string& file_name);

// Waits at most timeout_ms until no program holds `folder` (see FolderWatch::Hold). False on
// time-out, or when the folder cannot be opened.
bool WaitForFolderRelease(const std::string& folder, uint32_t timeout_ms);

}  // namespace orbisk
