#pragma once
#include "camera/camera_probe.h"
#include "camera/camera_records.h"

namespace orbisk {

inline constexpr uint16_t kIntelMipiVid = 0x8086;
inline constexpr uint16_t kIntelMipiPid = 0x0A66;
inline constexpr uint16_t kIntelMipiChipIdentity = 0x5010;
inline constexpr uint16_t kIpCameraDefaultChip = 0x3901;

// Reads the device and configuration descriptors of a proxy record's open device into cap.
bool ReadDescriptors(UsbDeviceHandle& usb, CameraCapabilityRecord* cap);

// Attaches a capability record to `record`. Without `refresh` an existing one is kept. For a
// proxy record the descriptors are read and the camera is probed through `probe` (which may be
// null for the other access methods). False when the descriptors cannot be read.
bool FillCapabilities(CameraDeviceRecord* record, CameraProbe* probe, bool refresh);

}  // namespace orbisk
