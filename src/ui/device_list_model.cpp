#include "ui/device_list_model.h"

#include <algorithm>

namespace orbisk {

void DeviceListModel::Clear() {
    {
        std::lock_guard lock(mutex_);
        items_.clear();
        selected_ = -1;
    }
    Changed();
}

void DeviceListModel::Insert(int position, const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        const auto at = std::clamp<long>(position, 0, static_cast<long>(items_.size()));
        items_.insert(items_.begin() + at, text);
        if (selected_ >= at) ++selected_;
    }
    Changed();
}

void DeviceListModel::Select(int position) {
    {
        std::lock_guard lock(mutex_);
        selected_ = position >= 0 && position < static_cast<int>(items_.size()) ? position : -1;
    }
    Changed();
}

std::string DeviceListModel::SelectedText() const {
    std::lock_guard lock(mutex_);
    return selected_ >= 0 ? items_[selected_] : std::string();
}

std::vector<std::string> DeviceListModel::Items() const {
    std::lock_guard lock(mutex_);
    return items_;
}

int DeviceListModel::Selected() const {
    std::lock_guard lock(mutex_);
    return selected_;
}

void DeviceListModel::SetChangeNotice(std::function<void()> notice) {
    std::lock_guard lock(mutex_);
    notice_ = std::move(notice);
}

void DeviceListModel::Changed() {
    std::function<void()> notice;
    {
        std::lock_guard lock(mutex_);
        notice = notice_;
    }
    if (notice) notice();
}

}  // namespace orbisk
