#include "fake_camera.h"

#include <algorithm>
#include <cstring>

namespace orbisk::test {
namespace {

const HResult kGone = ResultFromOsError(kErrorDeviceNotConnected);

// One transport of a fake camera; `kind` tells which one it stands for.
class FakeTransport : public CVendorCmdCommon {
  public:
    FakeTransport(FakeCameraBus& bus, uint64_t node, std::string kind)
        : bus_(bus), node_(node), kind_(std::move(kind)) {}
    bool DevQualify() override { return Camera() && Camera()->qualifies; }
    HResult GetDevStatus(uint16_t, uint8_t* out, uint32_t count) override {
        if (!Camera()) return kGone;
        Camera()->FillStatus(out, count);
        return kOk;
    }
    HResult ResetToUpdateFW(uint16_t arg) override {
        return Reset("update " + std::to_string(arg), 0);
    }
    HResult ResetToRom() override { return Reset("rom", 1); }
    HResult ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback, void*) override {
        auto camera = Camera();
        if (!camera) return kGone;
        std::memset(buf, 0, len);
        if (addr == 0xFE21 && len >= 2) camera->ReadChip(buf);
        return kOk;
    }
    HResult WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback,
                     void*) override {
        auto camera = Camera();
        if (!camera) return kGone;
        for (uint32_t i = 0; i < len; ++i) camera->writes[static_cast<uint16_t>(addr + i)] = buf[i];
        return kOk;
    }
    HResult SetPowerMipi(uint8_t state) override {
        if (!Camera()) return kGone;
        Camera()->log.push_back("power " + std::to_string(state));
        return kOk;
    }
    HResult ProbeMipiIO() override { return kFail; }
    // Memory operations only say which transport carried them.
    HResult SPI_SF_ReadSr(uint8_t* status) override {
        *status = 0;
        return Called("SPI_SF_ReadSr");
    }
    HResult NorFlash_Erase() override { return Called("NorFlash_Erase"); }
    HResult I2C_EEP16_Write(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback,
                            void*) override {
        const bool blank = std::all_of(buf, buf + len, [](uint8_t b) { return b == 0xFF; });
        return Called("I2C_EEP16_Write " + std::to_string(addr) + " " + std::to_string(len) +
                      (blank ? " blank" : ""));
    }
    HResult MTP_Erase(uint32_t) override { return Called("MTP_Erase"); }
    HResult OTP_Write(uint16_t, uint16_t, uint16_t, const uint8_t*, uint32_t, uint32_t) override {
        return Called("OTP_Write");
    }

  private:
    std::shared_ptr<FakeCamera> Camera() {
        return bus_.Present(node_) ? bus_.CameraAt(node_) : nullptr;
    }
    HResult Called(const std::string& what) {
        auto camera = Camera();
        if (!camera) return kGone;
        camera->log.push_back(kind_ + " " + what);
        return kOk;
    }
    HResult Reset(const std::string& what, uint8_t mode) {
        auto camera = Camera();
        if (!camera) return kGone;
        camera->log.push_back(kind_ + " reset " + what);
        bus_.Reset(node_, mode);
        return kOk;
    }
    FakeCameraBus& bus_;
    uint64_t node_;
    std::string kind_;
};

class FakeProbe : public CameraProbe {
  public:
    FakeProbe(FakeCameraBus& bus, uint64_t node) : bus_(bus), node_(node) {}
    bool ExtUnit_DevQualify(uint8_t) override { return Camera() && Camera()->qualifies; }
    bool ExtUnit_GetDevStatus(uint8_t, uint32_t count, uint8_t* out) override {
        if (!Camera()) return false;
        Camera()->FillStatus(out, count);
        return true;
    }
    bool ExtUnit_ReadMem(uint8_t, uint16_t addr, uint16_t len, uint8_t* out) override {
        return ReadMem(addr, len, out) == kOk;
    }
    bool ExtUnit_WriteMem(uint8_t, uint16_t addr, uint16_t len, const uint8_t* data) override {
        return WriteMem(addr, len, data) == kOk;
    }
    bool ExtUnit_Reset(uint8_t, uint8_t value, uint8_t opcode) override {
        return Reset("XU", value, opcode) == kOk;
    }
    HResult VendorProbeV1(uint16_t) override {
        if (!Camera()) return kGone;
        return Camera()->gen1 || Camera()->gen2 ? kOk : kFail;
    }
    HResult VendorStatusV2(uint16_t record, uint32_t count, uint8_t* out) override {
        auto camera = Camera();
        if (!camera) return kGone;
        if (!camera->gen2) return kFail;
        std::vector<uint8_t> status(96 + 8);
        camera->FillStatus(status.data(), 96);
        std::memcpy(out, status.data() + record * 8, std::min<uint32_t>(count, 96 - record * 8));
        return kOk;
    }
    HResult VendorReadMemV2(uint16_t addr, uint16_t len, uint8_t* out) override {
        if (!Camera() || !Camera()->gen2) return kFail;
        return ReadMem(addr, len, out);
    }
    HResult VendorWriteMemV2(uint16_t addr, uint16_t len, const uint8_t* data) override {
        if (!Camera() || !Camera()->gen2) return kFail;
        return WriteMem(addr, len, data);
    }
    HResult VendorResetV2(uint16_t value, uint8_t opcode) override {
        return Reset("V2", value, opcode);
    }
    HResult VendorResetV1(uint16_t value, uint8_t opcode) override {
        return Reset("V1", value, opcode);
    }

  private:
    std::shared_ptr<FakeCamera> Camera() {
        return bus_.Present(node_) ? bus_.CameraAt(node_) : nullptr;
    }
    HResult ReadMem(uint16_t addr, uint16_t len, uint8_t* out) {
        auto camera = Camera();
        if (!camera) return kGone;
        std::memset(out, 0, len);
        if (addr == 0xFE21 && len >= 2) camera->ReadChip(out);
        return kOk;
    }
    HResult WriteMem(uint16_t addr, uint16_t len, const uint8_t* data) {
        auto camera = Camera();
        if (!camera) return kGone;
        for (uint16_t i = 0; i < len; ++i)
            camera->writes[static_cast<uint16_t>(addr + i)] = data[i];
        return kOk;
    }
    HResult Reset(const char* path, uint16_t value, uint8_t opcode) {
        auto camera = Camera();
        if (!camera) return kGone;
        camera->log.push_back(std::string(path) + " reset " + std::to_string(opcode) + " value " +
                              std::to_string(value));
        bus_.Reset(node_, opcode == 9 ? 1 : 0);
        return kOk;
    }
    FakeCameraBus& bus_;
    uint64_t node_;
};

}  // namespace

void FakeCamera::FillStatus(uint8_t* out, uint32_t length) const {
    std::vector<uint8_t> s(104, 0);
    s[6] = static_cast<uint8_t>(status_chip);
    s[7] = static_cast<uint8_t>(status_chip >> 8);
    if (gen2) std::memcpy(s.data() + 24, kSecondGenSignature, 8);
    if (!mipi_signature.empty())
        std::memcpy(s.data() + 24, mipi_signature.c_str(),
                    std::min<size_t>(8, mipi_signature.size() + 1));
    s[64] = run_mode;
    std::memcpy(out, s.data(), std::min<uint32_t>(length, 104));
}

void FakeCamera::ReadChip(uint8_t* out) {
    if (chip_reads.empty()) {
        std::memcpy(out, chip, 2);
        return;
    }
    const auto& pair = chip_reads[std::min(chip_read_count, chip_reads.size() - 1)];
    ++chip_read_count;
    std::memcpy(out, pair.data(), 2);
}

std::shared_ptr<FakeCamera> FakeCameraBus::Plug(std::vector<uint8_t> ports, FakeCamera camera,
                                                std::vector<uint8_t> config) {
    UsbDeviceInfo info =
        FakeDevice(1, std::move(ports), camera.vid, camera.pid, camera.rev, std::move(config));
    info.manufacturer = "Maker";
    info.serial = "SN" + std::to_string(info.port());
    auto shared = std::make_shared<FakeCamera>(camera);
    cameras_[info.node_handle] = shared;
    devices.push_back(info);
    changed_ = true;
    return shared;
}

std::shared_ptr<FakeCamera> FakeCameraBus::CameraAt(uint64_t node_handle) {
    auto it = cameras_.find(node_handle);
    return it == cameras_.end() ? nullptr : it->second;
}

bool FakeCameraBus::Present(uint64_t node_handle) {
    Arrive();
    return std::any_of(devices.begin(), devices.end(),
                       [&](const UsbDeviceInfo& d) { return d.node_handle == node_handle; });
}

void FakeCameraBus::Reset(uint64_t node_handle, uint8_t run_mode) {
    auto it = std::find_if(devices.begin(), devices.end(),
                           [&](const UsbDeviceInfo& d) { return d.node_handle == node_handle; });
    if (it == devices.end()) return;
    auto camera = cameras_[node_handle];
    camera->run_mode = run_mode;
    pending_.push_back({clock_.now_ms() + camera->reenumerate_ms, *it});
    devices.erase(it);
    changed_ = true;
}

void FakeCameraBus::Arrive() {
    const uint64_t now = clock_.now_ms();
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->at_ms <= now) {
            devices.push_back(it->info);
            std::sort(devices.begin(), devices.end(),
                      [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
                          return a.node_handle < b.node_handle;
                      });
            changed_ = true;
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

std::vector<UsbDeviceInfo> FakeCameraBus::List() {
    Arrive();
    return devices;
}

bool FakeCameraBus::WaitForChange(uint32_t timeout_ms) {
    Arrive();
    if (changed_) {
        changed_ = false;
        return true;
    }
    const uint64_t deadline = clock_.now_ms() + timeout_ms;
    uint64_t next = deadline;
    for (const auto& p : pending_) next = std::min(next, p.at_ms);
    if (next > clock_.now_ms()) clock_.advance_us((next - clock_.now_ms()) * 1000);
    Arrive();
    const bool changed = changed_;
    changed_ = false;
    return changed;
}

std::unique_ptr<CameraProbe> FakeTransportFactory::CreateProbe(CameraDeviceRecord& record) {
    if (!record.usb) return nullptr;
    return std::make_unique<FakeProbe>(bus_, record.node_handle);
}

std::unique_ptr<CVendorCmdCommon> FakeTransportFactory::Make(CameraDeviceRecord& record,
                                                             const char* kind) {
    made.push_back(kind);
    return std::make_unique<FakeTransport>(bus_, record.node_handle, kind);
}

std::unique_ptr<CVendorCmdCommon> FakeTransportFactory::CreateExtUnit(CameraDeviceRecord& record,
                                                                      uint8_t) {
    return Make(record, "XU");
}

std::unique_ptr<CVendorCmdCommon> FakeTransportFactory::CreateVendorRequestV1(
    CameraDeviceRecord& record, uint8_t) {
    return Make(record, "V1");
}

std::unique_ptr<CVendorCmdCommon> FakeTransportFactory::CreateVendorRequestV2(
    CameraDeviceRecord& record) {
    return Make(record, "V2");
}

std::unique_ptr<CVendorCmdCommon> FakeTransportFactory::CreateKernelExtUnit(
    CameraDeviceRecord& record, uint8_t, uint32_t access) {
    return Make(record, access == kExtUnitMediaFound ? "KS3" : "KS2");
}

}  // namespace orbisk::test
