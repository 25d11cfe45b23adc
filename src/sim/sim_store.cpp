#include "sim/sim_store.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "base/file_io.h"

namespace orbisk::sim {

namespace fs = std::filesystem;

namespace {

bool ReadWhole(const fs::path& path, std::vector<uint8_t>* out, std::string* error) {
    std::string bytes;
    switch (ReadWholeFile(path.string(), &bytes, error)) {
        case FileRead::kOk:
            out->assign(bytes.begin(), bytes.end());
            return true;
        case FileRead::kMissing:
            *error = path.string() + ": missing";
            return false;
        case FileRead::kFailed:
            return false;
    }
    return false;
}

// Writes every camera back when the program is done with the bus, unless the program has
// already done so and heard how it went.
class FolderSimBus final : public SimUsbBus {
  public:
    using SimUsbBus::SimUsbBus;
    ~FolderSimBus() override {
        if (saved_) return;
        std::string ignored;
        for (const auto& camera : cameras()) SaveCamera(*camera, &ignored);
    }
    bool SaveAll(std::string* error) {
        saved_ = true;
        bool ok = true;
        for (const auto& camera : cameras()) ok = SaveCamera(*camera, error) && ok;
        return ok;
    }

  private:
    bool saved_ = false;
};

}  // namespace

std::shared_ptr<SimCamera> LoadCameraFolder(const std::string& folder, Clock& clock,
                                            std::string* error) {
    const fs::path dir(folder);
    const fs::path ini_path = dir / kSettingsFile;
    std::error_code ec;
    if (!fs::exists(ini_path, ec)) {
        *error = folder + ": no simulated camera here (" + kSettingsFile + " is missing)";
        return nullptr;
    }
    CIniFile ini(ini_path.string());
    if (!ini.ReadFile() || ini.LoadStoppedEarly()) {
        *error = ini.ReadError().empty() ? ini_path.string() + ": cannot read the settings"
                                         : ini.ReadError();
        return nullptr;
    }
    SimSettings settings;
    std::string reason;
    if (!settings.Load(ini, &reason)) {
        *error = ini_path.string() + ": " + reason;
        return nullptr;
    }
    std::vector<uint8_t> memory;
    const fs::path memory_path = dir / kMemoryFile;
    if (!ReadWhole(memory_path, &memory, error)) return nullptr;
    if (memory.size() != settings.MemorySize()) {
        *error = memory_path.string() + ": holds " + std::to_string(memory.size()) +
                 " bytes, the memory has " + std::to_string(settings.MemorySize());
        return nullptr;
    }
    return std::make_shared<SimCamera>(std::move(settings), std::move(memory), clock, folder);
}

bool WriteCameraFolder(const std::string& folder, const SimSettings& settings,
                       const std::vector<uint8_t>& memory, std::string* error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        *error = folder + ": " + ec.message();
        return false;
    }
    CIniFile ini;
    ini.AddHeaderComment("; Simulated camera: settings. The memory is in flash.bin.");
    settings.Save(&ini);
    const fs::path dir(folder);
    std::string reason;
    if (!WriteFileAtomically((dir / kMemoryFile).string(),
                             std::string(memory.begin(), memory.end()), &reason) ||
        !WriteFileAtomically((dir / kSettingsFile).string(), ini.Serialize(), &reason)) {
        *error = "cannot write the simulated camera back: " + reason;
        return false;
    }
    return true;
}

bool SaveCamera(SimCamera& camera, std::string* error) {
    if (camera.path().empty()) return true;
    return WriteCameraFolder(camera.path(), camera.SettingsToSave(), camera.Memory(), error);
}

std::unique_ptr<SimUsbBus> OpenSimBus(const std::string& folders, Clock& clock,
                                      std::string* error) {
    auto bus = std::make_unique<FolderSimBus>(clock);
    std::stringstream stream(folders);
    std::string folder;
    while (std::getline(stream, folder, ':')) {
        if (folder.empty()) continue;
        auto camera = LoadCameraFolder(folder, clock, error);
        if (!camera) return nullptr;
        for (const auto& other : bus->cameras()) {
            if (other->NodeHandle() == camera->NodeHandle()) {
                *error = folder + " and " + other->path() +
                         " sit on the same bus port; give one of them other Ports";
                return nullptr;
            }
        }
        camera->SetResetListener([](SimCamera& reset) {
            std::string ignored;
            return SaveCamera(reset, &ignored);
        });
        bus->AddCamera(std::move(camera));
    }
    return bus;
}

bool SaveCameraFolders(UsbBus& bus, std::string* error) {
    auto* folders = dynamic_cast<FolderSimBus*>(&bus);
    return folders == nullptr || folders->SaveAll(error);
}

std::unique_ptr<SimUsbBus> MakeSimBusFromEnvironment(Clock& clock, std::string* error) {
    error->clear();
    const char* value = std::getenv(kSimEnvironment);
    if (!value || !*value) return nullptr;
    return OpenSimBus(value, clock, error);
}

}  // namespace orbisk::sim
