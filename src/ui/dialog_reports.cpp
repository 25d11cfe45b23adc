// The report kinds as the main dialog handles them.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <ctime>

#include "base/logger.h"
#include "base/process.h"
#include "ui/crc_thread.h"
#include "ui/main_dialog.h"
#include "ui/upgrade_button.h"

namespace orbisk {

void CTessaly_AllInOne_OvproxyDlg::OnReport(uint32_t kind, uint32_t code, intptr_t extra,
                                            const DeviceSnapshot* snapshot) {
    switch (kind) {
        case kReportClose:
            pauses_.After(128, this, [this] { EndDialog(); });
            break;
        case kReportProgress:
            SetProgress(static_cast<int>(code));
            if (update_pending_ && download_ran_ && code >= 40 && !updating_pictured_) {
                updating_pictured_ = true;
                Picture(Moment::kUpdating);
            }
            break;
        case kReportFailure:
            OnFailure(code);
            break;
        case kReportErrorBox:
            OnErrorBox(code);
            break;
        case kReportSuccess:
            OnSuccess(code);
            break;
        case kReportStepText:
            if (code != 0) status_text_ = std::string(StatusText(code));
            ShowFields();
            break;
        case kReportDeviceInfo:
            OnDeviceInfo(code, extra, snapshot);
            break;
        case kReportFlag:
            device_flag_ = code != 0 ? 1 : 0;
            break;
        default:  // nothing, and the kinds without a handler
            break;
    }
}

void CTessaly_AllInOne_OvproxyDlg::OnDeviceInfo(uint32_t code, intptr_t extra,
                                                const DeviceSnapshot* snapshot) {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnDeviceInfo");
    if (code == 41906 && snapshot != nullptr) {
        snapshot_ = *snapshot;
        version_text_ = VersionText(snapshot_);
        chip_->setText(QString::fromStdString(snapshot_.chip_text));
        status_text_ = result_state_ == 1   ? "Download Succeed"
                       : result_state_ == 2 ? error_text_
                                            : snapshot_.description;
        // A camera in its boot ROM: what Upgrade does with it, or why it is disabled.
        if (!snapshot_.rom_notice.empty() &&
            (result_state_ == 0 || snapshot_.firmware_available == 0))
            status_text_ = snapshot_.rom_notice;
        // The image file the operator chose and why it cannot be this camera's.
        if (!snapshot_.image_notice.empty() && snapshot_.firmware_available == 0)
            status_text_ = snapshot_.image_notice;
        // Item 1069 would be shown for chips 10 and 15, but it lies outside the window the
        // operator sees, as on the old template: it stays hidden.
        serial_text_ = snapshot_.serial_text[process_.ConfigInt(cfg::kSnAddress) != 0 ? 1 : 0];
        device_present_ = true;
    } else {
        version_text_ = "Current FW: N/A";
        result_text_ = "N/A";
        for (QLabel* label : {chip_, chip_name_, chip_text_}) label->setText("N/A");
        status_text_ = "No ZN Camera";
        serial_text_.clear();
        device_present_ = false;
    }
    if (device_present_) {
        chip_text_->setText(QString::fromStdString(snapshot_.chip_text));
        firmware_matches_ = snapshot_.firmware_available != 0;
        const bool check_ini = process_.ConfigInt(cfg::kCheckVidPidIni) != 0;
        const bool check_bin = process_.ConfigInt(cfg::kCheckVidPidBin.name, 1) != 0;
        if (firmware_matches_ && auto_run_ && extra == 0 && (check_ini || check_bin) &&
            operation_value_ != 1) {
            // Automatic start, once: the flag stays clear until an update succeeded.
            auto_run_ = false;
            const auto delay = static_cast<uint32_t>(process_.ConfigInt(cfg::kAutoRunDelay));
            pauses_.After(delay, this, [this] { StartAutomatically(); });
        }
    }
    busy_ = false;
    ApplyEnablingRule();
    ShowFields();
    PostToSelf(kReportProgress, 0);
}

std::string CTessaly_AllInOne_OvproxyDlg::VersionText(const DeviceSnapshot& snapshot) const {
    char text[160];
    if (process_.ConfigInt(cfg::kBcdType) != 0) {
        std::snprintf(text, sizeof text, "Current FW: 0x%04x", snapshot.rev);
    } else {
        std::snprintf(text, sizeof text, "Current FW: %s", snapshot.firmware_version.c_str());
    }
    return text;
}

void CTessaly_AllInOne_OvproxyDlg::OnSuccess(uint32_t) {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnDownloadSuccess");
    verdict_seen_ = true;
    status_text_ = "Firmware Upgrading successfully done!";
    result_text_ = "PASS";
    ShowFields();
    // A full bar until the window closes: the operator sees the whole update went through.
    SetProgress(100);
    result_state_ = 1;
    AppendBurnRow(true, 0);
    WriteVerdict(true);
    // In loop mode the window stays while rounds remain: the worker clicks Upgrade again.
    const bool rounds_remain = loop_mode_ && loop_count_ > 0;
    if (worker_ && !rounds_remain) {
        device_present_ = false;
        // No list refresh after the last loop round: the window closes, and the refresh's
        // device report would leave a non-zero status code, turning a passed loop into exit 1.
        PostWorker(kRequestCloseCamera);
        if (process_.ConfigInt(cfg::kAutoRun) == 2) {
            worker_->PostQuit();
            if (crc_) crc_->Quit();
        }
    }
    busy_ = false;
    ApplyEnablingRule();
    flag_.SetCancel(false);
    // Auto-run is not armed again here: the window either closes, or the worker starts the
    // next round itself, and a second automatic start would arrive as a Stop.
    if (rounds_remain) return;
    // From here on the window only waits to close: device changes start no refresh (its report
    // would change the status code that becomes the exit code), and closing waits for the
    // requests just posted, which it would otherwise cut short.
    close_when_idle_ = true;
    pauses_.After(1000, this, [this] {
        pass_pause_over_ = true;
        if (worker_pending_ == 0) CloseDialog();
    });
}

void CTessaly_AllInOne_OvproxyDlg::OnFailure(uint32_t code) {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnDownloadFail");
    verdict_seen_ = true;
    status_text_ = "Firmware Upgrading failed!";
    result_text_ = "FAIL";
    SetProgress(0);
    ShowFields();
    result_state_ = 2;
    error_text_ = std::string(StatusText(code));
    if (stop_requested_) error_text_ = "Stopped: " + error_text_;
    // The row carries the failure's own code, whatever reports came after it.
    AppendBurnRow(false, code);
    flag_.SetCancel(false);
    if (worker_) {
        PostWorker(kRequestCloseCamera);
        PostWorker(kRequestRefreshList, 1);
    }
    WriteVerdict(false);
    busy_ = false;
    ApplyEnablingRule();
}

void CTessaly_AllInOne_OvproxyDlg::OnErrorBox(uint32_t code) {
    // The state first: whatever runs while the box is open finds the window disabled.
    busy_ = true;
    operation_value_ = 1;
    DisableButtons();
    SetProgress(0);
    ShowMessageLater(kAppName, std::string(StatusText(code)));
}

void CTessaly_AllInOne_OvproxyDlg::WriteVerdict(bool pass) {
    if (result_file_mode_ == 0 || !result_file_.IsOpen()) return;
    if (result_file_mode_ == 1 || result_file_mode_ == 2)
        result_file_.Write(
            DialogVerdict(result_file_mode_, pass, snapshot_.vid, snapshot_.pid, snapshot_.rev));
    result_file_.Close();
}

void CTessaly_AllInOne_OvproxyDlg::AppendBurnRow(bool pass, uint32_t err_code) {
    if (!burn_on_) return;
    BurnRecord record;
    if (!record.Open("burn_result.txt")) {
        ShowMessageLater(kAppName, "Can't Open burn_result.txt");
        return;
    }
    record.AppendRow(std::time(nullptr), serial_text_, pass, err_code);
    record.Close();
}

}  // namespace orbisk
