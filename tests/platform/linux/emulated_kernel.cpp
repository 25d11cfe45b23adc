#include "platform/linux/emulated_kernel.h"

#include <sys/stat.h>
#include <umockdev.h>

#include <cstdio>
#include <stdexcept>

#include "platform/linux/emulated_device.h"

namespace orbisk::test {

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

std::string Format(const char* format, unsigned a, unsigned b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string SysName(uint8_t bus, const std::vector<uint8_t>& ports) {
    if (ports.empty()) return "usb" + std::to_string(bus);
    std::string name = std::to_string(bus) + "-";
    for (size_t i = 0; i < ports.size(); ++i) name += (i ? "." : "") + std::to_string(ports[i]);
    return name;
}

std::string SysPath(uint8_t bus, const std::vector<uint8_t>& ports) {
    std::string path =
        Format("/sys/devices/pci0000:00/0000:00:%02x.0", 0x10 + bus) + "/usb" + std::to_string(bus);
    for (size_t depth = 1; depth <= ports.size(); ++depth)
        path += "/" + SysName(bus, std::vector<uint8_t>(ports.begin(), ports.begin() + depth));
    return path;
}

std::vector<uint8_t> HubConfigDescriptor() {
    return {9, 2, 25,   0, 1, 1, 0, 0xE0, 0,  // configuration
            9, 4, 0,    0, 1, 9, 0, 0,    0,  // hub interface
            7, 5, 0x81, 3, 4, 0, 12};         // status endpoint
}

}  // namespace

std::vector<uint8_t> DeviceDescriptor(uint16_t vid, uint16_t pid, uint16_t rev,
                                      uint8_t device_class) {
    const uint8_t subclass = device_class == 0xEF ? 2 : 0;
    const uint8_t protocol = device_class == 0xEF ? 1 : 0;
    return {18,
            1,
            0x00,
            0x02,
            device_class,
            subclass,
            protocol,
            64,
            static_cast<uint8_t>(vid),
            static_cast<uint8_t>(vid >> 8),
            static_cast<uint8_t>(pid),
            static_cast<uint8_t>(pid >> 8),
            static_cast<uint8_t>(rev),
            static_cast<uint8_t>(rev >> 8),
            1,
            2,
            3,
            1};
}

std::vector<uint8_t> CameraConfigDescriptor(uint8_t vc_interface, uint8_t unit_id,
                                            const uint8_t (&guid)[16], uint8_t controls_low,
                                            uint8_t controls_high) {
    std::vector<uint8_t> c = {9, 2, 0, 0, 2, 1, 0, 0x80, 250};
    // Interface association, then the video-control interface with its header and the
    // extension unit (one input pin, two bytes of control bits).
    c.insert(c.end(), {8, 11, vc_interface, 2, 14, 3, 0, 0});
    c.insert(c.end(), {9, 4, vc_interface, 0, 0, 14, 1, 0, 0});
    c.insert(c.end(), {13, 0x24, 1, 0x00, 0x01, 13 + 26, 0, 0x80, 0x8D, 0x5B, 0, 1,
                       static_cast<uint8_t>(vc_interface + 1)});
    std::vector<uint8_t> xu = {26, 0x24, 6, unit_id};
    xu.insert(xu.end(), guid, guid + 16);
    xu.insert(xu.end(), {16, 1, 1, 2, controls_low, controls_high, 0});
    c.insert(c.end(), xu.begin(), xu.end());
    c.insert(c.end(), {9, 4, static_cast<uint8_t>(vc_interface + 1), 0, 0, 14, 2, 0, 0});
    c[2] = static_cast<uint8_t>(c.size());
    c[3] = static_cast<uint8_t>(c.size() >> 8);
    return c;
}

EmulatedKernel::EmulatedKernel() : testbed_(umockdev_testbed_new()) {
    if (!umockdev_in_mock_environment())
        throw std::runtime_error("the emulated kernel needs the umockdev preload library");
}

EmulatedKernel::~EmulatedKernel() {
    // No handler may run on a model after this: detach them before the devices go.
    for (auto& device : devices_) device->DetachAll(testbed_);
    g_object_unref(testbed_);
    devices_.clear();
}

void EmulatedKernel::AddFromString(const std::string& record) {
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw std::runtime_error("umockdev record rejected: " + message);
    }
}

namespace {

std::string UsbDeviceRecord(const EmulatedCameraShape& shape, const std::string& syspath) {
    const std::string node = Format("bus/usb/%03u/%03u", shape.bus, shape.address);
    const auto& d = shape.device_descriptor;
    std::string r = "P: " + syspath.substr(4) + "\n";
    r += "N: " + node + "\n";
    r += "E: DEVNAME=/dev/" + node + "\n";
    r += "E: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\n";
    r += Format("E: BUSNUM=%03u\nE: DEVNUM=%03u\n", shape.bus, shape.address);
    r += Format("A: busnum=%u\\n\nA: devnum=%u\\n\n", shape.bus, shape.address);
    r += Format("A: dev=189:%u\\n\n", (shape.bus - 1u) * 128u + shape.address - 1u);
    r += Format("A: speed=%u\\n\n", static_cast<unsigned>(shape.speed_mbps));
    r += Format("A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", d[8] | (d[9] << 8),
                d[10] | (d[11] << 8));
    r += Format("A: bcdDevice=%04x\\n\nA: bDeviceClass=%02x\\n\n", d[12] | (d[13] << 8), d[4]);
    r += "A: bConfigurationValue=1\\n\n";
    if (!shape.manufacturer.empty()) r += "A: manufacturer=" + shape.manufacturer + "\\n\n";
    if (!shape.product.empty()) r += "A: product=" + shape.product + "\\n\n";
    if (!shape.serial.empty()) r += "A: serial=" + shape.serial + "\\n\n";
    std::vector<uint8_t> all = shape.device_descriptor;
    all.insert(all.end(), shape.config_descriptor.begin(), shape.config_descriptor.end());
    r += "H: descriptors=" + Hex(all) + "\n\n";
    return r;
}

}  // namespace

void EmulatedKernel::EnsureRootHub(uint8_t bus) {
    if (root_hubs_[bus]) return;
    root_hubs_[bus] = true;
    EmulatedCameraShape hub;
    hub.bus = bus;
    hub.address = 1;
    hub.device_descriptor = DeviceDescriptor(0x1D6B, 0x0002, 0x0602, 9);
    hub.config_descriptor = HubConfigDescriptor();
    AddFromString(UsbDeviceRecord(hub, SysPath(bus, {})));
}

void EmulatedKernel::AddHub(uint8_t bus, const std::vector<uint8_t>& ports, uint8_t address) {
    EnsureRootHub(bus);
    EmulatedCameraShape hub;
    hub.bus = bus;
    hub.ports = ports;
    hub.address = address;
    hub.device_descriptor = DeviceDescriptor(0x05E3, 0x0610, 0x0100, 9);
    hub.config_descriptor = HubConfigDescriptor();
    AddFromString(UsbDeviceRecord(hub, SysPath(bus, ports)));
}

int EmulatedKernel::AddCamera(const EmulatedCameraShape& shape, EmulatedUsbDevice* model) {
    EnsureRootHub(shape.bus);
    auto device = std::make_unique<Device>();
    device->shape = shape;
    device->model = model;
    device->syspath = SysPath(shape.bus, shape.ports);
    devices_.push_back(std::move(device));
    const int id = static_cast<int>(devices_.size() - 1);
    devices_.back()->present = false;
    Plug(id);
    return id;
}

void EmulatedKernel::AttachHandlers(Device& device) {
    device.Attach(testbed_, UsbfsNode(device.shape), true);
    if (device.shape.camera_driver)
        device.Attach(testbed_, "/dev/video" + std::to_string(device.shape.video_index), false);
}

void EmulatedKernel::Plug(int id) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    const EmulatedCameraShape& shape = device.shape;
    std::string record = UsbDeviceRecord(shape, device.syspath);
    const std::string interface_name =
        SysName(shape.bus, shape.ports) + ":1." + std::to_string(shape.vc_interface);
    const std::string interface_path = device.syspath + "/" + interface_name;
    record += "P: " + interface_path.substr(4) + "\n";
    record += "E: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\n";
    if (shape.camera_driver) record += "E: DRIVER=uvcvideo\n";
    record += "A: bInterfaceClass=0e\\n\nA: bInterfaceSubClass=01\\n\n";
    record += Format("A: bInterfaceNumber=%02x\\n\n\n", shape.vc_interface);
    if (shape.camera_driver) {
        const unsigned index = static_cast<unsigned>(shape.video_index);
        record +=
            "P: " + interface_path.substr(4) + "/video4linux/video" + std::to_string(index) + "\n";
        // A plain file, not a pty: umockdev keeps ptys across a removal.
        record += Format("N: video%u=00\nE: DEVNAME=/dev/video%u\n", index, index);
        record += "E: SUBSYSTEM=video4linux\n";
        record += Format("A: index=0\\n\nA: dev=81:%u\\n\n", index);
        record +=
            "A: name=" + (shape.product.empty() ? std::string("camera") : shape.product) + "\\n\n";
        record += "L: device=../../../" + interface_name + "\n\n";
    }
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.present = true;
        device.driver_bound = shape.camera_driver;
        device.claimed.clear();
        device.length_cache.clear();
    }
    AddFromString(record);
    AttachHandlers(device);
    umockdev_testbed_uevent(testbed_, device.syspath.c_str(), "add");
}

void EmulatedKernel::Unplug(int id) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        if (!device.present) return;
        device.present = false;
        device.driver_bound = false;
        device.stale_clients = device.clients;
    }
    umockdev_testbed_uevent(testbed_, device.syspath.c_str(), "remove");
    // Children first: each leaves its own class and bus links behind otherwise.
    const EmulatedCameraShape& shape = device.shape;
    const std::string interface_path = device.syspath + "/" + SysName(shape.bus, shape.ports) +
                                       ":1." + std::to_string(shape.vc_interface);
    if (shape.camera_driver) {
        const std::string video =
            interface_path + "/video4linux/video" + std::to_string(shape.video_index);
        umockdev_testbed_remove_device(testbed_, video.c_str());
    }
    umockdev_testbed_remove_device(testbed_, interface_path.c_str());
    umockdev_testbed_remove_device(testbed_, device.syspath.c_str());
}

void EmulatedKernel::SetShape(int id, const EmulatedCameraShape& shape) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    std::lock_guard<std::mutex> lock(device.mutex);
    if (device.present) throw std::logic_error("a camera changes its face only while unplugged");
    if (shape.bus != device.shape.bus || shape.ports != device.shape.ports)
        throw std::logic_error("a camera comes back on the port it left");
    device.shape = shape;
}

void EmulatedKernel::SetModel(int id, EmulatedUsbDevice* model) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    std::lock_guard<std::mutex> lock(device.mutex);
    device.model = model;
}

bool EmulatedKernel::DriverBound(int id) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.driver_bound;
}

bool EmulatedKernel::InterfaceClaimed(int id, uint8_t interface_number) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.claimed.count(interface_number) != 0;
}

const EmulatedCameraShape& EmulatedKernel::Shape(int id) const {
    return devices_.at(static_cast<size_t>(id))->shape;
}

std::string EmulatedKernel::UsbfsNode(int id) const {
    return UsbfsNode(devices_.at(static_cast<size_t>(id))->shape);
}

std::string EmulatedKernel::UsbfsNode(const EmulatedCameraShape& shape) {
    return Format("/dev/bus/usb/%03u/%03u", shape.bus, shape.address);
}

std::string EmulatedKernel::VideoNode(int id) const {
    return "/dev/video" + std::to_string(devices_.at(static_cast<size_t>(id))->shape.video_index);
}

void EmulatedKernel::SetUsbfsMode(int id, unsigned mode) {
    gchar* root_dir = umockdev_testbed_get_root_dir(testbed_);
    const std::string root(root_dir);
    g_free(root_dir);
    // The testbed and umockdev's socket behind the node must let any user in, or the preload
    // library aborts the process; the node's own mode then decides, as in a real /dev.
    if (::chmod(root.c_str(), 0755) != 0 || ::chmod((root + UsbfsNode(id)).c_str(), mode) != 0 ||
        ::chmod((root + "/ioctl" + UsbfsNode(id)).c_str(), 0777) != 0)
        throw std::runtime_error("cannot change the mode of " + UsbfsNode(id));
}

}  // namespace orbisk::test

// The preload library comes before the sanitizer runtime in the library list; that order is
// harmless here, so the runtime must not refuse it.
extern "C" const char* __asan_default_options() {
    return "verify_asan_link_order=0";
}
