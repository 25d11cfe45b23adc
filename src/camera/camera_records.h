#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/tcp.h"
#include "platform/usb.h"

namespace orbisk {

// How a camera record reaches its camera.
enum class AccessTag : uint32_t {
    kNone = 0,
    kProxy,       // "OVCD": control transfers straight to the device
    kDirectShow,  // "WOSD": the kernel camera driver, access method 1
    kMediaFound,  // "ADFM": the kernel camera driver, access method 2
    kIpCamera,    // "IPCD"
};
// The four letters of a tag as records and logs show them ("OVCD", …; "" for none).
const char* AccessTagText(AccessTag tag);

// Extension-unit access of a capability record.
enum ExtUnitAccess : uint32_t {
    kExtUnitNone = 0,
    kExtUnitProxy = 1,
    kExtUnitDirectShow = 2,
    kExtUnitMediaFound = 3,
};

// What a camera is and which command transports it answers.
struct CameraCapabilityRecord {
    std::array<uint8_t, 18> device_descriptor{};
    std::vector<uint8_t> config_descriptor;  // the whole configuration, as read
    bool kernel_streaming = false;
    bool ip_camera = false;
    bool supported = false;
    uint32_t ext_unit_access = kExtUnitNone;
    bool vendor_gen1 = false;
    bool vendor_gen2 = false;
    bool intel_mipi = false;
    bool second_unit = false;
    uint8_t unit_id = 0;
    // Records 0 to 11 of the device status; bytes 6-7 carry the chip identity word and bytes
    // 24-31 the signature.
    std::array<uint8_t, 96> status{};

    uint16_t chip_identity() const { return static_cast<uint16_t>(status[6] | (status[7] << 8)); }
    void set_chip_identity(uint16_t word) {
        status[6] = static_cast<uint8_t>(word);
        status[7] = static_cast<uint8_t>(word >> 8);
    }
    // Whether status bytes 24-31 read "ZORVINE" and a zero byte (second-generation devices).
    bool HasSecondGenSignature() const;
    uint16_t vid() const { return Word(8); }
    uint16_t pid() const { return Word(10); }
    uint16_t rev() const { return Word(12); }
    uint8_t manufacturer_index() const { return device_descriptor[14]; }
    uint8_t serial_index() const { return device_descriptor[16]; }

  private:
    uint16_t Word(size_t at) const {
        return static_cast<uint16_t>(device_descriptor[at] | (device_descriptor[at + 1] << 8));
    }
};

inline constexpr char kSecondGenSignature[8] = {'Z', 'O', 'R', 'V', 'I', 'N', 'E', 0};
inline constexpr size_t kMaxPortChain = 31;

// Where a camera is and how to reach it. Owned by its camera object; moving it moves the open
// device with it.
struct CameraDeviceRecord {
    AccessTag tag = AccessTag::kNone;
    // The open device (the proxy path); null for the other access methods.
    std::unique_ptr<UsbDeviceHandle> usb;
    // Device-node handle of the camera (of the whole device, not of its function).
    uint64_t node_handle = 0;
    // 1, 2 or 3 by the speed of the path to the root hub.
    uint8_t bus_generation = 0;
    std::string friendly_name;
    // 1 for an imaging camera, 0 for a media (audio) device.
    uint32_t class_kind = 0;
    // Device-node handles of the ancestors, the parent hub first, the root hub last.
    std::vector<uint64_t> port_chain;
    // "USBROOT(b)#USB(p)#…#USB(p)", and "#USBMI(n)" for a function of a composite device.
    std::string location_path;
    // Video-control (or audio-control) interface of the function.
    uint32_t interface_number = 0;
    std::unique_ptr<CameraCapabilityRecord> capability;
    uint16_t vid = 0;
    uint16_t pid = 0;
    // Descriptors as the bus reported them; the kernel-driver records take their identity and
    // extension unit from these, since nothing is opened for them.
    std::vector<uint8_t> bus_device_descriptor;
    std::vector<uint8_t> bus_config_descriptor;
    // "IPCD" records: the camera's "rtsp://host:port/…" address, the connection opened when the
    // record was built (a transport made later takes it over), and the chip identity the camera
    // named then (none when it gave no usable one).
    std::string ip_address;
    std::unique_ptr<TcpConnection> ip_connection;
    std::optional<uint16_t> ip_chip_identity;
};

// One entry of a camera list: the device and its function.
struct CameraListEntry {
    uint64_t node_handle = 0;
    uint8_t interface_number = 0;
    uint32_t class_kind = 0;
    std::string name;
};

}  // namespace orbisk
