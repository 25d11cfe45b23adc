#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct udev;

namespace orbisk {

// Name the kernel gives a USB device in sysfs: "usb1" for the root hub of bus 1, "1-2.3" for
// the device on port 3 of the hub on port 2.
std::string UsbSysfsName(uint8_t bus, const std::vector<uint8_t>& port_chain);

// The usbfs node of a device: "/dev/bus/usb/001/005".
std::string UsbfsNode(uint8_t bus, uint8_t address);

// Splits the contents of a device's sysfs "descriptors" file (the device descriptor followed
// by every configuration descriptor) and picks the configuration whose bConfigurationValue is
// active_config, or the first one when none matches. Lengths are checked against the buffer:
// false when the device descriptor is short or a configuration runs past the end.
bool SplitDescriptorFile(const std::vector<uint8_t>& raw, int active_config,
                         std::vector<uint8_t>* device_descriptor,
                         std::vector<uint8_t>* config_descriptor);

// What sysfs tells of one USB device without opening it.
struct UsbSysfsFacts {
    std::vector<uint8_t> device_descriptor;
    std::vector<uint8_t> config_descriptor;
    std::string manufacturer;
    std::string product;
    std::string serial;
    // The kernel camera driver's capture node ("/dev/video0"), empty when it serves none.
    std::string video_node;
};

// Owns one libudev context.
class UdevContext {
  public:
    UdevContext();
    ~UdevContext();
    UdevContext(const UdevContext&) = delete;
    UdevContext& operator=(const UdevContext&) = delete;
    udev* get() const { return udev_; }

  private:
    udev* udev_;
};

// Reads the facts of the USB device with this sysfs name; false when it is not present.
bool ReadUsbSysfsFacts(udev* context, const std::string& sysname, UsbSysfsFacts* facts);

// The capture node the kernel camera driver made for the USB device with this sysfs name.
// A camera gets a capture and a metadata node; only the capture node (the lowest "index")
// answers extension-unit queries.
std::string FindVideoNode(udev* context, const std::string& sysname);

}  // namespace orbisk
