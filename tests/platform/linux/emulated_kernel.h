#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/emulated_usb_device.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace orbisk::test {

// One USB camera as the emulated kernel shows it.
struct EmulatedCameraShape {
    uint8_t bus = 1;
    std::vector<uint8_t> ports;  // {2, 3} puts it on port 3 of the hub on port 2
    uint8_t address = 5;         // usbfs device number
    int speed_mbps = 480;
    std::vector<uint8_t> device_descriptor;
    std::vector<uint8_t> config_descriptor;
    std::string manufacturer;
    std::string product;
    std::string serial;
    // The kernel camera driver: bound to the video-control interface, with a video node.
    bool camera_driver = true;
    uint8_t vc_interface = 0;
    int video_index = 0;  // /dev/video<N>
    // The extension unit the driver found in the descriptors, and its controls (bit n-1 for
    // selector n).
    uint8_t xu_unit = 0;
    uint32_t xu_controls = 0;
};

// A fake kernel for the real libusb, libudev and V4L2 code: a umockdev testbed with sysfs,
// /dev/bus/usb and /dev/video nodes, whose usbfs and UVCIOC_CTRL_QUERY requests are answered
// by EmulatedUsbDevice models. The usbfs side queues URBs for reaping and honours discards, so
// a request the device never answers times out in libusb. The camera-driver side behaves like
// the kernel's UVC driver: it owns the video-control interface (usbfs class requests to it
// fail with EBUSY until it is detached), caches each control's length on first use and
// answers ENOBUFS for other sizes. Needs the umockdev preload library.
class EmulatedKernel {
  public:
    EmulatedKernel();
    ~EmulatedKernel();
    EmulatedKernel(const EmulatedKernel&) = delete;
    EmulatedKernel& operator=(const EmulatedKernel&) = delete;

    // A hub on the given ports (the root hub of each bus comes by itself).
    void AddHub(uint8_t bus, const std::vector<uint8_t>& ports, uint8_t address);
    // Plugs a camera in. The model must outlive the kernel, or be taken away first with
    // SetModel(id, nullptr): the handlers may report files closing at any time. Returns its id.
    int AddCamera(const EmulatedCameraShape& shape, EmulatedUsbDevice* model);
    // The camera leaves the bus (announced by a "remove" event); requests in flight and new
    // ones fail with ENODEV.
    void Unplug(int id);
    // It comes back on the same port, with a fresh camera driver.
    void Plug(int id);
    // Replaces the model a camera answers with.
    void SetModel(int id, EmulatedUsbDevice* model);
    // While it is unplugged: the face it comes back with (identity, descriptors, address).
    void SetShape(int id, const EmulatedCameraShape& shape);
    const EmulatedCameraShape& Shape(int id) const;

    bool DriverBound(int id);
    // Whether a usbfs client holds the interface claimed.
    bool InterfaceClaimed(int id, uint8_t interface_number);
    std::string UsbfsNode(int id) const;
    std::string VideoNode(int id) const;
    // Gives the camera's usbfs node this mode, for tests that run as another user.
    void SetUsbfsMode(int id, unsigned mode);

    struct Device;  // state of one emulated device, shared with the ioctl handlers

  private:
    void EnsureRootHub(uint8_t bus);
    void AttachHandlers(Device& device);
    void AddFromString(const std::string& record);
    static std::string UsbfsNode(const EmulatedCameraShape& shape);

    UMockdevTestbed* testbed_;
    std::vector<std::unique_ptr<Device>> devices_;
    std::map<uint8_t, bool> root_hubs_;
};

// Descriptor builders for test cameras.
std::vector<uint8_t> DeviceDescriptor(uint16_t vid, uint16_t pid, uint16_t rev,
                                      uint8_t device_class = 0xEF);
// A configuration with a video-control interface (number vc_interface) that carries an
// extension unit with the given id, GUID and control bitmap bytes.
std::vector<uint8_t> CameraConfigDescriptor(uint8_t vc_interface, uint8_t unit_id,
                                            const uint8_t (&guid)[16], uint8_t controls_low,
                                            uint8_t controls_high);

}  // namespace orbisk::test
