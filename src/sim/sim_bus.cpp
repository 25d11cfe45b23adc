#include "sim/sim_bus.h"

#include <algorithm>
#include <cerrno>

namespace orbisk::sim {

namespace {

// An open simulated device. It belongs to one enumeration of its camera: after a reset or
// an unplug every request answers "device gone".
class SimDeviceHandle : public UsbDeviceHandle {
  public:
    explicit SimDeviceHandle(std::shared_ptr<SimCamera> camera)
        : camera_(std::move(camera)), session_(camera_->Session()), id_(camera_->NewHandleId()) {}
    ~SimDeviceHandle() override { camera_->CloseHandle(id_); }

    HResult ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value, uint16_t index,
                            uint8_t* data, uint16_t length, uint32_t timeout_ms,
                            uint32_t* transferred) override {
        return camera_->ControlTransfer(session_, id_, request_type, request, value, index, data,
                                        length, timeout_ms, transferred);
    }
    HResult ClaimInterface(uint8_t interface_number) override {
        return camera_->ClaimInterface(session_, id_, interface_number);
    }

  private:
    std::shared_ptr<SimCamera> camera_;
    uint64_t session_;
    uint32_t id_;
};

class SimDriverControl : public CameraDriverControl {
  public:
    explicit SimDriverControl(std::shared_ptr<SimCamera> camera)
        : camera_(std::move(camera)), session_(camera_->Session()) {}

    HResult SetCur(uint8_t unit, uint8_t selector, const uint8_t* data, uint16_t length) override {
        // The driver copies the caller's bytes; the device side never writes them.
        std::vector<uint8_t> copy(data, data + length);
        return camera_->Driver(session_, SimCamera::DriverQuery::kSetCur, unit, selector,
                               copy.data(), length);
    }
    HResult GetCur(uint8_t unit, uint8_t selector, uint8_t* data, uint16_t length) override {
        return camera_->Driver(session_, SimCamera::DriverQuery::kGetCur, unit, selector, data,
                               length);
    }
    HResult GetLen(uint8_t unit, uint8_t selector, uint16_t* length) override {
        uint8_t reply[2] = {};
        const HResult hr =
            camera_->Driver(session_, SimCamera::DriverQuery::kGetLen, unit, selector, reply, 2);
        if (hr == kOk) *length = static_cast<uint16_t>(reply[0] | (reply[1] << 8));
        return hr;
    }

  private:
    std::shared_ptr<SimCamera> camera_;
    uint64_t session_;
};

}  // namespace

std::vector<UsbDeviceInfo> SimUsbBus::List() {
    std::vector<UsbDeviceInfo> all;
    for (const auto& camera : cameras_) {
        std::vector<UsbDeviceInfo> entries = camera->ListEntries();
        all.insert(all.end(), entries.begin(), entries.end());
    }
    std::stable_sort(all.begin(), all.end(), [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
        return a.node_handle < b.node_handle;
    });
    return all;
}

std::shared_ptr<SimCamera> SimUsbBus::Find(uint64_t node_handle) {
    for (const auto& camera : cameras_)
        if (camera->NodeHandle() == node_handle && camera->Present()) return camera;
    return nullptr;
}

std::unique_ptr<UsbDeviceHandle> SimUsbBus::Open(uint64_t node_handle) {
    auto camera = Find(node_handle);
    if (!camera || !camera->Settings().direct_access) return nullptr;
    return std::make_unique<SimDeviceHandle>(camera);
}

std::unique_ptr<CameraDriverControl> SimUsbBus::OpenCameraDriver(uint64_t node_handle) {
    auto camera = Find(node_handle);
    if (!camera || !camera->DriverBound()) return nullptr;
    return std::make_unique<SimDriverControl>(camera);
}

bool SimUsbBus::CanOpenDirectly(uint64_t node_handle) {
    auto camera = Find(node_handle);
    return camera && camera->Settings().direct_access;
}

uint64_t SimUsbBus::ChangeTotal() {
    uint64_t total = 0;
    for (const auto& camera : cameras_) total += camera->ChangeCount();
    return total;
}

bool SimUsbBus::WaitForChange(uint32_t timeout_ms) {
    const uint64_t deadline = clock_.now_us() + uint64_t{timeout_ms} * 1000;
    for (;;) {
        const uint64_t total = ChangeTotal();
        if (total != seen_changes_) {
            seen_changes_ = total;
            return true;
        }
        std::optional<uint64_t> next;
        for (const auto& camera : cameras_) {
            const auto at = camera->ReturnTimeUs();
            if (at && (!next || *at < *next)) next = at;
        }
        const uint64_t now = clock_.now_us();
        if (now >= deadline) return false;
        // Sleep until the next camera comes back, or the deadline; a real clock polls so that
        // changes made by other threads are seen too.
        uint64_t until = next ? std::min(*next, deadline) : deadline;
        if (until <= now) until = now + 1;
        clock_.sleep_us(std::min<uint64_t>(until - now, 50000));
    }
}

}  // namespace orbisk::sim
