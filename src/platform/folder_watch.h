#pragma once
#include <memory>
#include <string>
#include <vector>

namespace orbisk {

// A program's hold on a folder that another program may wait to see released. Released when
// destroyed.
class FolderHold {
  public:
    virtual ~FolderHold() = default;
};

// Folders that another program changes while this one runs: a thread blocks in Wait until one
// file of a given name is written, replaced or removed in one of them. inotify on Linux.
class FolderWatch {
  public:
    virtual ~FolderWatch() = default;
    // Starts watching `folder`; false when it cannot be watched.
    virtual bool Add(const std::string& folder) = 0;
    // Blocks until the watched file changed in one or more folders: true with those folders, as
    // Add was given them, each once. False after Interrupt, or when the watch broke.
    virtual bool Wait(std::vector<std::string>* changed) = 0;
    // Makes the Wait under way, or the next one, return false. Any thread may call it.
    virtual void Interrupt() = 0;
    // A shared hold on `folder`; nullptr when it cannot be taken.
    virtual std::unique_ptr<FolderHold> Hold(const std::string& folder) = 0;
};

}  // namespace orbisk
