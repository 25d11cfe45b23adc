#include "image/firmware_image.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/file_io.h"
#include "base/logger.h"
#include "base/process.h"
#include "image/config_chain.h"
#include "image/resources.h"

namespace orbisk {

namespace {

constexpr size_t kAkdImageLength = 0x4000;

void FreeFront(ImageRecord& rec) {
    rec.front.clear();
    rec.front.shrink_to_fit();
    rec.working.clear();
    rec.working.shrink_to_fit();
    rec.parse_result = 0;
    rec.config_offset = 0;
    rec.config_at_start = false;
    rec.chip_model = kNoChipModel;
    rec.problem = {};
}

bool ReadHeaderAt(std::span<const uint8_t> image, size_t offset, CDescGlobal& h) {
    if (offset >= image.size()) return false;
    const auto bytes = image.subspan(offset, std::min(image.size() - offset, kConfigCopyMax));
    return h.Parse(bytes) && h.valid();
}

// Walks the chain at `offset` without using it: false when it is corrupted.
bool ChainWalks(std::span<const uint8_t> image, size_t offset) {
    CConfigReader reader;
    reader.Load(image.subspan(offset));
    reader.ReadHeader();
    return reader.Walk([](std::unique_ptr<CDescriptor>) {});
}

void LogText(ImageEnv& env, const char* text) {
    if (env.log) env.log->Line("%s", text);
}

}  // namespace

bool IsAcceptedImageIdentity(uint16_t vid, uint16_t pid) {
    return (vid == 0x4B3D && pid == 0x113F) || (vid == 0x2C7E && pid == 0x6363);
}

bool LoadFileData(ImageRecord& rec, uint16_t vid, uint16_t pid) {
    FreeFront(rec);
    if (!IsAcceptedImageIdentity(vid, pid)) return false;
    return LoadCarriedImage(rec);
}

bool LoadCarriedImage(ImageRecord& rec) {
    FreeFront(rec);
    const auto image = FindResource(kResourceBinary, kFrontImageResource);
    if (image.empty()) return false;
    rec.front.assign(image.begin(), image.end());
    rec.working = rec.front;
    return true;
}

bool LoadImageFile(ImageRecord& rec, const std::string& path, size_t max_size) {
    FreeFront(rec);
    std::string bytes, error;
    const auto refuse = [&](const std::string& why) {
        rec.problem = {kStatusLoadFileDataFail, "cannot use the image " + why};
        return false;
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<uint64_t>(info.st_size) > max_size)
        return refuse(path + ": " + std::to_string(info.st_size) + " bytes, more than the " +
                      std::to_string(max_size) +
                      " bytes of the largest memory of any chip profile");
    switch (ReadWholeFile(path, &bytes, &error, max_size)) {
        case FileRead::kMissing:
            return refuse(path + ": no such file");
        case FileRead::kFailed:
            return refuse(error);
        case FileRead::kOk:
            break;
    }
    if (bytes.empty()) return refuse(path + ": the file is empty");
    rec.front.assign(bytes.begin(), bytes.end());
    rec.working = rec.front;
    return true;
}

bool LoadSecondFileData(ImageRecord& rec, const std::string& program_folder) {
    rec.rear.clear();
    rec.rear.shrink_to_fit();
    rec.working.clear();
    rec.working.shrink_to_fit();
    rec.rear_parse_result = 0;
    if (rec.rear_path.empty()) return false;
    std::string path = rec.rear_path;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.front() != '/') path = program_folder + "/" + path;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    char full[PATH_MAX];
    if (realpath(path.c_str(), full)) rec.rear_path = full;
    std::ifstream in(rec.rear_path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    if (in.bad() || data.empty()) return false;
    rec.rear = std::move(data);
    rec.working = rec.rear;
    return true;
}

void ApplyHeaderEffects(uint8_t config_type, int32_t& project_type, int32_t flash_type) {
    switch (config_type) {
        case 0x11:
            project_type = 2;
            break;
        case 0x12:
            project_type = 3;
            break;
        case 0x40:
            project_type = 4;
            break;
        case 0x60:
            project_type = 6;
            break;
        case 0x30:
        case 0x55:
        case 0x61:
            project_type = flash_type == 1 ? 1 : 0;
            break;
        default:
            break;
    }
}

ConfigInfoResult ReadConfigInfoEx(std::span<const uint8_t> image, ImageRecord& rec, ImageEnv& env) {
    rec.vid_pid_text.clear();
    rec.rev_text.clear();
    if (std::all_of(image.begin(), image.end(), [](uint8_t b) { return b == 0xFF; }))
        return ConfigInfoResult::kNotRead;
    size_t a = env.layout.address;
    if (env.ic_name == "AKD7805") {
        const int32_t type = env.project_type ? *env.project_type : 0;
        if (image.size() == kAkdImageLength) a = 0;
        if (type == 6 || (type == 0 && image.size() < kAkdImageLength)) a = 0;
    }
    if (image.size() < a) return ConfigInfoResult::kNotRead;
    CDescGlobal h;
    if (!ReadHeaderAt(image, a, h)) a = 0;
    // No area at all: its first byte is no configuration type to act on.
    if (a == 0 && !ReadHeaderAt(image, 0, h)) return ConfigInfoResult::kNotRead;
    CConfigReader reader;
    reader.Load(image.subspan(a));
    const CDescGlobal& header = reader.ReadHeader();
    if (env.project_type) ApplyHeaderEffects(header.config_type, *env.project_type, env.flash_type);
    const bool whole = reader.Walk(
        [&](std::unique_ptr<CDescriptor> d) {
            if (auto* id = dynamic_cast<CDescVIDPID*>(d.get())) {
                char text[32];
                std::snprintf(text, sizeof text, "VID_%04X&PID_%04X", id->vid, id->pid);
                rec.vid_pid_text = text;
                std::snprintf(text, sizeof text, "%04x", id->rev);
                rec.rev_text = text;
            }
        },
        env.log);
    if (!whole) {
        if (env.message_box)
            env.message_box("Config file corrupted");
        else
            LogText(env, "Config file corrupted\n");
        return ConfigInfoResult::kCorrupted;
    }
    return ConfigInfoResult::kOk;
}

uint32_t ParseFwImage(std::span<const uint8_t> image, ImageRecord& rec, ImageEnv& env) {
    size_t a = env.layout.address;
    if (env.ic_name == "AKD7805" && rec.recorded_length == kAkdImageLength) a = 0;
    rec.chip_model = kNoChipModel;
    CDescGlobal h;
    size_t offset;
    if (a < image.size() && ReadHeaderAt(image, a, h)) {
        offset = a;
    } else if (ReadHeaderAt(image, 0, h)) {
        offset = 0;
    } else {
        return 0;
    }
    rec.config_at_start = offset == 0;
    rec.chip_model = h.chip_model;
    rec.config_offset = static_cast<uint32_t>(offset);
    // An image whose chain cannot be walked is refused, not accepted after the warning.
    if (ReadConfigInfoEx(image, rec, env) == ConfigInfoResult::kCorrupted ||
        !ChainWalks(image, offset)) {
        rec.chip_model = kNoChipModel;
        return 0;
    }
    return 1;
}

uint32_t ParseFwFile(ImageRecord& rec, ImageEnv& env) {
    rec.parse_result = ParseFwImage(rec.front, rec, env);
    return rec.parse_result;
}

bool CheckImage(ImageRecord& rec, ImageSlot slot, ImageEnv& env) {
    constexpr int32_t kBusMipi = 2;
    switch (slot) {
        case ImageSlot::kFront:
            if (env.bus_type == kBusMipi) return true;
            return ParseFwFile(rec, env) != 0;
        case ImageSlot::kRear:
            if (env.bus_type == kBusMipi) return true;
            rec.rear_parse_result = rec.rear.empty() ? 0 : ParseFwImage(rec.rear, rec, env);
            return rec.rear_parse_result != 0;
        case ImageSlot::kWorking:
            return false;
    }
    return false;
}

bool ChipCheckPaired(uint8_t image_model, uint8_t chip_info) {
    if (image_model == chip_info) return true;
    return (image_model == 8 && chip_info == 9) || (image_model == 9 && chip_info == 8);
}

bool ChipCheckStrict(uint8_t image_model, uint8_t chip_info) {
    return image_model == chip_info;
}

void ReportImageFailure(Process& process, LogScope& scope, uint32_t code) {
    const char* line = code == kStatusLoadFileDataFail       ? "Load File Data Fail!\n"
                       : code == kStatusParseFwFileFail      ? "Parse FW File Fail!\n"
                       : code == kStatusFirmwareNotForDevice ? "Firmware is not for this device\n"
                                                             : "";
    scope.Section(line);
    process.Report(kReportFailure, code);
}

}  // namespace orbisk
