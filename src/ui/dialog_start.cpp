// Start/Stop, Get Version, the device list and device changes of the main dialog.
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cctype>

#include "base/logger.h"
#include "base/process.h"
#include "base/status_codes.h"
#include "device/dev_type_info.h"
#include "platform/power.h"
#include "ui/crc_thread.h"
#include "ui/main_dialog.h"
#include "ui/prompter.h"

namespace orbisk {
namespace {

constexpr uint32_t kReserveUnit = 4096;
constexpr int kReserveUnits = 33;
// How long a start waits for a device search the worker still runs.
constexpr int kStartWaitMs = 10000;

bool ContainsNoCase(const std::string& text, const std::string& part) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    };
    return !part.empty() && lower(text).find(lower(part)) != std::string::npos;
}

}  // namespace

void CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart() {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
    // Stop comes first: it never waits for anything.
    if (busy_ || update_pending_) {
        RequestStop();
        return;
    }
    if (starting_ || start_waiting_ || closing_ || close_when_idle_ || operation_value_ == 1)
        return;
    if (process_.ConfigInt(cfg::kAutoRun) != 0) scope.Line("Waiting>>>\n");
    if (worker_pending_ > 0) {
        // A device search is still running on the worker: start when it has finished and set
        // the wake event, without holding up the window, and give up if it never does.
        start_waiting_ = true;
        const int wait = ++start_wait_number_;
        QTimer::singleShot(kStartWaitMs, this, [this, wait] {
            if (!start_waiting_ || wait != start_wait_number_) return;
            start_waiting_ = false;
            LogScope late(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
            late.Line("Waiting<<< device search did not end; start dropped\n");
        });
        return;
    }
    start_waiting_ = true;
    TryDeferredStart();
}

void CTessaly_AllInOne_OvproxyDlg::RequestStop() {
    flag_.SetCancel(true);
    if (!update_pending_ || verdict_seen_ || stop_requested_) return;
    // The flow ends at its next check with its own failure report.
    stop_requested_ = true;
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
    scope.Line("Stop requested\n");
    status_text_ = "Stopping...";
    ShowFields();
}

void CTessaly_AllInOne_OvproxyDlg::StartAutomatically() {
    // Posted like the operator's click, so no question is asked from inside a handler; an
    // automatic click never stops anything: when a start is already under way it is void.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (busy_ || update_pending_ || starting_ || start_waiting_ || closing_ ||
                close_when_idle_ || operation_value_ == 1) {
                LogScope scope(process_.logger,
                               "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
                scope.Line("Automatic start skipped: an update is already under way\n");
                return;
            }
            OnBnClickedButtonStart();
        },
        Qt::QueuedConnection);
}

void CTessaly_AllInOne_OvproxyDlg::TryDeferredStart() {
    if (!start_waiting_ || worker_pending_ > 0 || closing_) return;
    start_waiting_ = false;
    if (process_.ConfigInt(cfg::kAutoRun) != 0) {
        wake_.Reset();
        LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
        scope.Line("Waiting<<<\n");
    }
    ContinueStart();
}

void CTessaly_AllInOne_OvproxyDlg::ContinueStart() {
    if (!PrepareStart()) return;
    // The questions run their own event loops: reports, device changes and a close can
    // arrive meanwhile. The window stays busy, and nothing is posted once it closes, a fatal
    // error came or the cameras changed under the operator's answer.
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
    asking_ = true;
    start_voided_ = false;
    const bool go = AskBeforeUpdate(scope);
    asking_ = false;
    if (go && start_voided_)
        scope.Line("The cameras changed during the questions; start dropped\n");
    if (!go || start_voided_ || closing_ || operation_value_ == 1) {
        AbandonStart();
        return;
    }
    PostUpdate();
}

bool CTessaly_AllInOne_OvproxyDlg::AskBeforeUpdate(LogScope& scope) {
    if (snapshot_.rom_without_record) {
        // Nothing says what serial number the camera had: written only when the operator
        // says so, knowing it.
        const std::string question =
            "The camera " + snapshot_.identity + " on port " + snapshot_.port +
            " runs its boot ROM and has no recovery record.\n"
            "Its serial number cannot be restored: it gets the serial number of the firmware "
            "image.\n\nWrite the firmware anyway?";
        if (!prompter_->AskYesNo("Camera in boot ROM", question)) return false;
        device_->SetRecoverWithoutRecord(true);
    }
    if (!PowerAllowsUpdate() ||
        !prompter_->Confirm("Warning", "Warning!\nDo you Want to continue to Update?"))
        return false;
    scope.Line("FW Path is %s\n", path_text_.c_str());
    const std::string pass_phrase = process_.ConfigText(cfg::kOtpPassword);
    if (pass_phrase.empty() || snapshot_.otp_programmed < 1) return true;
    const auto typed = prompter_->AskPassPhrase();
    if (typed && *typed == pass_phrase) return true;
    prompter_->Message(
        kAppName,
        typed ? "密碼輸入錯誤.(請注意大小字母會有差異)" : "請輸入正確密碼才可進行二次烧录",
        Prompter::Icon::kError);
    return false;
}

bool CTessaly_AllInOne_OvproxyDlg::PrepareStart() {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
    scope.Line("Device ID : %s\n", snapshot_.identity.c_str());
    if (!device_ || !services_.make_device || !worker_ || worker_->quitting() ||
        operation_value_ == 1)
        return false;

    // The bridge's reserved tail survives the update: n = 1..33 keeps units n-1..32.
    const int reserve = std::clamp(process_.ConfigInt(cfg::kMipiReserve), 0, kReserveUnits);
    std::vector<uint8_t> reserved(static_cast<size_t>(kReserveUnits - reserve) * kReserveUnit,
                                  0xFF);
    const auto current = device_->ReservedData();
    std::copy_n(current.begin(), std::min(current.size(), reserved.size()), reserved.begin());
    reserved_copy_ = std::move(reserved);

    // A memory type without a class keeps the object there is, so the next camera still works.
    auto fresh = services_.make_device(device_.get());
    if (!fresh) {
        ShowNotSupported();
        return false;
    }
    UseDevice(std::move(fresh));
    if (device_->LoadFirmware() != 1) return false;

    if (!ReadFields() || loop_count_ == 0) return false;
    rounds_before_start_ = loop_count_;
    if (loop_mode_) {
        --loop_count_;
        left_text_ = "Left : " + std::to_string(loop_count_);
    }

    starting_ = true;
    busy_ = true;
    ShowFields();
    DisableButtons();
    flag_.SetCancel(false);

    auto image = std::make_shared<std::vector<uint8_t>>(device_->ImageBytes());
    path_text_ = device_->FirmwarePath();
    if (process_.project_type == 5) {
        if (reserve != 0) {
            const size_t offset = size_t{static_cast<uint32_t>(reserve - 1)} * kReserveUnit;
            // Only within the image: a short image keeps what it has.
            if (offset + reserved_copy_.size() <= image->size()) {
                std::copy(reserved_copy_.begin(), reserved_copy_.end(), image->begin() + offset);
                device_->OverwriteImage(offset, reserved_copy_.data(), reserved_copy_.size());
            } else {
                scope.Line("Reserved area beyond the image end; not restored\n");
            }
        }
        image_copy_ = image;
        if (crc_) crc_->Request(image_copy_);
    } else {
        image_copy_ = image;
    }
    return true;
}

void CTessaly_AllInOne_OvproxyDlg::AbandonStart() {
    // Declined or refused: nothing was written, so no round is counted. The status line was
    // left to what happened meanwhile (a start says nothing before the operator agreed).
    starting_ = false;
    busy_ = false;
    if (loop_mode_) {
        loop_count_ = rounds_before_start_;
        left_text_ = "Left : " + std::to_string(loop_count_);
    }
    ApplyEnablingRule();
    ShowFields();
}

void CTessaly_AllInOne_OvproxyDlg::PostUpdate() {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
    starting_ = false;
    status_text_ = "Begin to Download";
    if (process_.ConfigInt(cfg::kDebugLog) == 0 && process_.lib_type == 1) {
        status_text_ = "Change Download Lib Type";
        scope.Section("Change Download Lib Type\n");
    }
    SetProgress(0);
    // Created once the operator has agreed: a declined start leaves the last verdict alone.
    if (result_file_mode_ != 0) result_file_.Create(process_.ProgramFile("Result.txt"));
    download_ran_ = false;
    verdict_seen_ = false;
    stop_requested_ = false;
    updating_pictured_ = false;
    PostWorker(kRequestUpdate);
    ApplyEnablingRule();
    ShowFields();
}

void CTessaly_AllInOne_OvproxyDlg::ShowNotSupported() {
    std::string type(ProjectTypeName(process_.project_type));
    if (type.empty()) type = "memory type " + std::to_string(process_.project_type);
    if (process_.bus_type != 0) type += ", " + std::string(BusTypeName(process_.bus_type));
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnBnClickedButtonStart");
    scope.Line("No device object for %s\n", type.c_str());
    status_text_ = std::string(StatusText(kStatusNotSupport)) + " (" + type + ")";
    process_.status.SetCode(kStatusNotSupport);
    // This camera cannot be written; the next device report (another camera) decides again.
    firmware_matches_ = false;
    ApplyEnablingRule();
    ShowFields();
}

bool CTessaly_AllInOne_OvproxyDlg::PowerAllowsUpdate() {
    const PowerStatus power = services_.power != nullptr
                                  ? services_.power->Query()
                                  : PowerStatus{PowerStatus::kAcOnline, PowerStatus::kUnknown};
    const char* problem = nullptr;
    if (power.ac_line != PowerStatus::kAcOnline) {
        problem =
            "This process requires power to avoid an accidental power-off during an Update.\n"
            "Connect the AC adapter to the sytem.";
    } else if (power.battery_percent != PowerStatus::kUnknown && power.battery_percent < 10) {
        problem =
            "This process requires power to avoid an accidental power-off during an Update.\n"
            "Charge Battery to above 10%.";
    }
    if (problem == nullptr) return true;
    prompter_->Message("Error", problem, Prompter::Icon::kError);
    return false;
}

void CTessaly_AllInOne_OvproxyDlg::OnBnClickedGetVersion() {
    result_state_ = 0;
    PostWorker(kRequestGetVersion);
    device_present_ = false;
    version_pending_ = true;
    busy_ = false;
    DisableButtons();
    SetProgress(0);
}

void CTessaly_AllInOne_OvproxyDlg::OnDeviceSelected(int row) {
    if (row < 0 || busy_ || update_pending_ || starting_ || operation_value_ == 1) return;
    result_state_ = 0;
    list_.Select(row);
    PostWorker(kRequestApplySelection, row, list_.SelectedText());
    busy_ = true;
    operation_value_ = 0;
    DisableButtons();
    SetProgress(0);
}

void CTessaly_AllInOne_OvproxyDlg::RefreshAfterChange() {
    PostWorker(kRequestRefreshList, 0);
    if (asking_) start_voided_ = true;
}

void CTessaly_AllInOne_OvproxyDlg::OnDeviceChange(const DeviceChange& change) {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnDeviceChange");
    // While the questions before an update are open the worker is idle: the window follows
    // the cameras, or it would offer a camera that left and never see it come back.
    const bool busy = (busy_ && !asking_) || update_pending_;
    const bool ours = change.camera_interface && ContainsNoCase(change.interface_name, "MI_00");
    if (closing_ || close_when_idle_) {
        scope.Line("DeviceChange ignored: the window is closing\n");
        return;
    }
    switch (change.kind) {
        case DeviceChangeKind::kNodesChanged:
            scope.Line("DeviceChange - DevNodes changed\n");
            break;
        case DeviceChangeKind::kArrival:
            scope.Line("DeviceChange - Device arrival\n");
            if (ours && open_camera_id_.empty() && !busy) {
                scope.Line("Condition4\n");
                status_text_ = "Device Opened";
                ShowFields();
                scope.Section((Logger::CurrentTimeText() + "Device Arrival\n").c_str());
                RefreshAfterChange();
                version_pending_ = false;
                ApplyEnablingRule();
            }
            break;
        case DeviceChangeKind::kRemoval:
            scope.Line("DeviceChange - Device remove complete\n");
            if (!ours) break;
            scope.Line("remove info is %s\n", change.interface_name.c_str());
            // Compared with the identity the worker reported when it opened the camera, never
            // read from the device object the worker may be using.
            if (!open_camera_id_.empty() &&
                ContainsNoCase(change.interface_name, open_camera_id_.substr(0, 200))) {
                if (busy) {
                    scope.Line("Condition1\n");
                    if (device_) device_->MarkCameraGone();
                    break;
                }
                scope.Line("Condition2\n");
                result_state_ = 0;
                RefreshAfterChange();
            }
            if (!busy && !version_pending_) {
                scope.Line("Condition3\n");
                result_state_ = 0;
                RefreshAfterChange();
                ApplyEnablingRule();
            }
            break;
    }
}

}  // namespace orbisk
