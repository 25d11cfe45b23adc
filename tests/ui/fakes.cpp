#include "fakes.h"

#include <thread>

namespace orbisk::test {

FakeCamera FakeWorld::Camera(uint16_t pid, uint8_t port) {
    FakeCamera camera;
    camera.usb.vid = 0x0C45;
    camera.usb.pid = pid;
    camera.usb.rev = 0x0123;
    camera.usb.bus = 1;
    camera.usb.port_chain = {port};
    camera.usb.has_camera_driver = true;
    return camera;
}

int FakeDevice::Search(int32_t flag) {
    if (open_) return 1;  // as the device flow: a list operation leaves an open camera alone
    world_.search_started.Set();
    if (world_.hold_search) world_.search_release.WaitFor(10000);
    const bool auto_run = process_.ConfigInt(cfg::kAutoRun) != 0;
    if (auto_run && wake_) wake_(false);
    std::vector<FakeCamera> cameras;
    {
        std::lock_guard lock(world_.mutex);
        cameras = world_.cameras;
    }
    list_->Clear();
    for (size_t i = 0; i < cameras.size(); ++i) {
        char label[64];
        std::snprintf(label, sizeof label, "VID_%04X&PID_%04X&REV_%04X", cameras[i].usb.vid,
                      cameras[i].usb.pid, cameras[i].usb.rev);
        list_->Insert(static_cast<int>(i), label);
    }
    selected_ = cameras.empty() ? -1 : 0;
    // The search takes the memory type from the chosen camera's image.
    if (selected_ >= 0) process_.project_type = cameras[0].project_type;
    if (selected_ >= 0) {
        list_->Select(selected_);
        process_.Report(kReportDeviceInfo, 41906, flag);
    } else {
        process_.Report(kReportDeviceInfo, 41511, 0);
    }
    if (auto_run && wake_) wake_(true);
    return 1;
}

int FakeDevice::OpenForMultiCamera() {
    // As the device flow: without a chosen entry it says so; otherwise it opens the first
    // camera from the chosen entry on and reports nothing when there is none.
    if (selected_ < 0) {
        process_.Report(kReportDeviceInfo, 41511);
        return 0;
    }
    std::lock_guard lock(world_.mutex);
    open_ = selected_ < static_cast<int>(world_.cameras.size());
    return open_ ? 1 : 0;
}

std::string FakeDevice::OpenCameraId() {
    std::lock_guard lock(world_.mutex);
    if (!open_ || selected_ < 0 || selected_ >= static_cast<int>(world_.cameras.size())) return {};
    return CameraInstanceId(world_.cameras[selected_].usb);
}

int FakeDevice::Download() {
    ++world_.downloads;
    process_.Report(kReportStepText, 41719);
    process_.Report(kReportProgress, 30);
    world_.download_started.Set();
    if (world_.hold_download) {
        while (!world_.release.WaitFor(5)) {
            if (!world_.ignore_cancel && process_.CheckCancel()) {
                process_.Report(kReportFailure, 41706);
                return 0;
            }
        }
    }
    process_.Report(kReportStepText, 41721);
    process_.Report(kReportProgress, 100);
    if (world_.download_result == 1) {
        process_.Report(kReportSuccess, 41755);
        // The camera now runs the new firmware, and the flow has read its version back.
        std::lock_guard lock(world_.mutex);
        if (selected_ >= 0 && selected_ < static_cast<int>(world_.cameras.size()))
            world_.cameras[selected_].version = world_.new_version;
        return 1;
    }
    process_.Report(kReportFailure, world_.failure_code);
    // A later report must not change the code the burn row carries.
    process_.Report(kReportProgress, 0);
    return 0;
}

DeviceSnapshot FakeDevice::Snapshot() {
    std::lock_guard lock(world_.mutex);
    DeviceSnapshot snapshot;
    if (selected_ < 0 || selected_ >= static_cast<int>(world_.cameras.size())) return snapshot;
    const FakeCamera& camera = world_.cameras[selected_];
    snapshot.firmware_version = camera.version;
    snapshot.vid = camera.usb.vid;
    snapshot.pid = camera.usb.pid;
    snapshot.rev = camera.usb.rev;
    snapshot.chip_text = "FLASH";
    snapshot.chip_info = camera.chip_info;
    snapshot.description = camera.description;
    snapshot.serial_text[0] = camera.serial;
    snapshot.serial_text[1] = camera.serial + "-cfg";
    snapshot.firmware_available = camera.fits ? 1 : 0;
    snapshot.otp_programmed = camera.otp_programmed;
    snapshot.identity = CameraInstanceId(camera.usb);
    return snapshot;
}

namespace {
class FakeStream final : public AudioCaptureStream {
  public:
    size_t BytesPerSecond() const override { return 96000; }
    bool Start(std::vector<uint8_t>* buffer) override { return buffer->size() == 4800; }
    int Stop() override {
        std::this_thread::yield();
        return 0;
    }
};
}  // namespace

std::unique_ptr<AudioCaptureStream> FakeAudio::Open(const AudioEndpoint& endpoint) {
    opened = endpoint.name;
    if (open_fails) return nullptr;
    return std::make_unique<FakeStream>();
}

}  // namespace orbisk::test
