#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/config_edit.h"

namespace orbisk {

class LogScope;
struct Process;

inline constexpr uint32_t kStatusLoadFileDataFail = 41530;
inline constexpr uint32_t kStatusParseFwFileFail = 41531;
inline constexpr uint32_t kStatusVidPidMismatch = 41714;
inline constexpr uint32_t kStatusFirmwareNotForDevice = 41715;
inline constexpr uint8_t kNoChipModel = 0xFF;
inline constexpr int kFrontImageResource = 3068;
inline constexpr int kCommandLineImageResource = 3033;

// Why an image was refused for the camera in hand: the status code to report (41530 a file that
// cannot be used, 41714 another camera's identity, 41715 another chip's image) and a sentence
// for the operator. Code 0: nothing was refused.
struct ImageProblem {
    uint32_t code = 0;
    std::string text;
};

// The image slots of the device object: front and rear image, the working copy of the last
// loaded image and what the last parse found.
struct ImageRecord {
    std::string front_path;
    std::string rear_path;
    std::vector<uint8_t> front;
    std::vector<uint8_t> rear;
    std::vector<uint8_t> working;
    uint32_t parse_result = 0;  // non-zero when the front image's configuration was found
    uint32_t rear_parse_result = 0;
    uint32_t config_offset = 0;  // where the last parse found the configuration area
    bool config_at_start = false;
    uint8_t chip_model = kNoChipModel;
    std::string vid_pid_text;    // "VID_%04X&PID_%04X" of descriptor 4
    std::string rev_text;        // "%04x" of its revision
    size_t recorded_length = 0;  // front image length recorded by the flows before verifying
    // Why the last load or check of the front image refused it.
    ImageProblem problem;
};

enum class ImageSlot { kFront, kRear, kWorking };

// What the loader needs of the active chip profile and of the process.
struct ImageEnv {
    ConfigLayout layout;              // "Vendor Info M1" of the active profile
    std::string ic_name;              // its "Ic Name"
    int32_t* project_type = nullptr;  // changed by the configuration type (may be null)
    // What a flash image (types 0x55, 0x30, 0x61) is written into: 0 serial flash, 1 NOR
    // flash. The image cannot tell; "NOR Flash" in config.ini says it.
    int32_t flash_type = 0;
    int32_t bus_type = 0;
    LogScope* log = nullptr;
    // Shows "Config file corrupted" to the user; without one the text is only logged.
    std::function<void(const char*)> message_box;
};

// Front slot: the program's own image 3068, for cameras of the accepted identities only.
bool LoadFileData(ImageRecord& rec, uint16_t vid, uint16_t pid);
// The same image whatever the camera's identity: for a camera in its boot ROM, whose identity
// says nothing of the product (the chip check decides).
bool LoadCarriedImage(ImageRecord& rec);
// What the record of an update calls the carried image.
inline constexpr const char* kCarriedImageName = "built-in 3068";
bool IsAcceptedImageIdentity(uint16_t vid, uint16_t pid);
// Front slot: the image file at `path`, which must be a regular file of 1 to `max_size` bytes
// (never waited on, as a FIFO would be). False with `rec.problem` (41530) saying why not.
bool LoadImageFile(ImageRecord& rec, const std::string& path, size_t max_size);
// Rear slot: the file at rear_path (relative paths are taken from `program_folder`).
bool LoadSecondFileData(ImageRecord& rec, const std::string& program_folder);

// Locates the configuration area of the front image; non-zero on success. Sets the image
// chip model index and, through ReadConfigInfo, the identity texts.
uint32_t ParseFwFile(ImageRecord& rec, ImageEnv& env);
uint32_t ParseFwImage(std::span<const uint8_t> image, ImageRecord& rec, ImageEnv& env);

enum class ConfigInfoResult { kOk, kNotRead, kCorrupted };
// Reads the identity of an image's configuration area into `rec`; kNotRead for a blank image
// or one too short for ConfigAddress, kCorrupted for a chain that cannot be walked.
ConfigInfoResult ReadConfigInfoEx(std::span<const uint8_t> image, ImageRecord& rec, ImageEnv& env);
inline bool ReadConfigInfo(std::span<const uint8_t> image, ImageRecord& rec, ImageEnv& env) {
    return ReadConfigInfoEx(image, rec, env) == ConfigInfoResult::kOk;
}

// The pre-update hook: 1 when the slot's image parses (MIPI cameras always pass).
bool CheckImage(ImageRecord& rec, ImageSlot slot, ImageEnv& env);

// "Firmware is not for the device": paired form accepts chip models 8 and 9 for each other.
bool ChipCheckPaired(uint8_t image_model, uint8_t chip_info);
bool ChipCheckStrict(uint8_t image_model, uint8_t chip_info);

// Project type implied by a configuration type; other types leave it unchanged. Flash types
// give `flash_type` (0 serial flash, 1 NOR flash).
void ApplyHeaderEffects(uint8_t config_type, int32_t& project_type, int32_t flash_type = 0);

// Failure report of a programming step: kind 1044 with the code, and the two log lines.
void ReportImageFailure(Process& process, LogScope& scope, uint32_t code);

}  // namespace orbisk
