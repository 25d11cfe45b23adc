#include "sim/sim_bus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orbisk::sim {

// What every view of one bus shares: the slots and the signal that wakes waiting views.
struct SimBusState {
    struct Slot {
        std::shared_ptr<SimCamera> camera;
        // Changes of the cameras that were unplugged from this slot, plus one per plug.
        uint64_t retired_changes = 0;
    };

    std::mutex mutex;
    std::condition_variable changed;
    uint64_t signals = 0;     // counts the wake-ups, so that a waiter never misses one
    uint64_t last_total = 0;  // the change total the views last saw
    std::vector<Slot> slots;
    std::function<bool(SimCamera&)> reset_hook;

    void Signal() {
        {
            std::lock_guard lock(mutex);
            ++signals;
        }
        changed.notify_all();
    }
    // Sums the changes of every camera, and wakes the waiters when the sum moved since the
    // last look (a camera that came back after a reset is only seen when someone looks).
    uint64_t Observe() {
        std::vector<Slot> copy;
        {
            std::lock_guard lock(mutex);
            copy = slots;
        }
        uint64_t total = 0;
        for (const Slot& slot : copy)
            total += slot.retired_changes + (slot.camera ? slot.camera->ChangeCount() : 0);
        bool moved = false;
        {
            std::lock_guard lock(mutex);
            if (total > last_total) {
                last_total = total;
                ++signals;
                moved = true;
            }
        }
        if (moved) changed.notify_all();
        return total;
    }
};

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

std::string SharedPortError(const std::string& one, const std::string& other) {
    return one + " and " + other + " sit on the same bus port; give one of them other Ports";
}

SimUsbBus::SimUsbBus(Clock& clock) : SimUsbBus(clock, std::make_shared<SimBusState>(), false) {}

SimUsbBus::SimUsbBus(Clock& clock, std::shared_ptr<SimBusState> state, bool watcher)
    : clock_(clock), state_(std::move(state)), watcher_(watcher) {
    seen_changes_ = state_->Observe();
}

SimUsbBus::~SimUsbBus() = default;

std::unique_ptr<SimUsbBus> SimUsbBus::WatchView() {
    return std::unique_ptr<SimUsbBus>(new SimUsbBus(clock_, state_, true));
}

std::unique_ptr<SimUsbBus> SimUsbBus::ProgramView() {
    return std::unique_ptr<SimUsbBus>(new SimUsbBus(clock_, state_, false));
}

void SimUsbBus::Listen(SimCamera& camera) {
    std::weak_ptr<SimBusState> weak = state_;
    camera.SetResetListener([weak](SimCamera& reset) {
        auto state = weak.lock();
        if (!state) return true;
        std::function<bool(SimCamera&)> hook;
        {
            std::lock_guard lock(state->mutex);
            hook = state->reset_hook;
        }
        const bool kept = !hook || hook(reset);
        state->Signal();
        return kept;
    });
}

size_t SimUsbBus::AddCamera(std::shared_ptr<SimCamera> camera) {
    if (camera) Listen(*camera);
    std::lock_guard lock(state_->mutex);
    state_->slots.push_back({std::move(camera), 0});
    return state_->slots.size() - 1;
}

std::shared_ptr<SimCamera> SimUsbBus::Unplug(size_t slot) {
    std::shared_ptr<SimCamera> camera = CameraIn(slot);
    if (!camera) return nullptr;
    camera->PullCable();
    // Waits for a transfer under way to end; the camera's changes then stay with the slot.
    const uint64_t changes = camera->ChangeCount();
    {
        std::lock_guard lock(state_->mutex);
        SimBusState::Slot& place = state_->slots[slot];
        place.camera.reset();
        place.retired_changes += changes;
    }
    state_->Signal();
    return camera;
}

bool SimUsbBus::Plug(size_t slot, std::shared_ptr<SimCamera> camera, std::string* error) {
    const uint64_t node = camera->NodeHandle();
    for (const auto& other : cameras()) {
        if (other->NodeHandle() == node) {
            *error = SharedPortError(camera->path(), other->path());
            return false;
        }
    }
    Listen(*camera);
    {
        std::lock_guard lock(state_->mutex);
        if (slot >= state_->slots.size() || state_->slots[slot].camera) {
            *error = "the slot is taken";
            return false;
        }
        SimBusState::Slot& place = state_->slots[slot];
        place.camera = std::move(camera);
        ++place.retired_changes;  // the arrival
    }
    state_->Signal();
    return true;
}

std::shared_ptr<SimCamera> SimUsbBus::CameraIn(size_t slot) const {
    std::lock_guard lock(state_->mutex);
    return slot < state_->slots.size() ? state_->slots[slot].camera : nullptr;
}

std::vector<std::shared_ptr<SimCamera>> SimUsbBus::cameras() const {
    std::lock_guard lock(state_->mutex);
    std::vector<std::shared_ptr<SimCamera>> all;
    for (const auto& slot : state_->slots)
        if (slot.camera) all.push_back(slot.camera);
    return all;
}

void SimUsbBus::SetResetHook(std::function<bool(SimCamera&)> hook) {
    std::lock_guard lock(state_->mutex);
    state_->reset_hook = std::move(hook);
}

std::vector<UsbDeviceInfo> SimUsbBus::List() {
    std::vector<UsbDeviceInfo> all;
    for (const auto& camera : cameras()) {
        std::vector<UsbDeviceInfo> entries = camera->ListEntries();
        all.insert(all.end(), entries.begin(), entries.end());
    }
    std::stable_sort(all.begin(), all.end(), [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
        return a.node_handle < b.node_handle;
    });
    // Whoever lists a camera that came back tells the views that wait.
    state_->Observe();
    return all;
}

std::shared_ptr<SimCamera> SimUsbBus::Find(uint64_t node_handle) {
    for (const auto& camera : cameras())
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

std::optional<uint64_t> SimUsbBus::NextReturnUs() {
    std::optional<uint64_t> next;
    for (const auto& camera : cameras()) {
        const auto at = camera->ReturnTimeUs();
        if (at && (!next || *at < *next)) next = at;
    }
    return next;
}

bool SimUsbBus::WaitForChange(uint32_t timeout_ms) {
    using Steady = std::chrono::steady_clock;
    const uint64_t deadline_us = clock_.now_us() + uint64_t{timeout_ms} * 1000;
    const auto real_deadline = Steady::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        uint64_t signals;
        {
            std::lock_guard lock(state_->mutex);
            signals = state_->signals;
        }
        const uint64_t total = state_->Observe();
        if (total != seen_changes_) {
            seen_changes_ = total;
            return true;
        }
        const std::optional<uint64_t> next = NextReturnUs();
        const uint64_t now = clock_.now_us();
        std::unique_lock lock(state_->mutex);
        auto woken = [&] { return state_->signals != signals; };
        if (watcher_) {
            const auto real_now = Steady::now();
            if (real_now >= real_deadline) return false;
            auto wait =
                std::chrono::duration_cast<std::chrono::microseconds>(real_deadline - real_now);
            // On the system clock a camera's return time is real time; on a virtual one only a
            // sleeper moves time, and it tells the waiters when it looks at the bus.
            if (next && clock_.passes_by_itself())
                wait = std::min(wait, std::chrono::microseconds(*next - std::min(*next, now) + 1));
            state_->changed.wait_for(lock, wait, woken);
        } else {
            if (now >= deadline_us) return false;
            const uint64_t until = next ? std::min(*next, deadline_us) : deadline_us;
            clock_.wait_us(state_->changed, lock, std::max<uint64_t>(until - now, 1), woken);
        }
    }
}

}  // namespace orbisk::sim
