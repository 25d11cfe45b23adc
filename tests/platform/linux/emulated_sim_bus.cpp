#include "platform/linux/emulated_sim_bus.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace orbisk::test {

namespace {

// How long a wait may take for real: events of the emulated kernel arrive at once.
constexpr uint32_t kEventWaitMs = 200;

}  // namespace

EmulatedSimBus::EmulatedSimBus(EmulatedKernel& kernel, Clock& clock)
    : kernel_(kernel), clock_(clock) {}

EmulatedSimBus::~EmulatedSimBus() {
    bus_.reset();
    for (Entry& entry : entries_) kernel_.SetModel(entry.id, nullptr);
}

EmulatedCameraShape EmulatedSimBus::ShapeOf(sim::SimCamera& camera, uint8_t address) {
    const sim::SimSettings settings = camera.Settings();
    const std::vector<UsbDeviceInfo> entries = camera.ListEntries();
    if (entries.empty()) throw std::logic_error("an absent camera has no face");
    const UsbDeviceInfo& info = entries.front();
    EmulatedCameraShape shape;
    shape.bus = settings.bus;
    shape.ports = settings.ports;
    shape.address = address;
    shape.speed_mbps = settings.speed >= 4 ? 5000 : settings.speed == 3 ? 480 : 12;
    shape.device_descriptor = info.device_descriptor;
    shape.config_descriptor = info.config_descriptor;
    shape.manufacturer = info.manufacturer;
    shape.product = info.product;
    shape.serial = info.serial;
    shape.camera_driver = true;
    shape.vc_interface = settings.vc_interface;
    shape.video_index = static_cast<int>(entries_.size()) * 2;
    shape.xu_unit = settings.unit_id;
    shape.xu_controls = (1u << 9) | (1u << 10);
    return shape;
}

void EmulatedSimBus::AddCamera(std::shared_ptr<sim::SimCamera> camera) {
    Entry entry;
    entry.device = std::make_unique<SimCameraDevice>(camera);
    EmulatedCameraShape shape = ShapeOf(*camera, next_address_++);
    shape.video_index = static_cast<int>(entries_.size()) * 2;
    entry.id = kernel_.AddCamera(shape, entry.device.get());
    entry.plugged = true;
    entry.session = camera->Session();
    entries_.push_back(std::move(entry));
}

bool EmulatedSimBus::Start() {
    bus_ = LinuxUsbBus::Create();
    return bus_ != nullptr;
}

bool EmulatedSimBus::Sync() {
    bool changed = false;
    for (Entry& entry : entries_) {
        sim::SimCamera& camera = entry.device->camera();
        const bool present = camera.Present();
        const uint64_t session = camera.Session();
        if (entry.plugged && (!present || session != entry.session)) {
            kernel_.Unplug(entry.id);
            entry.plugged = false;
            changed = true;
        }
        if (!entry.plugged && present) {
            EmulatedCameraShape shape = ShapeOf(camera, next_address_++);
            shape.video_index = kernel_.Shape(entry.id).video_index;
            kernel_.SetShape(entry.id, shape);
            kernel_.Plug(entry.id);
            entry.plugged = true;
            entry.session = session;
            changed = true;
        }
    }
    return changed;
}

std::vector<UsbDeviceInfo> EmulatedSimBus::List() {
    Sync();
    return bus_->List();
}

std::unique_ptr<UsbDeviceHandle> EmulatedSimBus::Open(uint64_t node_handle) {
    Sync();
    return bus_->Open(node_handle);
}

std::unique_ptr<CameraDriverControl> EmulatedSimBus::OpenCameraDriver(uint64_t node_handle) {
    Sync();
    return bus_->OpenCameraDriver(node_handle);
}

bool EmulatedSimBus::CanOpenDirectly(uint64_t node_handle) {
    Sync();
    return bus_->CanOpenDirectly(node_handle);
}

bool EmulatedSimBus::WaitForChange(uint32_t timeout_ms) {
    // A change made here is announced at once; give its event the moment it needs.
    if (bus_->WaitForChange(Sync() ? kEventWaitMs : 0)) return true;
    // Nothing now: let virtual time run to the next return of a camera, within the wait.
    std::optional<uint64_t> next;
    for (Entry& entry : entries_) {
        const auto at = entry.device->camera().ReturnTimeUs();
        if (at && (!next || *at < *next)) next = at;
    }
    const uint64_t deadline = clock_.now_us() + uint64_t{timeout_ms} * 1000;
    if (!next || *next > deadline) {
        clock_.sleep_us(deadline - clock_.now_us());
        return bus_->WaitForChange(Sync() ? kEventWaitMs : 0);
    }
    if (*next > clock_.now_us()) clock_.sleep_us(*next - clock_.now_us());
    return bus_->WaitForChange(Sync() ? kEventWaitMs : 0);
}

}  // namespace orbisk::test
