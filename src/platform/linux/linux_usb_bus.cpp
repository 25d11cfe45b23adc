#include "platform/linux/linux_usb_bus.h"

#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/linux/v4l2_camera_control.h"

namespace orbisk {

namespace {

constexpr int kMaxPortDepth = 7;  // USB allows five hubs below the root; room to spare

uint8_t SeamSpeed(int libusb_speed) {
    switch (libusb_speed) {
        case LIBUSB_SPEED_LOW:
            return 1;
        case LIBUSB_SPEED_FULL:
            return 2;
        case LIBUSB_SPEED_HIGH:
            return 3;
        case LIBUSB_SPEED_SUPER:
        case LIBUSB_SPEED_SUPER_PLUS:
            return 4;
        default:
            return 0;
    }
}

std::vector<uint8_t> PortChain(libusb_device* device) {
    uint8_t ports[kMaxPortDepth];
    const int count = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    if (count <= 0) return {};
    return std::vector<uint8_t>(ports, ports + count);
}

uint64_t NodeHandleOf(libusb_device* device) {
    return NodeHandleFor(libusb_get_bus_number(device), PortChain(device));
}

// The device list of one call, freed with it.
class DeviceList {
  public:
    explicit DeviceList(libusb_context* context) {
        const ssize_t count = libusb_get_device_list(context, &list_);
        count_ = count > 0 ? static_cast<size_t>(count) : 0;
    }
    ~DeviceList() {
        if (list_) libusb_free_device_list(list_, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    libusb_device** begin() const { return list_; }
    libusb_device** end() const { return list_ + count_; }

  private:
    libusb_device** list_ = nullptr;
    size_t count_ = 0;
};

}  // namespace

std::unique_ptr<LinuxUsbBus> LinuxUsbBus::Create() {
    auto context = LibusbContext::Create();
    if (!context) return nullptr;
    return std::unique_ptr<LinuxUsbBus>(new LinuxUsbBus(std::move(context)));
}

LinuxUsbBus::LinuxUsbBus(std::shared_ptr<LibusbContext> context)
    : context_(std::move(context)), monitor_(udev_.get()) {}

template <typename Fn>
bool LinuxUsbBus::WithDevice(uint64_t node_handle, Fn&& fn) {
    DeviceList list(context_->get());
    for (libusb_device* device : list) {
        if (NodeHandleOf(device) != node_handle) continue;
        fn(device);
        return true;
    }
    return false;
}

std::vector<UsbDeviceInfo> LinuxUsbBus::List() {
    std::vector<UsbDeviceInfo> devices;
    DeviceList list(context_->get());
    for (libusb_device* device : list) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) continue;
        UsbDeviceInfo info;
        info.vid = descriptor.idVendor;
        info.pid = descriptor.idProduct;
        info.rev = descriptor.bcdDevice;
        info.bus = libusb_get_bus_number(device);
        info.port_chain = PortChain(device);
        info.speed = SeamSpeed(libusb_get_device_speed(device));
        info.node_handle = NodeHandleFor(info.bus, info.port_chain);
        info.path = UsbSysfsName(info.bus, info.port_chain);
        UsbSysfsFacts facts;
        if (ReadUsbSysfsFacts(udev_.get(), info.path, &facts)) {
            info.device_descriptor = std::move(facts.device_descriptor);
            info.config_descriptor = std::move(facts.config_descriptor);
            info.manufacturer = std::move(facts.manufacturer);
            info.product = std::move(facts.product);
            info.serial = std::move(facts.serial);
            info.has_camera_driver = !facts.video_node.empty();
        }
        devices.push_back(std::move(info));
    }
    // libusb lists in no particular order; bus and port give one that survives a re-plug.
    std::sort(devices.begin(), devices.end(), [](const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
        return a.node_handle < b.node_handle;
    });
    return devices;
}

std::unique_ptr<UsbDeviceHandle> LinuxUsbBus::Open(uint64_t node_handle) {
    libusb_device_handle* handle = nullptr;
    WithDevice(node_handle, [&](libusb_device* device) {
        if (libusb_open(device, &handle) != LIBUSB_SUCCESS) handle = nullptr;
    });
    if (handle == nullptr) return nullptr;
    return std::make_unique<LibusbDeviceHandle>(context_, handle);
}

std::unique_ptr<CameraDriverControl> LinuxUsbBus::OpenCameraDriver(uint64_t node_handle) {
    std::string node;
    WithDevice(node_handle, [&](libusb_device* device) {
        node = FindVideoNode(udev_.get(),
                             UsbSysfsName(libusb_get_bus_number(device), PortChain(device)));
    });
    if (node.empty()) return nullptr;
    HResult result = kOk;
    return V4l2CameraControl::Open(node, &result);
}

bool LinuxUsbBus::CanOpenDirectly(uint64_t node_handle) {
    bool permitted = false;
    WithDevice(node_handle, [&](libusb_device* device) {
        // Opening the node is the only test that also covers ACLs and security modules.
        const std::string node =
            UsbfsNode(libusb_get_bus_number(device), libusb_get_device_address(device));
        const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            permitted = true;
            ::close(fd);
        }
    });
    return permitted;
}

bool LinuxUsbBus::WaitForChange(uint32_t timeout_ms) {
    return monitor_.WaitForChange(timeout_ms);
}

}  // namespace orbisk
