#include "catalogue/image_selection.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "base/logger.h"
#include "base/process.h"
#include "base/sha256.h"
#include "catalogue/firmware_selection.h"
#include "catalogue/ic_type_ini.h"
#include "image/config_chain.h"
#include "image/descriptor.h"

namespace orbisk {
namespace {

bool KnownConfigType(uint8_t type, bool short_image) {
    switch (type) {
        case 0x55:
        case 0x12:
        case 0x11:
        case 0x40:
        case 0x60:
            return true;
        case 0x61:
            return short_image;
        default:
            return false;
    }
}

bool HeaderAt(std::span<const uint8_t> image, size_t offset, CDescGlobal* header) {
    if (offset >= image.size()) return false;
    const size_t length = std::min(image.size() - offset, kConfigCopyMax);
    return header->Parse(image.subspan(offset, length)) && header->valid();
}

// Whether the active profile finds a configuration area of a known type in the image.
bool ProfileFindsArea(CICTypeIni& profiles, std::span<const uint8_t> image, bool allow_short) {
    const size_t a = static_cast<size_t>(profiles.ReadConfigLayout().address);
    CDescGlobal header;
    if (image.size() < a) {
        if (!allow_short) return false;
        return HeaderAt(image, 0, &header) && KnownConfigType(header.config_type, true);
    }
    if (!HeaderAt(image, a, &header) && !HeaderAt(image, 0, &header)) return false;
    return KnownConfigType(header.config_type, false);
}

ImageEnv EnvFor(ImageSelection& s) {
    ImageEnv env;
    env.layout = s.profiles.ReadConfigLayout();
    env.ic_name = s.profiles.GetValue(kConfigSection, "Ic Name", "");
    env.project_type = &s.process.project_type;
    env.flash_type = s.process.ConfigInt(cfg::kNorFlash) != 0 ? 1 : 0;
    env.bus_type = s.process.bus_type;
    env.log = s.log;
    return env;
}

void SetChosen(ImageSelection& s, const std::string& path) {
    if (s.chosen_image_path) *s.chosen_image_path = path;
}

// The *.rfw files of a folder, in name order so that a search is repeatable.
std::vector<std::string> RfwFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == ".rfw") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

bool LoadSelectedImage(ImageSelection& s) {
    if (s.file.empty())
        return s.any_identity ? LoadCarriedImage(s.images) : LoadFileData(s.images, s.vid, s.pid);
    if (!LoadImageFile(s.images, s.file, s.profiles.LargestMemory())) {
        if (!s.file_sha256.empty())
            s.images.problem.text +=
                "; it is the image the recovery record names: name the "
                "image to write with --image FILE";
        return false;
    }
    if (!s.file_sha256.empty() && Sha256Hex(s.images.front) != s.file_sha256) {
        LoadFileData(s.images, 0, 0);  // the slot is emptied
        s.images.problem = {kStatusLoadFileDataFail,
                            s.file + " has changed since the recovery record named it (SHA-256 " +
                                s.file_sha256 + "): name the image to write with --image FILE"};
        return false;
    }
    return true;
}

bool FileIdentityFits(ImageSelection& s) {
    if (s.file.empty() || s.any_identity) return true;
    const std::string camera = VidPidText(s.vid, s.pid);
    if (s.images.vid_pid_text == camera) return true;
    s.images.problem.code = kStatusVidPidMismatch;
    s.images.problem.text =
        s.images.vid_pid_text.empty()
            ? s.file +
                  " carries no USB identity where this camera's chip keeps it, so it cannot "
                  "be the image of " +
                  camera
            : s.file + " is the image of " + s.images.vid_pid_text + ", not of this camera, " +
                  camera;
    return false;
}

namespace {

// The chip checks of an image file say why they refused it.
void ExplainRefusedFile(ImageSelection& s, uint32_t code, const std::string& why) {
    if (s.file.empty()) return;
    s.images.problem = {code, s.file + " " + why};
}

std::string ProfileText(const CICTypeIni& profiles) {
    return profiles.GetValue(kConfigSection, "Ic Name", "") + ", chip model " +
           std::to_string(profiles.chip_info);
}

}  // namespace

int CheckImageForChipIdentity(ImageSelection& s, std::array<uint8_t, 2> chip) {
    if (!LoadSelectedImage(s)) return 0;
    bool taken = false;
    std::string chip_name;  // of the first profile that knows the camera's chip
    for (int i = 0; i < s.profiles.ProfileCount() && !taken; ++i) {
        s.profiles.SelectProfile(i);
        if (!s.profiles.MatchChip(chip[0], chip[1])) continue;
        if (chip_name.empty()) chip_name = s.profiles.GetValue(kConfigSection, "Ic Name", "?");
        taken = ProfileFindsArea(s.profiles, s.images.front, true);
    }
    if (!taken) {
        ExplainRefusedFile(s, kStatusFirmwareNotForDevice,
                           !chip_name.empty()
                               ? "has no configuration area where this camera's chip, " +
                                     chip_name + ", keeps it: it is no image of that chip"
                               : std::string("cannot be checked: no chip profile knows this "
                                             "camera's chip"));
        return 0;
    }
    ImageEnv env = EnvFor(s);
    if (s.images.front.empty() || !CheckImage(s.images, ImageSlot::kFront, env)) {
        SetChosen(s, "");
        ExplainRefusedFile(s, kStatusParseFwFileFail,
                           "has no readable configuration area (Parse FW File Fail!)");
        return 0;
    }
    if (!ChipCheckPaired(s.images.chip_model, s.profiles.chip_info)) {
        ExplainRefusedFile(s, kStatusFirmwareNotForDevice,
                           "is an image of chip model " + std::to_string(s.images.chip_model) +
                               ", not of this camera's chip (" + ProfileText(s.profiles) + ")");
        return 0;
    }
    if (!FileIdentityFits(s)) return 0;
    if (s.image_identity && !s.images.vid_pid_text.empty()) {
        std::string rev = s.images.rev_text;
        std::transform(rev.begin(), rev.end(), rev.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        *s.image_identity = s.images.vid_pid_text + "&REV_" + rev;
    }
    return 1;
}

int FindFirstLoadableImage(ImageSelection& s) {
    SetChosen(s, "");
    for (const std::string& file : RfwFiles(s.process.program_folder)) {
        s.images.front_path = file;
        SetChosen(s, file);
        if (LoadFileData(s.images, s.vid, s.pid)) return 1;
    }
    s.images.front_path.clear();
    SetChosen(s, "");
    return 0;
}

int GetFwFileForTarnAllInOneFarrow(ImageSelection& s, SensorSlot slot, uint16_t probe_id,
                                   const std::function<std::array<uint8_t, 2>()>& read_chip) {
    const bool front = slot == SensorSlot::kFront;
    SetChosen(s, "");
    const int32_t sensor_id = s.process.ConfigInt("SensorID", 0);
    std::string folder = s.process.program_folder;
    if (sensor_id) {
        const uint16_t larkvale = front ? kFrontLarkvaleProbeId : kRearLarkvaleProbeId;
        folder += probe_id == larkvale ? "/Larkvale" : "/Ostrey";
    } else {
        folder += "/" + s.process.ConfigText(front ? "FrontCamera" : "RearCamera", "");
    }
    std::string& slot_path = front ? s.images.front_path : s.images.rear_path;
    bool accepted = false;
    for (const std::string& file : RfwFiles(folder)) {
        SetChosen(s, file);
        slot_path = file;
        const bool loaded = front ? LoadFileData(s.images, s.vid, s.pid)
                                  : LoadSecondFileData(s.images, s.process.program_folder);
        if (!loaded) {
            SetChosen(s, "");
            continue;
        }
        const std::span<const uint8_t> image = front ? s.images.front : s.images.rear;
        const auto chip = read_chip();
        bool taken = false;
        for (int i = 0; i < s.profiles.ProfileCount() && !taken; ++i) {
            s.profiles.SelectProfile(i);
            if (!s.profiles.MatchChip(chip[0], chip[1])) continue;
            s.profiles.ApplyProfile();
            taken = ProfileFindsArea(s.profiles, image, false);
        }
        if (!taken) continue;
        ImageEnv env = EnvFor(s);
        const bool checked =
            CheckImage(s.images, front ? ImageSlot::kFront : ImageSlot::kRear, env);
        if (checked && ChipCheckStrict(s.images.chip_model, s.profiles.chip_info)) {
            accepted = true;
            break;
        }
        SetChosen(s, "");
    }
    if (!accepted) {
        SetChosen(s, "");
        slot_path.clear();
    }
    if (s.log) {
        const std::string when = Logger::CurrentTimeText();
        const std::string chosen = s.chosen_image_path ? *s.chosen_image_path : "";
        s.log->Text("----------------: ");
        s.log->Text(front ? "%sSensorID:%d,ProbeID:0x%04X,Front FW: %s\r\n"
                          : "%sSensorID:%d,ProbeID:0x%04X,Rear FW:%s\r\n",
                    when.c_str(), sensor_id, probe_id, chosen.c_str());
    }
    return accepted ? 1 : 0;
}

}  // namespace orbisk
