#include "sim/sim_store.h"

#include <algorithm>
#include <cctype>
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

// Flushed to the disk and renamed over the file: a failed write leaves the old file whole.
bool ReplaceFile(const fs::path& path, const std::string& bytes, std::string* error) {
    return WriteFileAtomically(path.string(), bytes, error);
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& bytes) {
    std::string ignored;
    return ReplaceFile(path, bytes, &ignored);
}

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
    const fs::path memory_path = dir / MemoryFileFor(settings);
    if (!ReadWhole(memory_path, &memory, error)) return nullptr;
    if (memory.size() != settings.MemorySize()) {
        *error = memory_path.string() + ": holds " + std::to_string(memory.size()) +
                 " bytes, the memory has " + std::to_string(settings.MemorySize());
        return nullptr;
    }
    std::vector<uint8_t> bridge_memory;
    if (settings.bridge.present) {
        const fs::path bridge_path = dir / kBridgeMemoryFile;
        if (!ReadWhole(bridge_path, &bridge_memory, error)) return nullptr;
        if (bridge_memory.size() != kBridgeFlashSize) {
            *error = bridge_path.string() + ": holds " + std::to_string(bridge_memory.size()) +
                     " bytes, the bridge's flash has " + std::to_string(kBridgeFlashSize);
            return nullptr;
        }
    }
    return std::make_shared<SimCamera>(std::move(settings), std::move(memory), clock, folder,
                                       std::move(bridge_memory));
}

bool WriteCameraFolder(const std::string& folder, const SimSettings& settings,
                       const std::vector<uint8_t>& memory, std::string* error,
                       const std::vector<uint8_t>* bridge_memory) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        *error = folder + ": " + ec.message();
        return false;
    }
    CIniFile ini;
    ini.AddHeaderComment(
        "; Simulated camera: settings. The memory is in flash.bin (otp.bin, eeprom.bin, mtp.bin).");
    settings.Save(&ini);
    const fs::path dir(folder);
    std::string reason;
    if (settings.bridge.present) {
        std::vector<uint8_t> bridge(kBridgeFlashSize, 0xFF);
        if (bridge_memory)
            std::copy_n(bridge_memory->begin(), std::min(bridge_memory->size(), bridge.size()),
                        bridge.begin());
        if (!ReplaceFile(dir / kBridgeMemoryFile, std::string(bridge.begin(), bridge.end()),
                         &reason)) {
            *error = "cannot write the simulated camera's bridge back: " + reason;
            return false;
        }
    }
    if (!ReplaceFile(dir / MemoryFileFor(settings), std::string(memory.begin(), memory.end()),
                     &reason) ||
        !ReplaceFile(dir / kSettingsFile, ini.Serialize(), &reason)) {
        *error = "cannot write the simulated camera back: " + reason;
        return false;
    }
    return true;
}

bool SaveCamera(SimCamera& camera, std::string* error) {
    if (camera.path().empty()) return true;
    const SimSettings settings = camera.SettingsToSave();
    const std::vector<uint8_t> bridge = camera.BridgeMemory();
    return WriteCameraFolder(camera.path(), settings, camera.Memory(), error, &bridge);
}

bool ReadCable(const std::string& folder, bool* plugged, std::string* error) {
    const fs::path path = fs::path(folder) / kCableFile;
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        *plugged = true;
        return true;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWhole(path, &bytes, error)) return false;
    std::string text(bytes.begin(), bytes.end());
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    if (text != "plugged" && text != "unplugged") {
        *error = path.string() + ": holds neither \"plugged\" nor \"unplugged\"";
        return false;
    }
    *plugged = text == "plugged";
    return true;
}

bool WriteCable(const std::string& folder, bool plugged, std::string* error) {
    std::string reason;
    if (!ReplaceFile(fs::path(folder) / kCableFile, plugged ? "plugged\n" : "unplugged\n",
                     &reason)) {
        *error = folder + ": cannot write the cable's state (" + reason + ")";
        return false;
    }
    return true;
}

std::vector<uint8_t> FreePortBeside(const std::string& folder, uint8_t bus) {
    const fs::path self = fs::absolute(fs::path(folder)).lexically_normal();
    std::vector<bool> taken(256, false);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(self.parent_path(), ec)) {
        const fs::path other = entry.path().lexically_normal();
        if (other == self || !fs::is_regular_file(other / kSettingsFile, ec)) continue;
        CIniFile ini((other / kSettingsFile).string());
        SimSettings settings;
        std::string ignored;
        // A folder that does not load is no camera the tool would put on the bus.
        if (!ini.ReadFile() || !settings.Load(ini, &ignored) || settings.bus != bus) continue;
        taken[settings.ports.front()] = true;
    }
    for (int port = 1; port < 256; ++port)
        if (!taken[port]) return {static_cast<uint8_t>(port)};
    return {};
}

}  // namespace orbisk::sim
