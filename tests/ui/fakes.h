#pragma once
#include <QCoreApplication>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/process.h"
#include "platform/audio_capture.h"
#include "platform/device_notify.h"
#include "ui/device_list_model.h"
#include "ui/dialog_device.h"
#include "ui/manual_event.h"
#include "ui/prompter.h"

namespace orbisk::test {

// One camera on the fake bus.
struct FakeCamera {
    UsbDeviceInfo usb;
    std::string version = "1.02.03";
    std::string serial = "SN0001";
    bool fits = true;
    int otp_programmed = 0;
    // The project type its image's configuration area names (0 serial flash ... 6 OTP).
    int32_t project_type = 0;
    int32_t chip_info = 0;                     // "ChipInfo" of its profile
    std::string description = "Camera ready";  // what the status line says of it
};

// What the fake device objects share: the cameras plugged in and how updates go. Several
// device objects exist over a dialog's life (one per Start), all on this one world.
struct FakeWorld {
    std::mutex mutex;
    std::vector<FakeCamera> cameras;
    int download_result = 1;
    uint32_t failure_code = 41706;
    bool load_result = true;
    std::vector<uint8_t> image = std::vector<uint8_t>(64 * 1024, 0x5A);
    std::vector<uint8_t> reserved;
    // Project types the device factory has a class for: as this build, the flash memories.
    std::set<int32_t> classes{0, 1};
    // What a camera runs after a good download.
    std::string new_version = "2.00.00";
    // When set, a download waits for `release` (or the stop request) before it ends.
    bool hold_download = false;
    // A download that never looks at the stop request (a device call that does not return).
    bool ignore_cancel = false;
    ManualEvent release;
    ManualEvent download_started;
    // When set, a device search waits for `search_release` before it lists anything.
    bool hold_search = false;
    ManualEvent search_release;
    ManualEvent search_started;
    std::atomic<int> downloads{0};
    std::atomic<int> refreshes{0};
    std::atomic<int> creations{0};
    std::atomic<int> gone_marks{0};
    std::atomic<uint32_t> command_options{0};

    static FakeCamera Camera(uint16_t pid, uint8_t port);
};

// The device object as the dialog sees it, over the fake world. Reports go through the real
// report status of the process, so the dialog receives them as it would from the flows.
class FakeDevice final : public DialogDevice {
  public:
    FakeDevice(Process& process, FakeWorld& world) : process_(process), world_(world) {
        ++world_.creations;
    }
    // What a re-created device object takes over from the one before: the chosen camera.
    void TakeOver(const DialogDevice* previous) {
        if (auto* fake = dynamic_cast<const FakeDevice*>(previous)) selected_ = fake->selected_;
    }
    void AttachDialog(DeviceListModel* list, std::function<void(bool)> wake) override {
        list_ = list;
        wake_ = std::move(wake);
    }
    int GetDefaultDevice() override { return Search(0); }
    int GetDeviceList(int32_t flag) override {
        ++world_.refreshes;
        return Search(flag);
    }
    int ApplySelection(int index, const std::string&) override {
        {
            std::lock_guard lock(world_.mutex);
            selected_ = index < static_cast<int>(world_.cameras.size()) ? index : -1;
            if (selected_ >= 0) process_.project_type = world_.cameras[selected_].project_type;
        }
        process_.Report(kReportDeviceInfo, selected_ >= 0 ? 41906 : 41511);
        return 1;
    }
    int OpenForMultiCamera() override;
    void CloseDevice() override { open_ = false; }
    std::string OpenCameraId() override;
    void ResetToRom() override {}
    void SetTransportOptions() override {}
    void SetCommandOptions(uint32_t options) override { world_.command_options = options; }
    int Download() override;
    DeviceSnapshot Snapshot() override;
    int LoadFirmware() override { return world_.load_result ? 1 : 0; }
    std::vector<uint8_t> ImageBytes() override { return world_.image; }
    std::string FirmwarePath() override { return "built-in"; }
    std::vector<uint8_t> ReservedData() override { return world_.reserved; }
    bool OverwriteImage(size_t offset, const uint8_t* data, size_t size) override {
        if (offset + size > world_.image.size()) return false;
        std::copy(data, data + size, world_.image.begin() + static_cast<long>(offset));
        return true;
    }
    void SetImageCrcSource(std::function<bool(uint32_t, uint32_t*)> source) override {
        crc_source = std::move(source);
    }
    void MarkCameraGone() override { ++world_.gone_marks; }

    std::function<bool(uint32_t, uint32_t*)> crc_source;

    // A maker for the dialog: every object on the one world, carrying the chosen camera over;
    // none for a project type without a class.
    static DeviceMaker Maker(Process& process, FakeWorld& world) {
        return [&process, &world](DialogDevice* previous) -> std::unique_ptr<DialogDevice> {
            if (world.classes.count(process.project_type) == 0) return nullptr;
            auto device = std::make_unique<FakeDevice>(process, world);
            device->TakeOver(previous);
            return device;
        };
    }

  private:
    int Search(int32_t flag);

    Process& process_;
    FakeWorld& world_;
    DeviceListModel* list_ = nullptr;
    std::function<void(bool)> wake_;
    int selected_ = -1;
    bool open_ = false;
};

// Answers the dialog's questions from a script and keeps what it was shown. Like a real
// modal box, each question runs the event loop while it is open: whatever the window has
// queued (reports, timers, device changes) is handled before the answer comes.
class FakePrompter final : public Prompter {
  public:
    void Message(const std::string& caption, const std::string& text, Icon) override {
        Add(messages_, caption + "|" + text);
        WhileOpen(text);
    }
    bool Confirm(const std::string&, const std::string& text) override {
        Add(confirmations_, text);
        WhileOpen(text);
        return confirm;
    }
    bool AskYesNo(const std::string&, const std::string& text) override {
        Add(questions_, text);
        WhileOpen(text);
        return answer_yes;
    }
    std::optional<std::string> AskPassPhrase() override {
        ++pass_phrase_asks;
        WhileOpen("pass phrase");
        return pass_phrase;
    }
    std::vector<std::string> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<std::string> confirmations() const {
        std::lock_guard lock(mutex_);
        return confirmations_;
    }
    std::vector<std::string> questions() const {
        std::lock_guard lock(mutex_);
        return questions_;
    }

    bool confirm = true;
    bool answer_yes = false;
    std::optional<std::string> pass_phrase;
    int pass_phrase_asks = 0;
    // Runs while a box is open, before its event loop (the operator doing something meanwhile).
    std::function<void(const std::string& text)> while_open;

  private:
    void Add(std::vector<std::string>& list, std::string entry) {
        std::lock_guard lock(mutex_);
        list.push_back(std::move(entry));
    }
    void WhileOpen(const std::string& text) {
        if (while_open) while_open(text);
        QCoreApplication::processEvents();
    }

    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::vector<std::string> confirmations_;
    std::vector<std::string> questions_;
};

// Notifications a test pushes.
class QueueNotifier final : public DeviceNotifier {
  public:
    void Push(const DeviceChange& change) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(change);
        }
        ready_.notify_all();
    }
    bool Next(uint32_t timeout_ms, DeviceChange* change) override {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return !queue_.empty(); }))
            return false;
        *change = queue_.front();
        queue_.pop_front();
        return true;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<DeviceChange> queue_;
};

// Audio endpoints from a list; streams count their bursts.
class FakeAudio final : public AudioCaptureSystem {
  public:
    std::vector<AudioEndpoint> endpoints;
    bool open_fails = false;
    std::string opened;

    std::vector<AudioEndpoint> Endpoints() override { return endpoints; }
    std::unique_ptr<AudioCaptureStream> Open(const AudioEndpoint& endpoint) override;
};

}  // namespace orbisk::test
