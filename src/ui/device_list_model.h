#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orbisk {

// The dialog's device list as the device search sees it: the four operations it uses (clear,
// insert at a position, select, read the selected text). The search runs on the worker
// thread, so the list lives here under a lock and the combo box follows it through a posted
// notice instead of being driven across threads.
class DeviceListModel {
  public:
    void Clear();
    void Insert(int position, const std::string& text);
    void Select(int position);
    std::string SelectedText() const;

    std::vector<std::string> Items() const;
    int Selected() const;
    // Called after every change, on the thread that made it.
    void SetChangeNotice(std::function<void()> notice);

  private:
    void Changed();

    mutable std::mutex mutex_;
    std::vector<std::string> items_;
    int selected_ = -1;
    std::function<void()> notice_;
};

}  // namespace orbisk
