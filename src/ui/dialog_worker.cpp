// The main dialog's side of the worker: what the worker tells it, handled on its own thread.
#include "base/process.h"
#include "ui/main_dialog.h"

namespace orbisk {

void CTessaly_AllInOne_OvproxyDlg::DownloadStarted() {
    QMetaObject::invokeMethod(
        this, [this] { download_ran_ = true; }, Qt::QueuedConnection);
}

void CTessaly_AllInOne_OvproxyDlg::NextRound() {
    // Arrives while the round's own request is still open; the click waits for its end, or it
    // would be taken for Stop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            next_round_ = true;
            TryNextRound();
        },
        Qt::QueuedConnection);
}

void CTessaly_AllInOne_OvproxyDlg::TryNextRound() {
    if (!next_round_ || update_pending_) return;
    next_round_ = false;
    StartAutomatically();
}

void CTessaly_AllInOne_OvproxyDlg::LoopFinished() {
    // Only the fields are refreshed: a step report would clear the status code and turn a
    // failed last round into exit code 0.
    QMetaObject::invokeMethod(
        this,
        [this] {
            left_text_ = "Left : 0";
            ShowFields();
        },
        Qt::QueuedConnection);
}

void CTessaly_AllInOne_OvproxyDlg::CameraState(const std::string& open_camera_id) {
    QMetaObject::invokeMethod(
        this, [this, open_camera_id] { open_camera_id_ = open_camera_id; }, Qt::QueuedConnection);
}

void CTessaly_AllInOne_OvproxyDlg::RequestDone(const RequestOutcome& outcome) {
    QMetaObject::invokeMethod(
        this, [this, outcome] { OnRequestDone(outcome); }, Qt::QueuedConnection);
}

void CTessaly_AllInOne_OvproxyDlg::OnRequestDone(const RequestOutcome& outcome) {
    // Every request ends here, after everything it reported: the window's state follows from
    // this, whatever the request reported or left out.
    if (worker_pending_ > 0) --worker_pending_;
    open_camera_id_ = outcome.open_camera_id;
    switch (outcome.request) {
        case kRequestUpdate:
            update_pending_ = false;
            stop_requested_ = false;
            // A download that ended without a verdict must not leave the window busy for
            // good: it counts as a failure without a specific text.
            if (download_ran_ && !verdict_seen_) OnFailure(0);
            busy_ = false;
            if (outcome.after) {
                // The camera now runs what was written: show its version.
                version_text_ = VersionText(*outcome.after);
                ShowFields();
            }
            if (result_state_ == 1 && outcome.result == 1) Picture(Moment::kPassShown);
            break;
        case kRequestGetVersion:
            // Nothing was reset, so no camera will arrive to end the wait for the version.
            if (!outcome.opened) {
                version_pending_ = false;
                PostWorker(kRequestRefreshList, 0);
            }
            break;
        case kRequestApplySelection:
            busy_ = false;
            break;
        case kRequestMarker:
            ++markers_reached_;
            break;
        default:
            break;
    }
    if (operation_value_ == 1) return;  // a fatal error keeps everything disabled
    if (worker_pending_ == 0 && !busy_) {
        ApplyEnablingRule();
    } else {
        UpdateUpgradeButton();
    }
    if (close_when_idle_ && pass_pause_over_ && worker_pending_ == 0) {
        CloseDialog();
        return;
    }
    TryNextRound();
    // A start that waited for this request goes on from the event loop, not from here.
    QMetaObject::invokeMethod(
        this, [this] { TryDeferredStart(); }, Qt::QueuedConnection);
    if (worker_pending_ == 0 && !busy_ && !update_pending_ && !starting_) {
        // Idle again: a failure is shown with its text once the list has been refreshed.
        if (result_state_ == 2) Picture(Moment::kFailShown);
        if (device_present_) Picture(Moment::kCameraShown);
    }
}

}  // namespace orbisk
