#include "sim/sim_folder_bus.h"

#include <cstdlib>
#include <sstream>

#include "sim/sim_store.h"

namespace orbisk::sim {

FolderSimBus::FolderSimBus(Clock& clock, std::unique_ptr<FolderWatch> watch)
    : SimUsbBus(clock), watch_(std::move(watch)) {
    SetResetHook([this](SimCamera& camera) { return SaveIfPlugged(camera); });
}

FolderSimBus::~FolderSimBus() {
    if (thread_.joinable()) {
        watch_->Interrupt();
        thread_.join();
    }
    SetResetHook({});
    if (saved_) return;
    std::string ignored;
    SaveAll(&ignored);
}

bool FolderSimBus::SaveAll(std::string* error) {
    std::lock_guard lock(mutex_);
    saved_ = true;
    bool ok = true;
    // Only the cameras plugged in: an unplugged folder is the user's.
    for (const Cable& cable : cables_)
        if (auto camera = CameraIn(cable.slot)) ok = SaveCamera(*camera, error) && ok;
    return ok;
}

bool FolderSimBus::AddFolder(const std::string& folder, std::string* error) {
    // Watch and hold first, then read the cable: an unplug written after this is seen by the
    // thread, one written before is read here.
    if (watch_) watch_->Add(folder);
    std::unique_ptr<FolderHold> hold = watch_ ? watch_->Hold(folder) : nullptr;
    auto camera = LoadCameraFolder(folder, clock(), error);
    if (!camera) return false;
    std::lock_guard lock(mutex_);
    // Unplugged cameras count too: each must find its port free when it comes back.
    for (const Cable& other : cables_) {
        if (other.node == camera->NodeHandle()) {
            *error = SharedPortError(folder, other.folder);
            return false;
        }
    }
    bool plugged = true;
    if (!ReadCable(folder, &plugged, error)) return false;
    if (!plugged) hold.reset();
    const size_t slot = AddCamera(plugged ? camera : nullptr);
    cables_.push_back({folder, slot, camera->NodeHandle(), std::move(hold)});
    return true;
}

void FolderSimBus::Follow() {
    if (watch_ && !thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void FolderSimBus::Run() {
    std::vector<std::string> changed;
    while (watch_->Wait(&changed)) {
        std::lock_guard lock(mutex_);
        for (const std::string& folder : changed)
            for (Cable& cable : cables_)
                if (cable.folder == folder) Apply(cable);
    }
}

void FolderSimBus::Apply(Cable& cable) {
    bool plugged = true;
    std::string error;
    // A file that says neither changes nothing: the cable stays as it is.
    if (!ReadCable(cable.folder, &plugged, &error)) return;
    const bool in = CameraIn(cable.slot) != nullptr;
    if (!plugged && in) {
        auto camera = Unplug(cable.slot);
        // Lets a waiting `orbisk-sim unplug` go on; when the camera could not be written back
        // the hold stays, and unplug tells the user so.
        if (SaveCamera(*camera, &error)) cable.hold.reset();
    } else if (plugged && !in) {
        cable.hold = watch_->Hold(cable.folder);
        auto camera = LoadCameraFolder(cable.folder, clock(), &error);
        // A folder that no longer loads, or a port another camera took meanwhile: the camera
        // stays out, as a camera that does not enumerate.
        if (!camera || !Plug(cable.slot, camera, &error)) cable.hold.reset();
    }
}

bool FolderSimBus::SaveIfPlugged(SimCamera& camera) {
    std::lock_guard lock(mutex_);
    bool ok = true;
    for (const Cable& cable : cables_) {
        if (CameraIn(cable.slot).get() != &camera) continue;
        std::string ignored;
        ok = SaveCamera(camera, &ignored) && ok;
    }
    return ok;
}

std::unique_ptr<SimUsbBus> OpenSimBus(const std::string& folders, Clock& clock, std::string* error,
                                      std::unique_ptr<FolderWatch> watch) {
    auto bus = std::make_unique<FolderSimBus>(clock, std::move(watch));
    std::stringstream stream(folders);
    std::string folder;
    while (std::getline(stream, folder, ':')) {
        if (folder.empty()) continue;
        if (!bus->AddFolder(folder, error)) return nullptr;
    }
    bus->Follow();
    return bus;
}

bool SaveCameraFolders(UsbBus& bus, std::string* error) {
    auto* folders = dynamic_cast<FolderSimBus*>(&bus);
    return folders == nullptr || folders->SaveAll(error);
}

std::unique_ptr<SimUsbBus> MakeSimBusFromEnvironment(Clock& clock, std::string* error,
                                                     std::unique_ptr<FolderWatch> watch) {
    error->clear();
    const char* value = std::getenv(kSimEnvironment);
    if (!value || !*value) return nullptr;
    return OpenSimBus(value, clock, error, std::move(watch));
}

}  // namespace orbisk::sim
