#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "platform/folder_watch.h"
#include "sim/sim_bus.h"
#include "sim/sim_camera.h"

namespace orbisk::sim {

// A camera folder: "camera.ini" (the settings, written with CIniFile) and "flash.bin" (the
// program memory, exactly the memory's size).
inline constexpr const char* kSettingsFile = "camera.ini";
inline constexpr const char* kMemoryFile = "flash.bin";
inline constexpr const char* kOtpMemoryFile = "otp.bin";
inline constexpr const char* kEepromMemoryFile = "eeprom.bin";
inline constexpr const char* kMtpMemoryFile = "mtp.bin";
// The memory's file in the folder: "otp.bin", "eeprom.bin" or "mtp.bin" for those memories,
// "flash.bin" otherwise.
inline const char* MemoryFileFor(const SimSettings& settings) {
    switch (settings.memory) {
        case MemoryKind::kOtp:
            return kOtpMemoryFile;
        case MemoryKind::kEeprom8:
        case MemoryKind::kEeprom16:
            return kEepromMemoryFile;
        case MemoryKind::kMtp:
            return kMtpMemoryFile;
        default:
            return kMemoryFile;
    }
}
// The name `orbisk-sim show --json` gives the memory: "flash", "otp", "eeprom" or "mtp".
inline std::string MemoryJsonName(const SimSettings& settings) {
    const std::string file = MemoryFileFor(settings);
    return file.substr(0, file.find('.'));
}
// The MIPI bridge's own flash, for a module with a bridge: exactly 128 KB.
inline constexpr const char* kBridgeMemoryFile = "bridge.bin";
inline constexpr const char* kSimEnvironment = "ORBISK_SIM";
// The camera's cable: "plugged" or "unplugged"; a folder without the file is plugged in.
inline constexpr const char* kCableFile = "cable";

// Reads a camera folder. nullptr with a reason when the folder is missing or invalid.
std::shared_ptr<SimCamera> LoadCameraFolder(const std::string& folder, Clock& clock,
                                            std::string* error);
// Writes settings and memory into a folder (created when missing); each file is written
// to a temporary name first and renamed, so a failed write leaves the old file. A module with
// a bridge gets `bridge_memory` as its bridge flash (blank when null).
bool WriteCameraFolder(const std::string& folder, const SimSettings& settings,
                       const std::vector<uint8_t>& memory, std::string* error,
                       const std::vector<uint8_t>* bridge_memory = nullptr);
bool SaveCamera(SimCamera& camera, std::string* error);
// Writes a file of the camera folder through a temporary name, so a failed write leaves the
// old file.
bool WriteFileReplacing(const std::string& path, const std::string& bytes);

// The state of a folder's cable; false with a reason when the file says something else.
bool ReadCable(const std::string& folder, bool* plugged, std::string* error);
bool WriteCable(const std::string& folder, bool plugged, std::string* error);

// The lowest port on the root hub of `bus` that no other camera folder in the parent folder of
// `folder` uses; empty when every port is taken.
std::vector<uint8_t> FreePortBeside(const std::string& folder, uint8_t bus);

// The cameras of a ":"-separated list of folders on one bus. Each camera is written back
// to its folder when it resets, when its cable is pulled and when the bus is destroyed. With a
// watch, the bus follows each folder's cable file while it runs: an unplugged camera leaves the
// bus and a plugged one comes back with what its folder holds (sim_folder_bus.h).
std::unique_ptr<SimUsbBus> OpenSimBus(const std::string& folders, Clock& clock, std::string* error,
                                      std::unique_ptr<FolderWatch> watch = nullptr);
// Writes every camera of a bus made by OpenSimBus back to its folder now (and not again when
// the bus goes); false with the reason when one cannot be written. Other buses: true.
bool SaveCameraFolders(UsbBus& bus, std::string* error);
// The same from the environment variable ORBISK_SIM; nullptr without error when it is unset
// or empty (the tool then uses real USB).
std::unique_ptr<SimUsbBus> MakeSimBusFromEnvironment(Clock& clock, std::string* error,
                                                     std::unique_ptr<FolderWatch> watch = nullptr);

}  // namespace orbisk::sim
