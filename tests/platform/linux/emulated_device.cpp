#include "platform/linux/emulated_device.h"

#include <linux/usb/video.h>
#include <linux/usbdevice_fs.h>

#include <cstddef>
#include <cstdio>
#include <stdexcept>

namespace orbisk::test {

namespace {

constexpr uint8_t kTypeClassInterface = 0x21;

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

template <bool usbfs>
void OnClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer device) {
    static_cast<EmulatedKernel::Device*>(device)->FileOpened(client, usbfs);
}

template <bool usbfs>
void OnClientVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer device) {
    static_cast<EmulatedKernel::Device*>(device)->FileClosed(client, usbfs);
}

}  // namespace

void EmulatedKernel::Device::Attach(UMockdevTestbed* testbed, const std::string& node, bool usbfs) {
    // The handlers stay while the device is unplugged, so files opened before get ENODEV rather
    // than a broken socket (which the preload library answers with abort()).
    if (handlers.count(node)) return;
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    handlers[node] = handler;
    g_signal_connect(handler, "handle-ioctl",
                     usbfs ? G_CALLBACK(OnUsbfsIoctl) : G_CALLBACK(OnVideoIoctl), this);
    g_signal_connect(
        handler, "client-connected",
        usbfs ? G_CALLBACK(OnClientConnected<true>) : G_CALLBACK(OnClientConnected<false>), this);
    g_signal_connect(
        handler, "client-vanished",
        usbfs ? G_CALLBACK(OnClientVanished<true>) : G_CALLBACK(OnClientVanished<false>), this);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed, node.c_str(), handler, &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw std::runtime_error("cannot attach a handler to " + node + ": " + message);
    }
}

void EmulatedKernel::Device::DetachAll(UMockdevTestbed* testbed) {
    for (auto& [node, handler] : handlers)
        umockdev_testbed_detach_ioctl(testbed, node.c_str(), nullptr);
}

// Files of the usbfs node are the model's business; files of the video node only the camera
// driver's.
void EmulatedKernel::Device::FileOpened(UMockdevIoctlClient* client, bool usbfs) {
    std::lock_guard<std::mutex> lock(mutex);
    clients.insert(client);
    stale_clients.erase(client);  // a new file, even if an old one was never reported closed
    if (usbfs && model) model->FileOpened(reinterpret_cast<UsbfsFile>(client));
}

void EmulatedKernel::Device::FileClosed(UMockdevIoctlClient* client, bool usbfs) {
    std::lock_guard<std::mutex> lock(mutex);
    clients.erase(client);
    stale_clients.erase(client);
    if (usbfs && model) model->FileClosed(reinterpret_cast<UsbfsFile>(client));
}

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
        (setup.index & 0xFF) == shape.vc_interface) {
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
            if (driver_bound && query->interface == shape.vc_interface) {
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
            const bool ours = shape.camera_driver && command->ifno == shape.vc_interface;
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
            } else if (driver_bound && number == shape.vc_interface) {
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
    if (query->unit != shape.xu_unit || query->selector == 0 || query->selector > 32 ||
        (shape.xu_controls & (1u << (query->selector - 1))) == 0)
        return ENOENT;
    auto ask = [&](uint8_t request, uint8_t* buffer, uint16_t size) -> int {
        ControlSetup setup;
        setup.request_type = (request & 0x80) ? 0xA1 : kTypeClassInterface;
        setup.request = request;
        setup.value = static_cast<uint16_t>(query->selector << 8);
        setup.index = static_cast<uint16_t>((shape.xu_unit << 8) | shape.vc_interface);
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

}  // namespace orbisk::test
