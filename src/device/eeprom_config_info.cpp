#include "device/eeprom_config_info.h"

#include <ctime>
#include <optional>
#include <vector>

#include "device/device_rules.h"
#include "device/file_output.h"
#include "device/serial_number.h"
#include "image/config_edit.h"

namespace orbisk {

namespace {

constexpr uint32_t kSaveSnFail = 41713;
constexpr uint32_t kLoadFail = 41530;
constexpr uint32_t kParseFail = 41531;
constexpr uint32_t kNotForDevice = 41715;
constexpr uint8_t kManufacturerType = 1;
constexpr uint8_t kPatchWriteBackType = 9;
constexpr int32_t kProjectOtp = 6;

}  // namespace

ConfigLayout CEepromConfigInfo::Layout() {
    return profiles_.ReadConfigLayout();
}

ImageEnv CEepromConfigInfo::MakeImageEnv() {
    ImageEnv env;
    env.layout = Layout();
    env.ic_name = profiles_.chip_name;
    env.project_type = &process_.project_type;
    env.flash_type = process_.ConfigInt(cfg::kNorFlash) != 0 ? 1 : 0;
    env.bus_type = process_.bus_type;
    return env;
}

int CEepromConfigInfo::PreUpdate(const uint8_t* buffer, uint32_t) {
    ImageSlot slot;
    if (buffer != nullptr && buffer == images_.front.data())
        slot = ImageSlot::kFront;
    else if (buffer != nullptr && buffer == images_.rear.data())
        slot = ImageSlot::kRear;
    else
        return 0;
    ImageEnv env = MakeImageEnv();
    return CheckImage(images_, slot, env) ? 1 : 0;
}

bool CEepromConfigInfo::SilentLoad(const std::string& path, bool parse_and_check, LogScope& scope,
                                   ChipCheck check) {
    images_.front_path = path;
    const auto refuse = [&](uint32_t code, const char* line) {
        if (!images_.problem.text.empty()) scope.Text("%s\n", images_.problem.text.c_str());
        scope.Section(line);
        process_.Report(kReportFailure, code);
        return false;
    };
    // A camera in its boot ROM: the image for the identity its recovery record names.
    if (!DEV_LoadImageForCamera()) return refuse(kLoadFail, "Load File Data Fail!\n");
    read_length_ = static_cast<uint32_t>(images_.front.size());
    if (!parse_and_check) return true;
    // The memory type was chosen from the image as checked before; a file that changed since
    // may be another memory's.
    const int32_t project_type = process_.project_type;
    if (!PreUpdate(images_.front.data(), 0)) return refuse(kParseFail, "Parse FW File Fail!\n");
    if (process_.project_type != project_type)
        return refuse(kNotForDevice, "Firmware is not for this device\n");
    const bool fits = check == ChipCheck::kStrict
                          ? ChipCheckStrict(images_.chip_model, profiles_.chip_info)
                          : ChipCheckPaired(images_.chip_model, profiles_.chip_info);
    if (!fits) return refuse(kNotForDevice, "Firmware is not for this device\n");
    // What is written is checked as loaded now, whatever an earlier look at the file found.
    if (!CheckFileIdentity()) return refuse(kStatusVidPidMismatch, "The Vid/Pid does not Match!\n");
    return true;
}

bool CEepromConfigInfo::CameraRunsImage(LogScope& scope) {
    char label[40];
    std::snprintf(label, sizeof label, "VID_%04X&PID_%04X&REV_%04X", conn_.vid, conn_.pid,
                  conn_.rev);
    if (!ImageMatchesCameraIdentity(images_.vid_pid_text, images_.rev_text, label)) return false;
    scope.Text("Device firmware version is the latest version.\n");
    // The camera runs this image: an update that wrote it and could not finish is done.
    ForgetRecovery(scope);
    return true;
}

int CEepromConfigInfo::PreActionForAllInOne(uint32_t& status) {
    LogScope scope(process_.logger, "CEepromConfigInfo::PreActionForAllInOne");
    if (process_.ConfigInt(cfg::kSaveSn) == 0) return 1;
    std::optional<std::string> serial;
    if (!SerialToCarry(&serial, scope)) {
        scope.Section("Save SN Fail\n");
        status = kSaveSnFail;
        return 0;
    }
    if (!serial) return 1;
    SerialNumberPlacement placement;
    placement.serial_descriptor = process_.ConfigInt(cfg::kSnAddress) != 0;
    placement.bell_prefix = process_.ConfigInt(cfg::kSnFunction) != 0;
    placement.widen_to = process_.project_type == kProjectOtp;
    placement.config_size = static_cast<uint32_t>(profiles_.ReadConfigSize());
    size_t size = 0;
    if (CarrySerialNumber(images_.front, Layout(), *serial, placement, &scope, &size) !=
        EditResult::kOk) {
        scope.Section("Save SN Fail\n");
        status = kSaveSnFail;
        return 0;
    }
    config_area_size_ = size;
    return 1;
}

DumpCheckFlags CEepromConfigInfo::CheckFlags() {
    DumpCheckFlags flags;
    flags.remove_manufacturer = process_.ConfigInt(cfg::kRemoveManufacture) != 0;
    flags.remove_write_back = process_.ConfigInt(cfg::kRemovePpWriteBack) != 0;
    flags.code_signature = texts_.code_signature != 0;
    flags.second_code = texts_.second_code != 0;
    return flags;
}

void CEepromConfigInfo::PrepareReadback(const DumpCheckFlags& flags) {
    const ConfigLayout layout = Layout();
    // A rebuild that fails (corrupted area) leaves the data as read.
    if (flags.remove_manufacturer) RebuildWithoutType(readback_, layout, kManufacturerType);
    if (flags.remove_write_back) RebuildWithoutType(readback_, layout, kPatchWriteBackType);
    const uint8_t chip_model = profiles_.chip_info;
    if (!flags.remove_write_back && (chip_model == 3 || chip_model == 19)) {
        std::span<const uint8_t> area;
        if (layout.address < readback_.size())
            area = std::span<const uint8_t>(readback_).subspan(layout.address);
        write_back_ = LocateWriteBackRegion(chip_model, area, WalkChainRecords(area));
    }
    BlankIgnoredBytes(readback_, chip_model, flags, write_back_);
}

int CEepromConfigInfo::DumpCompare() {
    const DumpCheckFlags flags = CheckFlags();
    PrepareReadback(flags);
    return CompareDump(images_.front, readback_, profiles_.chip_info, flags, write_back_) ? 1 : 0;
}

int CEepromConfigInfo::BridgeDumpCompare() {
    const uint32_t reserve = static_cast<uint32_t>(process_.ConfigInt(cfg::kMipiReserve));
    return CompareBridgeDump(images_.front, readback_, reserve) ? 1 : 0;
}

int CEepromConfigInfo::ReadMipiDeviceInfo() {
    MP_GetMIPIDeviceInfo();
    return MP_Get7608VersionText();
}

int CEepromConfigInfo::ReadMipiReserve(int32_t reserve) {
    LogScope scope(process_.logger, "CEepromConfigInfo::ReadMipiReserve");
    mipi_reserved_.clear();
    // Units of 4096 bytes from unit reserve - 1 to the end of the bridge's flash.
    constexpr int32_t kUnits = 33;
    if (reserve < 1 || reserve >= kUnits) {
        scope.Text("MIPI Reserve %d keeps nothing of the bridge's flash\n", reserve);
        return 0;
    }
    const uint32_t start = static_cast<uint32_t>(reserve - 1) * kBridgeSectorSize;
    std::vector<uint8_t> tail(kBridgeFlashSize - start, 0xFF);
    // Data that were not read whole are not kept: the update refuses to go on without them.
    if (!MP_7608SPI_SF_ReadAt(start, static_cast<uint32_t>(tail.size()), tail)) {
        scope.Section("Read Flash Fail!\n");
        return 0;
    }
    mipi_reserved_ = std::move(tail);
    return 1;
}

uint32_t CEepromConfigInfo::ReadOtpSpaceUsed() {
    otp::VdTable vd;
    otp::EccTable ecc;
    texts_.otp_space.clear();
    if (!ReadOtpTables(&vd, &ecc)) return 0;
    const otp::SpaceFacts facts = otp::ReadSpace(vd, ecc);
    texts_.otp_space = otp::SpaceText(facts, static_cast<uint32_t>(images_.front.size()));
    return facts.used;
}

void CEepromConfigInfo::SaveFailedReadBackFile() {
    SaveFailedReadBack(process_.program_folder, readback_, std::time(nullptr));
}

bool CEepromConfigInfo::PrepareForWriting(LogScope& scope) {
    if (!CheckCameraForWriting(scope)) return false;
    const std::vector<uint8_t> as_loaded = images_.front;
    uint32_t code = 0;
    if (!PreActionForAllInOne(code) || !RecordBeforeUpdate(as_loaded, scope, code)) {
        process_.Report(kReportFailure, code);
        return false;
    }
    return true;
}

}  // namespace orbisk
