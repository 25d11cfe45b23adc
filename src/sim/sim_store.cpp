#include "sim/sim_store.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace orbisk::sim {

namespace fs = std::filesystem;

namespace {

bool ReadWhole(const fs::path& path, std::vector<uint8_t>* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool ReplaceFile(const fs::path& path, const std::string& bytes) {
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) return false;
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) fs::remove(temporary, ec);
    return !ec;
}

// Writes every camera back when the program is done with the bus.
class FolderSimBus final : public SimUsbBus {
  public:
    using SimUsbBus::SimUsbBus;
    ~FolderSimBus() override {
        std::string ignored;
        for (const auto& camera : cameras()) SaveCamera(*camera, &ignored);
    }
};

}  // namespace

std::shared_ptr<SimCamera> LoadCameraFolder(const std::string& folder, Clock& clock,
                                            std::string* error) {
    const fs::path dir(folder);
    const fs::path ini_path = dir / kSettingsFile;
    if (!fs::is_regular_file(ini_path)) {
        *error = folder + ": no simulated camera here (" + kSettingsFile + " is missing)";
        return nullptr;
    }
    CIniFile ini(ini_path.string());
    if (!ini.ReadFile() || ini.LoadStoppedEarly()) {
        *error = ini_path.string() + ": cannot read the settings";
        return nullptr;
    }
    SimSettings settings;
    std::string reason;
    if (!settings.Load(ini, &reason)) {
        *error = ini_path.string() + ": " + reason;
        return nullptr;
    }
    std::vector<uint8_t> memory;
    const fs::path memory_path = dir / MemoryFileFor(settings);
    if (!ReadWhole(memory_path, &memory)) {
        *error = memory_path.string() + ": cannot read the memory";
        return nullptr;
    }
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
    ini.AddHeaderComment("; Simulated camera: settings. The memory is in flash.bin (otp.bin for OTP).");
    settings.Save(&ini);
    const fs::path dir(folder);
    if (!ReplaceFile(dir / MemoryFileFor(settings), std::string(memory.begin(), memory.end())) ||
        !ReplaceFile(dir / kSettingsFile, ini.Serialize())) {
        *error = folder + ": cannot write the camera's files";
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
            SaveCamera(reset, &ignored);
        });
        bus->AddCamera(std::move(camera));
    }
    return bus;
}

std::unique_ptr<SimUsbBus> MakeSimBusFromEnvironment(Clock& clock, std::string* error) {
    error->clear();
    const char* value = std::getenv(kSimEnvironment);
    if (!value || !*value) return nullptr;
    return OpenSimBus(value, clock, error);
}

}  // namespace orbisk::sim
