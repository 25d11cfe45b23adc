#include "platform/linux/emulated_kernel.h"

#include <linux/usb/video.h>
#include <linux/usbdevice_fs.h>
#include <linux/uvcvideo.h>
#include <sys/stat.h>
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <set>
#include <stdexcept>

namespace orbisk::test {

namespace {

constexpr uint8_t kTypeClassInterface = 0x21;

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

struct EmulatedKernel::Device {
    struct Urb {
        UMockdevIoctlData* urb = nullptr;
        UMockdevIoctlData* buffer = nullptr;
    };

    EmulatedCameraSpec spec;
    EmulatedUsbDevice* model = nullptr;  // nullptr for hubs: they answer nothing
    std::string syspath;
    std::mutex mutex;
    bool present = true;
    bool driver_bound = false;
    std::set<uint8_t> claimed;
    std::map<uint8_t, uint16_t> length_cache;  // the camera driver's, per selector
    // Open files of the device; those opened before it left stay dead after it comes back.
    std::set<UMockdevIoctlClient*> clients;
    std::set<UMockdevIoctlClient*> stale_clients;
    std::vector<Urb> pending;
    std::deque<Urb> reapable;
    // Handlers by device node: a re-plugged camera may get another address.
    std::map<std::string, UMockdevIoctlBase*> handlers;

    ~Device() {
        for (auto& urb : pending) Release(urb);
        for (auto& urb : reapable) Release(urb);
        for (auto& [node, handler] : handlers) g_object_unref(handler);
    }
    static void Release(Urb& urb) {
        if (urb.buffer) g_object_unref(urb.buffer);
        if (urb.urb) g_object_unref(urb.urb);
    }

    // One control transfer through the model, as the host controller would carry it; the
    // camera driver's own transfers come from file 0.
    int Transfer(UsbfsFile file, const ControlSetup& setup, uint8_t* data, uint32_t* actual) {
        *actual = 0;
        if (model == nullptr) return -EPIPE;
        const int status = model->Control(file, setup, data, actual);
        if (status != 0) *actual = 0;
        if (*actual > setup.length) *actual = setup.length;
        return status;
    }

    gboolean HandleUsbfs(UMockdevIoctlClient* client);
    gboolean HandleVideo(UMockdevIoctlClient* client);
    void SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int CameraDriverQuery(uvc_xu_control_query* query, uint8_t* data);
};

namespace {

UMockdevIoctlData* Resolve(UMockdevIoctlData* data, size_t offset, size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* child = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (error) g_error_free(error);
    return child;
}

void Complete(UMockdevIoctlClient* client, long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
}

gboolean OnUsbfsIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer device) {
    return static_cast<EmulatedKernel::Device*>(device)->HandleUsbfs(client);
}

gboolean OnVideoIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer device) {
    return static_cast<EmulatedKernel::Device*>(device)->HandleVideo(client);
}

// Files of the usbfs node (usbfs true) are the model's business; files of the video node only
// the camera driver's.
template <bool usbfs>
void OnClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer opaque) {
    auto* device = static_cast<EmulatedKernel::Device*>(opaque);
    std::lock_guard<std::mutex> lock(device->mutex);
    device->clients.insert(client);
    if (usbfs && device->model) device->model->FileOpened(reinterpret_cast<UsbfsFile>(client));
}

template <bool usbfs>
void OnClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer opaque) {
    auto* device = static_cast<EmulatedKernel::Device*>(opaque);
    std::lock_guard<std::mutex> lock(device->mutex);
    device->clients.erase(client);
    device->stale_clients.erase(client);
    if (usbfs && device->model) device->model->FileClosed(reinterpret_cast<UsbfsFile>(client));
}

}  // namespace

void EmulatedKernel::Device::SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urb_data = Resolve(arg, 0, sizeof(usbdevfs_urb));
    if (urb_data == nullptr) return Complete(client, -1, EFAULT);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urb_data->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < 8) {
        g_object_unref(urb_data);
        return Complete(client, -1, EINVAL);
    }
    UMockdevIoctlData* buffer =
        Resolve(urb_data, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(urb->buffer_length));
    if (buffer == nullptr) {
        g_object_unref(urb_data);
        return Complete(client, -1, EFAULT);
    }
    const uint8_t* raw = buffer->data;
    ControlSetup setup;
    setup.request_type = raw[0];
    setup.request = raw[1];
    setup.value = static_cast<uint16_t>(raw[2] | (raw[3] << 8));
    setup.index = static_cast<uint16_t>(raw[4] | (raw[5] << 8));
    setup.length = static_cast<uint16_t>(raw[6] | (raw[7] << 8));
    Urb entry{urb_data, buffer};
    if (8 + setup.length > urb->buffer_length) {
        Release(entry);
        return Complete(client, -1, EINVAL);
    }
    // The kernel lets usbfs talk to an interface only when no other driver holds it.
    if ((setup.request_type & 0x1F) == 1 && driver_bound &&
        (setup.index & 0xFF) == spec.vc_interface) {
        Release(entry);
        return Complete(client, -1, EBUSY);
    }
    uint32_t actual = 0;
    const int status =
        Transfer(reinterpret_cast<UsbfsFile>(client), setup, buffer->data + 8, &actual);
    if (status == kNoAnswer) {
        pending.push_back(entry);
    } else {
        urb->status = status;
        urb->actual_length = static_cast<int>(actual);
        reapable.push_back(entry);
    }
    Complete(client, 0, 0);
}

gboolean EmulatedKernel::Device::HandleUsbfs(UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> lock(mutex);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (!present || stale_clients.count(client)) {
        Complete(client, -1, ENODEV);
        return TRUE;
    }
    switch (request) {
        case USBDEVFS_SUBMITURB:
            SubmitUrb(client, arg);
            return TRUE;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            if (reapable.empty()) {
                Complete(client, -1, EAGAIN);
                return TRUE;
            }
            Urb done = reapable.front();
            reapable.pop_front();
            UMockdevIoctlData* slot = Resolve(arg, 0, sizeof(void*));
            if (slot == nullptr) {
                Release(done);
                Complete(client, -1, EFAULT);
                return TRUE;
            }
            umockdev_ioctl_data_set_ptr(slot, 0, done.urb);
            Complete(client, 0, 0);
            g_object_unref(slot);
            Release(done);
            return TRUE;
        }
        case USBDEVFS_DISCARDURB: {
            const auto address = *reinterpret_cast<unsigned long*>(arg->data);
            for (auto it = pending.begin(); it != pending.end(); ++it) {
                if (it->urb->client_addr != address) continue;
                auto* urb = reinterpret_cast<usbdevfs_urb*>(it->urb->data);
                urb->status = -ENOENT;
                urb->actual_length = 0;
                reapable.push_back(*it);
                pending.erase(it);
                Complete(client, 0, 0);
                return TRUE;
            }
            Complete(client, -1, EINVAL);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_getdriver));
            if (data == nullptr) break;
            auto* query = reinterpret_cast<usbdevfs_getdriver*>(data->data);
            if (driver_bound && query->interface == spec.vc_interface) {
                std::snprintf(query->driver, sizeof query->driver, "uvcvideo");
                Complete(client, 0, 0);
            } else if (claimed.count(static_cast<uint8_t>(query->interface))) {
                std::snprintf(query->driver, sizeof query->driver, "usbfs");
                Complete(client, 0, 0);
            } else {
                Complete(client, -1, ENODATA);
            }
            g_object_unref(data);
            return TRUE;
        }
        case USBDEVFS_IOCTL: {
            UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_ioctl));
            if (data == nullptr) break;
            const auto* command = reinterpret_cast<usbdevfs_ioctl*>(data->data);
            const bool ours = spec.camera_driver && command->ifno == spec.vc_interface;
            if (command->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
                if (ours && driver_bound) {
                    driver_bound = false;
                    Complete(client, 0, 0);
                } else {
                    Complete(client, -1, ENODATA);
                }
            } else if (command->ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
                if (claimed.count(static_cast<uint8_t>(command->ifno))) {
                    Complete(client, -1, EBUSY);
                } else {
                    if (ours) {
                        driver_bound = true;
                        length_cache.clear();  // a new driver instance probes afresh
                    }
                    Complete(client, 0, 0);
                }
            } else {
                Complete(client, -1, ENOTTY);
            }
            g_object_unref(data);
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            UMockdevIoctlData* data = Resolve(arg, 0, sizeof(unsigned int));
            if (data == nullptr) break;
            const auto number = static_cast<uint8_t>(*reinterpret_cast<unsigned int*>(data->data));
            g_object_unref(data);
            if (request == USBDEVFS_RELEASEINTERFACE) {
                claimed.erase(number);
            } else if (driver_bound && number == spec.vc_interface) {
                Complete(client, -1, EBUSY);
                return TRUE;
            } else {
                const int error =
                    model ? model->ClaimInterface(reinterpret_cast<UsbfsFile>(client), number) : 0;
                if (error) {
                    Complete(client, -1, error);
                    return TRUE;
                }
                claimed.insert(number);
            }
            Complete(client, 0, 0);
            return TRUE;
        }
        default:
            break;
    }
    return FALSE;
}

int EmulatedKernel::Device::CameraDriverQuery(uvc_xu_control_query* query, uint8_t* data) {
    if (!present || !driver_bound) return ENODEV;
    if (model) {
        const int answer =
            model->DriverQuery(query->unit, query->selector, query->query, data, query->size);
        if (answer != EmulatedUsbDevice::kEmulateDriver) return answer;
    }
    if (query->unit != spec.xu_unit || query->selector == 0 || query->selector > 32 ||
        (spec.xu_controls & (1u << (query->selector - 1))) == 0)
        return ENOENT;
    auto ask = [&](uint8_t request, uint8_t* buffer, uint16_t size) -> int {
        ControlSetup setup;
        setup.request_type = (request & 0x80) ? 0xA1 : kTypeClassInterface;
        setup.request = request;
        setup.value = static_cast<uint16_t>(query->selector << 8);
        setup.index = static_cast<uint16_t>((spec.xu_unit << 8) | spec.vc_interface);
        setup.length = size;
        uint32_t actual = 0;
        const int status = Transfer(0, setup, buffer, &actual);
        if (status == kNoAnswer) return ETIMEDOUT;  // after the driver's own time-out
        if (status < 0) return status == -ESHUTDOWN ? ENODEV : -status;
        return actual == size ? 0 : EPIPE;
    };
    // First use of a control: the driver learns its length and keeps it.
    auto cached = length_cache.find(query->selector);
    if (cached == length_cache.end()) {
        uint8_t length[2] = {};
        if (const int error = ask(UVC_GET_LEN, length, 2)) return error;
        cached = length_cache.emplace(query->selector, length[0] | (length[1] << 8)).first;
    }
    uint16_t size = cached->second;
    if (query->query == UVC_GET_LEN) size = 2;
    if (query->query == UVC_GET_INFO) size = 1;
    if (query->size != size) return ENOBUFS;
    return ask(query->query, data, size);
}

gboolean EmulatedKernel::Device::HandleVideo(UMockdevIoctlClient* client) {
    std::lock_guard<std::mutex> lock(mutex);
    if (umockdev_ioctl_client_get_request(client) != UVCIOC_CTRL_QUERY) return FALSE;
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    UMockdevIoctlData* data = Resolve(arg, 0, sizeof(uvc_xu_control_query));
    if (data == nullptr) {
        Complete(client, -1, EFAULT);
        return TRUE;
    }
    auto* query = reinterpret_cast<uvc_xu_control_query*>(data->data);
    UMockdevIoctlData* buffer =
        query->size ? Resolve(data, offsetof(uvc_xu_control_query, data), query->size) : nullptr;
    if (query->size && buffer == nullptr) {
        g_object_unref(data);
        Complete(client, -1, EFAULT);
        return TRUE;
    }
    const int error = stale_clients.count(client)
                          ? ENODEV
                          : CameraDriverQuery(query, buffer ? buffer->data : nullptr);
    Complete(client, error ? -1 : 0, error);
    if (buffer) g_object_unref(buffer);
    g_object_unref(data);
    return TRUE;
}

EmulatedKernel::EmulatedKernel() : testbed_(umockdev_testbed_new()) {
    if (!umockdev_in_mock_environment())
        throw std::runtime_error("the emulated kernel needs the umockdev preload library");
}

EmulatedKernel::~EmulatedKernel() {
    // No handler may run on a model after this: detach them before the devices go.
    for (auto& device : devices_)
        for (auto& [node, handler] : device->handlers)
            umockdev_testbed_detach_ioctl(testbed_, node.c_str(), nullptr);
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

std::string UsbDeviceRecord(const EmulatedCameraSpec& spec, const std::string& syspath) {
    const std::string node = Format("bus/usb/%03u/%03u", spec.bus, spec.address);
    const auto& d = spec.device_descriptor;
    std::string r = "P: " + syspath.substr(4) + "\n";
    r += "N: " + node + "\n";
    r += "E: DEVNAME=/dev/" + node + "\n";
    r += "E: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\n";
    r += Format("E: BUSNUM=%03u\nE: DEVNUM=%03u\n", spec.bus, spec.address);
    r += Format("A: busnum=%u\\n\nA: devnum=%u\\n\n", spec.bus, spec.address);
    r += Format("A: dev=189:%u\\n\n", (spec.bus - 1u) * 128u + spec.address - 1u);
    r += Format("A: speed=%u\\n\n", static_cast<unsigned>(spec.speed_mbps));
    r += Format("A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", d[8] | (d[9] << 8),
                d[10] | (d[11] << 8));
    r += Format("A: bcdDevice=%04x\\n\nA: bDeviceClass=%02x\\n\n", d[12] | (d[13] << 8), d[4]);
    r += "A: bConfigurationValue=1\\n\n";
    if (!spec.manufacturer.empty()) r += "A: manufacturer=" + spec.manufacturer + "\\n\n";
    if (!spec.product.empty()) r += "A: product=" + spec.product + "\\n\n";
    if (!spec.serial.empty()) r += "A: serial=" + spec.serial + "\\n\n";
    std::vector<uint8_t> all = spec.device_descriptor;
    all.insert(all.end(), spec.config_descriptor.begin(), spec.config_descriptor.end());
    r += "H: descriptors=" + Hex(all) + "\n\n";
    return r;
}

}  // namespace

void EmulatedKernel::EnsureRootHub(uint8_t bus) {
    if (root_hubs_[bus]) return;
    root_hubs_[bus] = true;
    EmulatedCameraSpec hub;
    hub.bus = bus;
    hub.address = 1;
    hub.device_descriptor = DeviceDescriptor(0x1D6B, 0x0002, 0x0602, 9);
    hub.config_descriptor = HubConfigDescriptor();
    AddFromString(UsbDeviceRecord(hub, SysPath(bus, {})));
}

void EmulatedKernel::AddHub(uint8_t bus, const std::vector<uint8_t>& ports, uint8_t address) {
    EnsureRootHub(bus);
    EmulatedCameraSpec hub;
    hub.bus = bus;
    hub.ports = ports;
    hub.address = address;
    hub.device_descriptor = DeviceDescriptor(0x05E3, 0x0610, 0x0100, 9);
    hub.config_descriptor = HubConfigDescriptor();
    AddFromString(UsbDeviceRecord(hub, SysPath(bus, ports)));
}

int EmulatedKernel::AddCamera(const EmulatedCameraSpec& spec, EmulatedUsbDevice* model) {
    EnsureRootHub(spec.bus);
    auto device = std::make_unique<Device>();
    device->spec = spec;
    device->model = model;
    device->syspath = SysPath(spec.bus, spec.ports);
    devices_.push_back(std::move(device));
    const int id = static_cast<int>(devices_.size() - 1);
    devices_.back()->present = false;
    Plug(id);
    return id;
}

void EmulatedKernel::AttachHandlers(Device& device) {
    // Once per node: the handlers stay while the device is unplugged, so files opened before
    // get ENODEV rather than a broken socket (which the preload library answers with abort()).
    auto attach = [&](const std::string& node, GCallback on_ioctl, GCallback on_connected,
                      GCallback on_vanished) {
        if (device.handlers.count(node)) return;
        UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
        device.handlers[node] = handler;
        g_signal_connect(handler, "handle-ioctl", on_ioctl, &device);
        g_signal_connect(handler, "client-connected", on_connected, &device);
        g_signal_connect(handler, "client-vanished", on_vanished, &device);
        GError* error = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed_, node.c_str(), handler, &error)) {
            const std::string message = error ? error->message : "unknown error";
            if (error) g_error_free(error);
            throw std::runtime_error("cannot attach a handler to " + node + ": " + message);
        }
    };
    attach(Format("/dev/bus/usb/%03u/%03u", device.spec.bus, device.spec.address),
           G_CALLBACK(OnUsbfsIoctl), G_CALLBACK(OnClientConnected<true>),
           G_CALLBACK(OnClientVanished<true>));
    if (device.spec.camera_driver)
        attach("/dev/video" + std::to_string(device.spec.video_index), G_CALLBACK(OnVideoIoctl),
               G_CALLBACK(OnClientConnected<false>), G_CALLBACK(OnClientVanished<false>));
}

void EmulatedKernel::Plug(int id) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    const EmulatedCameraSpec& spec = device.spec;
    std::string record = UsbDeviceRecord(spec, device.syspath);
    const std::string interface_name =
        SysName(spec.bus, spec.ports) + ":1." + std::to_string(spec.vc_interface);
    const std::string interface_path = device.syspath + "/" + interface_name;
    record += "P: " + interface_path.substr(4) + "\n";
    record += "E: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\n";
    if (spec.camera_driver) record += "E: DRIVER=uvcvideo\n";
    record += "A: bInterfaceClass=0e\\n\nA: bInterfaceSubClass=01\\n\n";
    record += Format("A: bInterfaceNumber=%02x\\n\n\n", spec.vc_interface);
    if (spec.camera_driver) {
        const unsigned index = static_cast<unsigned>(spec.video_index);
        record +=
            "P: " + interface_path.substr(4) + "/video4linux/video" + std::to_string(index) + "\n";
        // A plain file, not a pty: umockdev keeps ptys across a removal.
        record += Format("N: video%u=00\nE: DEVNAME=/dev/video%u\n", index, index);
        record += "E: SUBSYSTEM=video4linux\n";
        record += Format("A: index=0\\n\nA: dev=81:%u\\n\n", index);
        record +=
            "A: name=" + (spec.product.empty() ? std::string("camera") : spec.product) + "\\n\n";
        record += "L: device=../../../" + interface_name + "\n\n";
    }
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.present = true;
        device.driver_bound = spec.camera_driver;
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
    const EmulatedCameraSpec& spec = device.spec;
    const std::string interface_path = device.syspath + "/" + SysName(spec.bus, spec.ports) +
                                       ":1." + std::to_string(spec.vc_interface);
    if (spec.camera_driver) {
        const std::string video =
            interface_path + "/video4linux/video" + std::to_string(spec.video_index);
        umockdev_testbed_remove_device(testbed_, video.c_str());
    }
    umockdev_testbed_remove_device(testbed_, interface_path.c_str());
    umockdev_testbed_remove_device(testbed_, device.syspath.c_str());
}

void EmulatedKernel::SetSpec(int id, const EmulatedCameraSpec& spec) {
    Device& device = *devices_.at(static_cast<size_t>(id));
    std::lock_guard<std::mutex> lock(device.mutex);
    if (device.present) throw std::logic_error("a camera changes its face only while unplugged");
    if (spec.bus != device.spec.bus || spec.ports != device.spec.ports)
        throw std::logic_error("a camera comes back on the port it left");
    device.spec = spec;
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

const EmulatedCameraSpec& EmulatedKernel::Spec(int id) const {
    return devices_.at(static_cast<size_t>(id))->spec;
}

std::string EmulatedKernel::UsbfsNode(int id) const {
    const auto& spec = devices_.at(static_cast<size_t>(id))->spec;
    return Format("/dev/bus/usb/%03u/%03u", spec.bus, spec.address);
}

std::string EmulatedKernel::VideoNode(int id) const {
    return "/dev/video" + std::to_string(devices_.at(static_cast<size_t>(id))->spec.video_index);
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
