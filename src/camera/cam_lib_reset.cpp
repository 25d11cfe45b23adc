// Reset and reconnect: the camera drops off the bus and comes back, in ROM or in its code; the
// library finds it again by its port and replaces the camera object and the handle.
#include <algorithm>

#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/capabilities.h"
#include "camera/config_descriptor.h"
#include "camera/orv_cam.h"

namespace orbisk {
namespace {

constexpr uint32_t kNotReadyPauseMs = 300;
constexpr uint32_t kRelistPauseMs = 200;
constexpr uint32_t kSlowChipExtraMs = 2000;
constexpr int kKernelReconnectRounds = 30;

std::string DevicePath(const std::string& location) {
    return location.substr(0, location.find("#USBMI("));
}

bool InList(uint16_t value, std::initializer_list<uint16_t> list) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Chips that need no boot-select write before a reset.
bool KeepsBootSelect(uint16_t h) {
    return InList(h, {0x1000, 0x1001, 0x1002, 0x3000, 0x3001, 0x3002, 0x6000, 0x6001, 0x6002,
                      0x0080, 0x0081, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087, 0x0088, 0x7000});
}

// Chip-memory access over a record's device: second-generation vendor requests or the
// extension unit.
struct RecordMemory {
    CameraProbe& probe;
    bool gen2;
    uint8_t unit;
    bool Read(uint16_t addr, uint16_t len, uint8_t* out) {
        return gen2 ? probe.VendorReadMemV2(addr, len, out) == kOk
                    : probe.ExtUnit_ReadMem(unit, addr, len, out);
    }
    bool Write(uint16_t addr, uint8_t value) {
        return gen2 ? probe.VendorWriteMemV2(addr, 1, &value) == kOk
                    : probe.ExtUnit_WriteMem(unit, addr, 1, &value);
    }
};

}  // namespace

void CamLib::WaitForArrival(const std::string& location, uint32_t wait_ms) {
    // The reconnect event of the system: fed by the bus's arrival notifications. The camera
    // counts as back once it was seen gone and is listed at its port again.
    const std::string path = DevicePath(location);
    COrvCam* cam = orv();
    if (cam) cam->ResetReconnectEvent();
    UsbBus& bus = enumeration_.bus();
    const uint64_t deadline = process_.clock.now_ms() + wait_ms;
    bool seen_gone = false;
    while (process_.clock.now_ms() < deadline) {
        if (cam && cam->ReconnectEventSet()) return;
        const uint32_t remaining = static_cast<uint32_t>(deadline - process_.clock.now_ms());
        if (!bus.WaitForChange(remaining)) return;
        bool present = false;
        for (const UsbDeviceInfo& info : bus.List())
            if (DevicePath(LocationPathFor(info, std::nullopt)) == path) present = true;
        if (!present) seen_gone = true;
        if (present && seen_gone) return;
    }
}

int CamLib::ProxyResetAndReconnect(uint16_t arg, uint8_t opcode, bool use_given,
                                   bool force_ext_unit, uint32_t wait_ms) {
    CameraDeviceRecord& record = camera_->record();
    if (record.tag != AccessTag::kProxy || !record.usb) return kErrorInvalidParameter;
    Clock& clock = process_.clock;
    const uint64_t start = clock.now_ms();
    auto timed_out = [&] { return clock.now_ms() - start > kResetTimeoutMs; };

    auto probe = factory_.CreateProbe(record);
    if (!probe) return kErrorInvalidParameter;
    int unit = -1;
    bool gen1 = false, gen2 = false;
    if (use_given && record.capability) {
        unit = record.capability->unit_id;
        gen1 = record.capability->vendor_gen1;
        gen2 = record.capability->vendor_gen2;
    } else {
        CameraCapabilityRecord probed;
        if (!ReadDescriptors(*record.usb, &probed)) return ResultFromOsError(0);
        unit = record.class_kind == 1
                   ? FindVideoExtensionUnit(probed.config_descriptor,
                                            static_cast<uint8_t>(record.interface_number), nullptr)
                   : FindAudioExtensionUnit(probed.config_descriptor);
        uint8_t signature[8] = {};
        gen2 = probe->VendorStatusV2(3, 8, signature) == kOk &&
               std::equal(signature, signature + 8, kSecondGenSignature);
        if (!gen2) gen1 = probe->VendorProbeV1(0) == kOk;
    }

    // The reset argument; 2 and 5 are resets after which the camera is not waited for.
    uint16_t v = arg;
    if (arg == 2) arg = 1;
    if (force_ext_unit && unit > 0) gen1 = gen2 = false;
    if (v != 2 && !gen1 && !gen2) {
        if (arg == 0)
            v = 1;
        else if (arg == 1)
            v = 0;
    }

    RecordMemory memory{*probe, gen2, static_cast<uint8_t>(std::max(unit, 0))};
    uint8_t id[2] = {0xFF, 0xFF};
    memory.Read(0xFE21, 2, id);
    const uint16_t h = static_cast<uint16_t>(((id[1] & 0xF0) << 8) | id[0]);
    const uint16_t f = static_cast<uint16_t>(((id[1] & 0xF0) << 8) | (id[0] & 0xF0));
    const bool boot_select = !KeepsBootSelect(h) && f != 0x1010;
    if (boot_select) memory.Write(0xFF92, 1);
    if (InList(f, {0xE000, 0xD000, 0xF000, 0x1030})) memory.Write(0xFE56, 0x24);
    const bool slow_chip = h == 0xB013 || h == 0xB014;
    if (f == 0x1010 || f == 0x6000) {
        const uint16_t addr = record.bus_generation == 3 ? 0xFB40 : 0xFA40;
        const uint8_t bit = record.bus_generation == 3 ? 0x08 : 0x04;
        uint8_t value = 0;
        if (memory.Read(addr, 1, &value)) memory.Write(addr, static_cast<uint8_t>(value & ~bit));
    }

    const bool ext_unit_reset =
        !gen1 || (v == 2 && InList(h, {0xA000, 0xB000, 0xB001, 0xC000, 0x5000, 0x4001}));
    const HResult not_ready = ResultFromOsError(kErrorNotReady);
    HResult result = kFail;
    for (;;) {
        if (gen2)
            result = probe->VendorResetV2(v, opcode);
        else if (ext_unit_reset)
            result =
                probe->ExtUnit_Reset(memory.unit, static_cast<uint8_t>(v), opcode) ? kOk : kFail;
        else
            result = probe->VendorResetV1(v, opcode);
        if (result != not_ready) break;
        if (timed_out()) return kErrorTimeout;
        clock.sleep_ms(kNotReadyPauseMs);
    }
    if (result != kOk) {
        if (boot_select) memory.Write(0xFF92, 0);
        return result;
    }

    // The device is leaving: let go of it.
    const std::string old_path = DevicePath(record.location_path);
    const size_t old_chain = record.port_chain.size();
    const uint32_t class_kind = record.class_kind;
    probe.reset();
    if (COrvCam* cam = orv())
        cam->ReleaseDevice();
    else
        record.usb.reset();

    if (v != 2 && v != 5) {
        WaitForArrival(old_path, wait_ms);
        if (slow_chip) clock.sleep_ms(kSlowChipExtraMs);
    }

    // Reconnect by port: the same device path and depth, whatever its enumeration index.
    const int class_set = (class_kind == 0 && opcode == kResetOpcodeUpdate && h == 0x0010)
                              ? kClassSetImaging
                              : static_cast<int>(class_kind);
    std::unique_ptr<CameraDeviceRecord> found;
    while (!found) {
        for (const CameraListEntry& entry : enumeration_.ListCameras(class_set)) {
            if (v == 2 && opcode == kResetOpcodeUpdate && entry.interface_number == 2) continue;
            auto candidate = std::make_unique<CameraDeviceRecord>();
            if (enumeration_.BuildKernelRecord(entry, AccessTag::kProxy, candidate.get()) != 0)
                continue;
            if (candidate->port_chain.size() != old_chain ||
                DevicePath(candidate->location_path) != old_path)
                continue;
            if (enumeration_.BuildProxyRecord(entry, candidate.get()) != 0) continue;
            candidate->class_kind = entry.class_kind;
            found = std::move(candidate);
            break;
        }
        if (found) break;
        if (timed_out()) return kErrorTimeout;
        enumeration_.bus().WaitForChange(kRelistPauseMs);
    }

    // Wait until the camera answers.
    {
        CameraDeviceRecord& fresh = *found;
        auto fresh_probe = factory_.CreateProbe(fresh);
        const HResult gone = ResultFromOsError(kErrorDeviceNotConnected);
        while (fresh_probe) {
            HResult answer = kOk;
            if (gen1 || gen2) {
                answer = fresh_probe->VendorProbeV1(0);
            } else {
                uint8_t status[8];
                answer = fresh_probe->ExtUnit_GetDevStatus(memory.unit, 8, status) ? kOk : gone;
            }
            if (answer != gone || timed_out()) break;
            clock.sleep_ms(kNotReadyPauseMs);
        }
    }
    if (timed_out()) return kErrorTimeout;
    // The new record replaces the old one; the capability record stays until the transports
    // are rebuilt.
    found->capability = std::move(camera_->record().capability);
    camera_->ReplaceRecord(std::move(found));
    return 0;
}

int CamLib::AfterProxyReset(int error, uint64_t* handle) {
    COrvCam* cam = error == 0 ? orv() : nullptr;
    if (!cam) {
        // Failed: whatever is left goes, and the first camera is opened again.
        CamLib_Close();
        int first = 0;
        *handle = CamLib_OpenDeviceAt(&first);
        return 0;
    }
    cam->RebuildTransports();
    if (!cam->SelectCommandTransport()) return 0;
    handle_ = cam->record().node_handle;
    *handle = handle_;
    return 1;
}

int CamLib::KernelResetAndReconnect(bool update, uint16_t arg, uint32_t wait_ms) {
    auto location = enumeration_.GetPortLocation(camera_->record().node_handle);
    const std::string path = DevicePath(camera_->record().location_path);
    CVendorCmdCommon* t = camera_->SelectCommandTransport();
    if (!t || !location) return 0;
    if (update) {
        uint8_t id[2] = {0xFF, 0xFF};
        t->ReadMem(0xFE21, 2, id, nullptr, nullptr);
        const uint16_t c = static_cast<uint16_t>(((id[1] >> 4) << 12) | id[0]);
        if (!KeepsBootSelect(c)) {
            const uint8_t one = 1;
            t->WriteMem(0xFF92, 1, &one, nullptr, nullptr);
        }
        const uint16_t f = static_cast<uint16_t>(((id[1] & 0xF0) << 8) | (id[0] & 0xF0));
        if (f == 0xD000 || f == 0xE000) {
            const uint8_t value = 0x24;
            t->WriteMem(0xFE56, 1, &value, nullptr, nullptr);
        }
    }
    if ((update ? t->ResetToUpdateFW(arg) : t->ResetToRom()) != kOk) return 0;
    CamLib_Close();
    WaitForArrival(path, update && (arg == 2 || arg == 5) ? 100 : wait_ms);
    int index = 0;
    for (int round = 0; round < kKernelReconnectRounds; ++round) {
        int at = index;
        if (CamLib_OpenDeviceAt(&at) == 0) {
            if (at == -1) {
                index = 0;
                enumeration_.bus().WaitForChange(kRelistPauseMs);
            } else {
                ++index;
            }
            continue;
        }
        if (enumeration_.GetPortLocation(handle_) == location) return 1;
        CamLib_Close();
        ++index;
    }
    return 0;
}

int CamLib::CamLib_ResetToUpdateFW(uint64_t* handle, uint16_t arg, uint32_t options,
                                   uint32_t wait_ms) {
    if (!camera_) return 0;
    if (lib_type_ != 0) {
        const int ok = KernelResetAndReconnect(true, arg, wait_ms);
        *handle = handle_;
        return ok;
    }
    const int error = ProxyResetAndReconnect(arg, kResetOpcodeUpdate, false,
                                             (options & kOptionForceExtUnit) != 0, wait_ms);
    return AfterProxyReset(error, handle);
}

int CamLib::CamLib_ResetToRomAndReconnect(uint64_t* handle, uint32_t options, uint32_t wait_ms) {
    if (!camera_) return 0;
    if (lib_type_ != 0) {
        const int ok = KernelResetAndReconnect(false, 0, wait_ms);
        *handle = handle_;
        return ok;
    }
    camera_->record().class_kind = (options & kOptionMediaClass) ? 0 : 1;
    const int error = ProxyResetAndReconnect(0, kResetOpcodeRom, (options & kOptionUseGiven) != 0,
                                             (options & kOptionForceExtUnit) != 0, wait_ms);
    return AfterProxyReset(error, handle);
}

}  // namespace orbisk
