#pragma once
// A whole tool against one simulated OTP camera: the real transports, function library, chip
// profiles and the OTP memory type, with a prompter that answers from the test.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/prompter.h"
#include "device/flash_rig.h"
#include "device/otp_info_usb.h"
#include "image/otp_demo_image.h"

namespace orbisk::test {

// Records what it was asked and answers Yes or No as told.
class ScriptedPrompter final : public Prompter {
  public:
    void Message(const std::string&, const std::string& text, Icon) override {
        messages.push_back(text);
    }
    bool Confirm(const std::string&, const std::string&) override { return true; }
    bool AskYesNo(const std::string&, const std::string& text) override {
        questions.push_back(text);
        return yes;
    }
    std::optional<std::string> AskPassPhrase() override { return std::nullopt; }

    bool yes = false;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
};

// The demo OTP firmware of version `version`, with `code_size` bytes of code.
std::vector<uint8_t> OtpImage(uint32_t version, size_t code_size = 600);

inline constexpr const char* kOtpRigLockName = "orbisk_otp_test_lock";

struct OtpRig {
    explicit OtpRig(std::vector<uint8_t> otp = {}, sim::Faults faults = {});
    ~OtpRig();

    // Opens the camera as the command line does and sets the download options.
    bool Open();
    // The download slot with `image` as the first image; the result of the operation.
    int Download(const std::vector<uint8_t>& image);
    std::vector<uint8_t> Otp() { return camera->Memory(); }
    // Adds faults to the camera's, from the next transfer on.
    void AddFaults(const std::function<void(sim::Faults&)>& change);
    // The transfers so far, for faults placed "n transfers from now".
    uint32_t transfers() const { return bus.transfers(); }
    std::vector<uint32_t> Failures() const { return sink.codes(kReportFailure); }

    VirtualClock clock;
    RecordingLogSink log;
    Logger logger{clock, &log};
    Process process{clock, logger};
    RecordingStatusSink sink;
    CThreadFlag cancel;
    ScriptedPrompter prompter;
    sim::SimUsbBus sim_bus{clock};
    CountingBus bus{sim_bus};
    std::shared_ptr<sim::SimCamera> camera;
    HookedTransportFactory factory{bus, logger, OpenDeviceLock(kOtpRigLockName)};
    CamLib camlib{process, bus, factory};
    CICTypeIni profiles{process};
    TempDir folder;  // the program folder: recovery records
    std::unique_ptr<COTPInfo_USB> device;
};

}  // namespace orbisk::test
