#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orbisk {

// What the bus knows of one USB device, before it is opened.
struct UsbDeviceInfo {
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint16_t rev = 0;  // bcdDevice
    uint8_t bus = 0;
    // Port numbers from the root hub down to the device ({2, 3} for "1-2.3").
    std::vector<uint8_t> port_chain;
    // 1 low, 2 full, 3 high, 4 super speed, 0 unknown.
    uint8_t speed = 0;
    std::vector<uint8_t> device_descriptor;  // 18 bytes
    std::vector<uint8_t> config_descriptor;  // the whole active configuration
    std::string manufacturer;
    std::string product;
    std::string serial;
    // Stable number for the device on its port: the "device-node handle".
    uint64_t node_handle = 0;
    // Backend's own name of the device (sysfs name, simulated camera folder).
    std::string path;
    // Whether the kernel camera driver serves the device (a video node exists).
    bool has_camera_driver = false;
    // Port of the device on its parent hub, 0 when it hangs on the root.
    uint8_t port() const { return port_chain.empty() ? 0 : port_chain.back(); }
};

// Stable device-node handle from bus number and port chain.
uint64_t NodeHandleFor(uint8_t bus, const std::vector<uint8_t>& port_chain);
// The port chain of a device-node handle as sysfs names it: "1-2.3" for bus 1, ports 2, 3.
std::string PortChainText(uint64_t node_handle);

// An open USB device: control transfers on endpoint 0 with a finite time-out.
class UsbDeviceHandle {
  public:
    virtual ~UsbDeviceHandle() = default;
    // bmRequestType bit 7 gives the direction. On success *transferred holds the byte count.
    virtual HResult ControlTransfer(uint8_t request_type, uint8_t request, uint16_t value,
                                    uint16_t index, uint8_t* data, uint16_t length,
                                    uint32_t timeout_ms, uint32_t* transferred) = 0;
    // GET_DESCRIPTOR of any type (device 1, configuration 2, string 3 with a language id).
    HResult GetDescriptor(uint8_t type, uint8_t index, uint16_t language, uint8_t* data,
                          uint16_t length, uint32_t* transferred, uint32_t timeout_ms = 1000);
    // A string descriptor as UTF-8 (language 0x0409); bounded by the descriptor's bLength.
    HResult GetStringDescriptor(uint8_t index, std::string* text, uint32_t timeout_ms = 1000);
    // Class requests to the video-control interface may need it from the kernel driver; the
    // backend gives it back when the handle closes.
    virtual HResult ClaimInterface(uint8_t interface_number) = 0;
};

// The kernel camera driver's face of one camera: one control of an extension unit at a time.
// The driver remembers each control's length from the first length query and refuses other
// sizes.
class CameraDriverControl {
  public:
    virtual ~CameraDriverControl() = default;
    virtual HResult SetCur(uint8_t unit, uint8_t selector, const uint8_t* data,
                           uint16_t length) = 0;
    virtual HResult GetCur(uint8_t unit, uint8_t selector, uint8_t* data, uint16_t length) = 0;
    virtual HResult GetLen(uint8_t unit, uint8_t selector, uint16_t* length) = 0;
};

// One USB bus with the cameras on it: the simulated bus or libusb.
class UsbBus {
  public:
    virtual ~UsbBus() = default;
    // Every device present now, in a stable order.
    virtual std::vector<UsbDeviceInfo> List() = 0;
    // Opens the device with this node handle; nullptr when it is gone or not permitted.
    virtual std::unique_ptr<UsbDeviceHandle> Open(uint64_t node_handle) = 0;
    virtual std::unique_ptr<CameraDriverControl> OpenCameraDriver(uint64_t node_handle) = 0;
    // Whether this process may talk to the device directly (for "Lib Type" 0).
    virtual bool CanOpenDirectly(uint64_t node_handle) = 0;
    // Waits at most timeout_ms for a device to arrive or leave; true when one did. Returns at
    // once with true when a change happened since the last call.
    virtual bool WaitForChange(uint32_t timeout_ms) = 0;
};

}  // namespace orbisk
