#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/usb.h"

namespace orbisk {

// One camera's view of a bus: only the device on one port (its device-node handle, which stays
// the same across the camera's resets) is listed and opened, so a device object working through
// it can never reach another camera. The view owns the bus it filters.
class PinnedUsbBus final : public UsbBus {
  public:
    PinnedUsbBus(std::unique_ptr<UsbBus> bus, uint64_t node_handle)
        : bus_(std::move(bus)), node_handle_(node_handle) {}

    uint64_t node_handle() const { return node_handle_; }

    std::vector<UsbDeviceInfo> List() override {
        std::vector<UsbDeviceInfo> mine;
        for (UsbDeviceInfo& info : bus_->List())
            if (info.node_handle == node_handle_) mine.push_back(std::move(info));
        return mine;
    }
    std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) override {
        return node_handle == node_handle_ ? bus_->Open(node_handle) : nullptr;
    }
    std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node_handle) override {
        return node_handle == node_handle_ ? bus_->OpenCameraDriver(node_handle) : nullptr;
    }
    bool CanOpenDirectly(uint64_t node_handle) override {
        return node_handle == node_handle_ && bus_->CanOpenDirectly(node_handle);
    }
    bool WaitForChange(uint32_t timeout_ms) override { return bus_->WaitForChange(timeout_ms); }

  private:
    std::unique_ptr<UsbBus> bus_;
    uint64_t node_handle_;
};

}  // namespace orbisk
