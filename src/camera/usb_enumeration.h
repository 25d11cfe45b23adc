#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "camera/camera_records.h"
#include "platform/result.h"
#include "platform/usb.h"

namespace orbisk {

class Clock;

// Operating-system codes the enumeration and the reconnect carry.
inline constexpr int kErrorAccessDenied = 5;
inline constexpr int kErrorNotReady = 21;
inline constexpr int kErrorInvalidParameter = 87;
inline constexpr int kErrorTimeout = 1460;
inline constexpr int kErrorNoRootHub = 2;

// Class sets of the camera list.
inline constexpr int kClassSetMedia = 0;
inline constexpr int kClassSetImaging = 1;

// Hub port of a camera: the pair that identifies a physical camera across re-enumerations.
struct PortLocation {
    uint32_t port = 0;
    uint64_t hub = 0;
    bool operator==(const PortLocation&) const = default;
};

// The hub port named by the last "#USB(n)" element of a location path: one or two digits,
// 0 for anything else.
uint32_t PortFromLocationPath(const std::string& path);
// Bus generation of the path to the root hub from the link speed.
uint8_t BusGenerationForSpeed(uint8_t speed);
// "USBROOT(b)#USB(p)…", with "#USBMI(n)" when a function of a composite device is meant.
std::string LocationPathFor(const UsbDeviceInfo& info, std::optional<uint8_t> function);

// Finds the cameras on a bus and builds their device records.
class UsbEnumeration {
  public:
    UsbEnumeration(UsbBus& bus, Clock& clock) : bus_(bus), clock_(clock) {}

    UsbBus& bus() { return bus_; }

    // Imaging cameras (class set 1: video-control functions) or media devices (class set 0:
    // audio-control functions), in bus order. A device whose descriptors cannot be read is
    // not listed; one without a product string is "Usb Video Device #n", n its one-based
    // position among the functions of the class.
    std::vector<CameraListEntry> ListCameras(int class_set);
    // Number of imaging cameras, as one byte.
    uint8_t DeviceCount();

    // The "OVCD" record of a listed function: the device opened for control transfers. 0 on
    // success, else an operating-system code (kErrorNoRootHub when the port chain is too deep).
    int BuildProxyRecord(const CameraListEntry& entry, CameraDeviceRecord* record);
    // The "WOSD" or "ADFM" record: the same facts, nothing opened.
    int BuildKernelRecord(const CameraListEntry& entry, AccessTag tag, CameraDeviceRecord* record);

    // Port number and hub of a device; nullopt when the device is not on the bus.
    std::optional<PortLocation> GetPortLocation(uint64_t node_handle);
    // The same from a record, without asking the bus.
    static PortLocation PortLocationOf(const CameraDeviceRecord& record);

  private:
    std::optional<UsbDeviceInfo> FindDevice(uint64_t node_handle);
    int FillCommon(const CameraListEntry& entry, const UsbDeviceInfo& info,
                   CameraDeviceRecord* record);
    void WaitForDescriptor(UsbDeviceHandle& usb);

    UsbBus& bus_;
    Clock& clock_;
};

}  // namespace orbisk
