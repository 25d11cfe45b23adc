#include "camera/capabilities.h"

#include <algorithm>

#include "camera/config_descriptor.h"

namespace orbisk {
namespace {

constexpr uint32_t kDescriptorTimeoutMs = 1000;

// Second generation first (its signature in status record 3), then the first generation.
void ProbeVendorGenerations(CameraProbe& probe, CameraCapabilityRecord* cap) {
    cap->vendor_gen2 = false;
    const bool signature =
        probe.VendorStatusV2(3, 8, cap->status.data() + 24) == kOk && cap->HasSecondGenSignature();
    if (!signature) {
        cap->vendor_gen1 = probe.VendorProbeV1(0) == kOk;
        return;
    }
    if (probe.VendorStatusV2(0, 96, cap->status.data()) == kOk) {
        cap->supported = true;
        cap->vendor_gen2 = true;
        cap->vendor_gen1 = false;
    }
}

void AdjustChipIdentity(CameraProbe& probe, CameraCapabilityRecord* cap) {
    if (cap->chip_identity() == 0x0021) {
        uint8_t bytes[2] = {0xFF, 0xFF};
        if (probe.ExtUnit_ReadMem(cap->unit_id, 0xFE21, 2, bytes) &&
            (bytes[0] == 0x20 || bytes[0] == 0x21) && bytes[1] == 0)
            cap->set_chip_identity(0x0071);
    } else if (cap->chip_identity() == 0x0020) {
        cap->set_chip_identity(0x0071);
    }
}

void ProbeImagingCamera(const CameraDeviceRecord& record, CameraProbe* probe,
                        CameraCapabilityRecord* cap) {
    bool second_unit = false;
    const int unit = FindVideoExtensionUnit(
        cap->config_descriptor, static_cast<uint8_t>(record.interface_number), &second_unit);
    if (unit < 0) {
        if (record.vid == kIntelMipiVid && record.pid == kIntelMipiPid) {
            cap->supported = true;
            cap->intel_mipi = true;
            cap->set_chip_identity(kIntelMipiChipIdentity);
        }
        return;
    }
    if (!probe) return;
    ProbeVendorGenerations(*probe, cap);
    if (probe->ExtUnit_DevQualify(static_cast<uint8_t>(unit))) {
        cap->unit_id = static_cast<uint8_t>(unit);
        cap->supported = true;
        cap->ext_unit_access = kExtUnitProxy;
        if (!cap->vendor_gen2) probe->ExtUnit_GetDevStatus(cap->unit_id, 96, cap->status.data());
    }
    cap->second_unit = second_unit;
    AdjustChipIdentity(*probe, cap);
}

void ProbeMediaDevice(CameraProbe* probe, CameraCapabilityRecord* cap) {
    const int unit = FindAudioExtensionUnit(cap->config_descriptor);
    if (unit < 0 || !probe) return;
    cap->unit_id = static_cast<uint8_t>(unit);
    cap->ext_unit_access = kExtUnitProxy;
    if (probe->VendorStatusV2(0, 96, cap->status.data()) == kOk && cap->HasSecondGenSignature()) {
        cap->supported = true;
        cap->vendor_gen2 = true;
        cap->vendor_gen1 = false;
    } else {
        cap->vendor_gen2 = false;
        cap->vendor_gen1 = probe->VendorProbeV1(0) == kOk;
    }
}

}  // namespace

bool ReadDescriptors(UsbDeviceHandle& usb, CameraCapabilityRecord* cap) {
    uint32_t got = 0;
    if (usb.GetDescriptor(1, 0, 0, cap->device_descriptor.data(), 18, &got, kDescriptorTimeoutMs) !=
            kOk ||
        got != 18 || cap->device_descriptor[1] != 1)
        return false;
    uint8_t head[9] = {};
    if (usb.GetDescriptor(2, 0, 0, head, sizeof head, &got, kDescriptorTimeoutMs) != kOk ||
        got != sizeof head || head[1] != 2)
        return false;
    const uint16_t total = static_cast<uint16_t>(head[2] | (head[3] << 8));
    if (total < sizeof head) return false;
    cap->config_descriptor.assign(total, 0);
    if (usb.GetDescriptor(2, 0, 0, cap->config_descriptor.data(), total, &got,
                          kDescriptorTimeoutMs) != kOk ||
        got < sizeof head)
        return false;
    // A short reply keeps only what arrived; the walkers stop at the buffer's end.
    cap->config_descriptor.resize(got);
    return true;
}

bool FillCapabilities(CameraDeviceRecord* record, CameraProbe* probe, bool refresh) {
    if (record->capability && !refresh) return true;
    auto cap = std::make_unique<CameraCapabilityRecord>();
    switch (record->tag) {
        case AccessTag::kIpCamera:
            // The chip identity the camera named when its record was built.
            cap->supported = true;
            cap->ip_camera = true;
            cap->set_chip_identity(record->ip_chip_identity.value_or(kIpCameraDefaultChip));
            break;
        case AccessTag::kDirectShow:
        case AccessTag::kMediaFound:
            cap->supported = true;
            cap->kernel_streaming = true;
            cap->ext_unit_access =
                record->tag == AccessTag::kDirectShow ? kExtUnitDirectShow : kExtUnitMediaFound;
            // The driver's unit is found by its GUID in the descriptors the bus reported.
            if (record->bus_device_descriptor.size() >= 18)
                std::copy_n(record->bus_device_descriptor.begin(), 18,
                            cap->device_descriptor.begin());
            cap->config_descriptor = record->bus_config_descriptor;
            if (int unit = FindVideoExtensionUnit(cap->config_descriptor,
                                                  static_cast<uint8_t>(record->interface_number),
                                                  &cap->second_unit);
                unit >= 0)
                cap->unit_id = static_cast<uint8_t>(unit);
            break;
        case AccessTag::kProxy:
            if (!record->usb || !ReadDescriptors(*record->usb, cap.get())) return false;
            if (record->class_kind == 1)
                ProbeImagingCamera(*record, probe, cap.get());
            else
                ProbeMediaDevice(probe, cap.get());
            break;
        case AccessTag::kNone:
            return false;
    }
    record->capability = std::move(cap);
    return true;
}

}  // namespace orbisk
