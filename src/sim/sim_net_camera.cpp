// The simulated network camera: requests, faults, the numbered commands and the upload.
#include "sim/sim_net_camera.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "base/ini_file.h"
#include "sim/sim_image.h"
#include "sim/sim_store.h"

namespace orbisk::sim {
namespace {

constexpr const char* kSection = "Network";
constexpr uint32_t kSwitchOn = 1;
constexpr uint32_t kSwitchOff = 2;
constexpr size_t kData10Max = 512;
constexpr uint32_t kShortBy = 64;
constexpr const char* kSwitch7File = "switch7.bin";

uint16_t Read16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}
uint32_t Read32(const uint8_t* in) {
    return uint32_t{in[0]} | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16) |
           (uint32_t{in[3]} << 24);
}
void Write32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}

// Hex text back to bytes; anything that is not pairs of hex digits gives nothing.
std::vector<uint8_t> Unhex(const std::string& text, size_t max) {
    std::vector<uint8_t> bytes;
    if (text.size() % 2 != 0 || text.size() / 2 > max) return bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            std::sscanf(text.c_str() + i, "%2x", &value) != 1)
            return {};
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

}  // namespace

SimNetCamera::SimNetCamera(std::shared_ptr<SimCamera> camera)
    : camera_(std::move(camera)), folder_(camera_->path()) {
    // The sensor on the camera's I2C bus, with its identity registers.
    I2cDevice& sensor = i2c_[0x60];
    sensor.registers[0x0A] = 0x56;
    sensor.registers[0x0B] = 0x40;
    LoadState();
}

std::string SimNetCamera::FolderFile(const char* name) const {
    return (std::filesystem::path(folder_) / name).string();
}

void SimNetCamera::LoadState() {
    if (folder_.empty()) return;
    CIniFile ini(FolderFile(kNetworkFile));
    if (!ini.ReadFile()) return;
    for (uint16_t command : {7, 8, 9}) {
        const int32_t value =
            ini.GetValueI(kSection, "Switch" + std::to_string(command), kSwitchOff);
        switches_[command] = value == kSwitchOn ? kSwitchOn : kSwitchOff;
    }
    value16_ = static_cast<uint8_t>(ini.GetValueI(kSection, "Value16", 0));
    value17_ = static_cast<uint8_t>(ini.GetValueI(kSection, "Value17", 0));
    value19_ = static_cast<uint8_t>(ini.GetValueI(kSection, "Value19", 0));
    command3_count_ = static_cast<uint32_t>(ini.GetValueI(kSection, "Command3Count", 0));
    data10_ = Unhex(ini.GetValue(kSection, "Data10", ""), kData10Max);
    const int section = ini.FindSection(kSection);
    for (int key = 0; section >= 0 && key < ini.KeyCount(section); ++key) {
        const std::string& name = ini.KeyName(section, key);
        if (name.rfind("Param20.", 0) != 0) continue;
        const uint32_t param = static_cast<uint32_t>(CIniFile::ParseInteger(name.substr(8)));
        params20_[param] = static_cast<uint32_t>(ini.GetValueI(section, name, 0));
    }
}

void SimNetCamera::SaveState() {
    if (folder_.empty()) return;
    CIniFile ini;
    for (const auto& [command, value] : switches_)
        ini.SetValueI(kSection, "Switch" + std::to_string(command), static_cast<int32_t>(value));
    ini.SetValueI(kSection, "Value16", value16_);
    ini.SetValueI(kSection, "Value17", value17_);
    ini.SetValueI(kSection, "Value19", value19_);
    ini.SetValueI(kSection, "Command3Count", static_cast<int32_t>(command3_count_));
    ini.SetValue(kSection, "Data10", Hex(data10_));
    for (const auto& [param, value] : params20_)
        ini.SetValue(kSection, "Param20." + std::to_string(param), std::to_string(value));
    WriteFileReplacing(FolderFile(kNetworkFile), ini.Serialize());
}

void SimNetCamera::SetSplit(uint32_t bytes) {
    std::lock_guard lock(mutex_);
    split_ = bytes;
}

uint32_t SimNetCamera::split() {
    std::lock_guard lock(mutex_);
    return split_;
}

void SimNetCamera::SetFault(NetFault fault, uint32_t at) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    fault_at_ = at == 0 ? requests_ + 1 : at;
}

void SimNetCamera::SetRecording(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
    recorded_.clear();
}

std::vector<std::vector<uint8_t>> SimNetCamera::Requests() {
    std::lock_guard lock(mutex_);
    return recorded_;
}

uint32_t SimNetCamera::RequestCount() {
    std::lock_guard lock(mutex_);
    return requests_;
}

void SimNetCamera::SetListenAddress(const std::string& address) {
    std::lock_guard lock(mutex_);
    listen_address_ = address;
}

std::vector<uint8_t> SimNetCamera::LastUpload() {
    std::lock_guard lock(mutex_);
    return last_upload_;
}

NetAnswer SimNetCamera::Handle(const uint8_t* header, const std::vector<uint8_t>& data) {
    std::lock_guard lock(mutex_);
    ++requests_;
    if (recording_) {
        std::vector<uint8_t> message(header, header + kNetHeaderSize);
        message.insert(message.end(), data.begin(), data.end());
        recorded_.push_back(std::move(message));
    }
    NetFault fault = NetFault::kNone;
    if (fault_ != NetFault::kNone && fault_at_ == requests_) {
        fault = fault_;
        fault_ = NetFault::kNone;
    }
    if (fault == NetFault::kClose) return {NetAnswer::kClose, {}};
    if (fault == NetFault::kSilent) return {NetAnswer::kSilence, {}};

    const uint16_t command = Read16(header);
    Reply reply = Dispatch({command, Read32(header + 4), data});
    if (fault == NetFault::kWrongStatus) reply.status = kNetBadRequest;
    NetAnswer answer;
    answer.reply.resize(kNetHeaderSize);
    answer.reply[0] = header[0];
    answer.reply[1] = header[1];
    answer.reply[2] = static_cast<uint8_t>(reply.status);
    answer.reply[3] = static_cast<uint8_t>(reply.status >> 8);
    Write32(&answer.reply[4], reply.parameter);
    const uint32_t length = static_cast<uint32_t>(reply.data.size());
    Write32(&answer.reply[8], fault == NetFault::kShortReply ? length + kShortBy : length);
    answer.reply.insert(answer.reply.end(), reply.data.begin(), reply.data.end());
    if (fault == NetFault::kShortReply) answer.action = NetAnswer::kSendThenClose;
    return answer;
}

SimNetCamera::Reply SimNetCamera::Dispatch(const Request& request) {
    switch (request.command) {
        case 2:
            if (request.parameter != 0 || request.data.empty()) return {kNetBadRequest};
            return Upload(request.data);
        case 6:
            return Register(request);
        default:
            return Numbered(request);
    }
}

SimNetCamera::Reply SimNetCamera::Upload(const std::vector<uint8_t>& data) {
    last_upload_ = data;
    if (!folder_.empty() &&
        !WriteFileReplacing(FolderFile(kUploadFile), std::string(data.begin(), data.end())))
        return {kNetStoreFailed};
    return {kNetOk};
}

SimNetCamera::Reply SimNetCamera::Text(const std::string& text) {
    return {kNetOk, 0, std::vector<uint8_t>(text.begin(), text.end())};
}

SimNetCamera::Reply SimNetCamera::Numbered(const Request& request) {
    const uint16_t command = request.command;
    const uint32_t p = request.parameter;
    const std::vector<uint8_t>& data = request.data;
    const size_t n = data.size();
    const Reply bad{kNetBadRequest};
    const bool plain = p == 0 && n == 0;
    switch (command) {
        case 3:
            if (!plain && !(p == 0x12345678 && n == 1)) return bad;
            ++command3_count_;
            SaveState();
            return {kNetOk, p};
        case 4:
        case 5: {
            // Status records of the controller: one (4), or from that one to the end (5).
            if (p != 0 || n != 1) return bad;
            const std::vector<uint8_t> block = camera_->StatusBlock();
            const size_t first = size_t{data[0]} * 8;
            if (first >= block.size()) return {kNetOutOfRange};
            const size_t end = command == 4 ? first + 8 : block.size();
            return {kNetOk, 0, std::vector<uint8_t>(block.begin() + first, block.begin() + end)};
        }
        case 7:
        case 8:
        case 9: {
            if (plain) {
                const auto it = switches_.find(command);
                return {kNetOk, it == switches_.end() ? kSwitchOff : it->second};
            }
            if ((p != kSwitchOn && p != kSwitchOff) ||
                (n != 0 && !(command == 7 && p == kSwitchOn)))
                return bad;
            if (command == 7 && n != 0) {
                if (folder_.empty() || WriteFileReplacing(FolderFile(kSwitch7File),
                                                          std::string(data.begin(), data.end())))
                    switch7_data_ = data;
                else
                    return {kNetStoreFailed};
            }
            switches_[command] = p;
            SaveState();
            return {kNetOk, p};
        }
        case 10:
            if (plain) return {kNetOk, 0, data10_};
            if (p != 1 || n > kData10Max) return bad;
            data10_ = data;
            SaveState();
            return {kNetOk, p};
        case 11:
        case 12:
        case 13:
        case 14:
        case 15: {
            if (!plain) return bad;
            const UsbIdentity id = camera_->CurrentIdentity();
            if (command == 11) return Text(listen_address_ + ":" + std::to_string(kNetPort));
            if (command == 12) return Text(VersionText(camera_->StatusBlock()));
            if (command == 13) return Text(id.serial);
            if (command == 14) return Text(id.product);
            uint8_t chip[2] = {0, 0};
            camera_->ReadRegisters(0xFE21, 2, chip);
            char text[8];
            std::snprintf(text, sizeof text, "%02X%02X", chip[1], chip[0]);
            return Text(text);
        }
        case 16:
            if (p == 0 && n == 1 && data[0] == 0x80) return {kNetOk, 0, {value16_}};
            if (p != 0 || n != 9 || data[0] != 0) return bad;
            value16_ = data[8];
            SaveState();
            return {kNetOk};
        case 17:
        case 19:
            if (p != 0 || n != 1) return bad;
            (command == 17 ? value17_ : value19_) = data[0];
            SaveState();
            return {kNetOk};
        case 18:
            if (p != 0 || n != 1 || data[0] != 0) return bad;
            return {kNetOk, 0, {value17_, value19_}};
        case 20: {
            if (n == 0) {
                const auto it = params20_.find(p);
                std::vector<uint8_t> value(4);
                Write32(value.data(), it == params20_.end() ? 0 : it->second);
                return {kNetOk, p, value};
            }
            if (n != 4) return bad;
            params20_[p] = Read32(data.data());
            SaveState();
            return {kNetOk, p};
        }
        default:
            return {kNetUnknownCommand};
    }
}

}  // namespace orbisk::sim
