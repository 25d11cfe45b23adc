#pragma once
// The emulated kernel's side of one USB device: its state and the umockdev handlers of its
// usbfs node and of the camera driver's video node.
#include <linux/uvcvideo.h>
#include <umockdev.h>

#include <cerrno>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/emulated_kernel.h"

namespace orbisk::test {

struct EmulatedKernel::Device {
    struct Urb {
        UMockdevIoctlData* urb = nullptr;
        UMockdevIoctlData* buffer = nullptr;
    };

    EmulatedCameraShape shape;
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

    // Attaches a handler to one of the device's nodes (its usbfs node, or its video node),
    // once per node.
    void Attach(UMockdevTestbed* testbed, const std::string& node, bool usbfs);
    void DetachAll(UMockdevTestbed* testbed);

    gboolean HandleUsbfs(UMockdevIoctlClient* client);
    gboolean HandleVideo(UMockdevIoctlClient* client);
    void SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int CameraDriverQuery(uvc_xu_control_query* query, uint8_t* data);
    void FileOpened(UMockdevIoctlClient* client, bool usbfs);
    void FileClosed(UMockdevIoctlClient* client, bool usbfs);
};

}  // namespace orbisk::test
