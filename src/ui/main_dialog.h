#pragma once
#include <QDeadlineTimer>
#include <QDialog>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/result_records.h"
#include "base/status.h"
#include "platform/device_notify.h"
#include "ui/device_list_model.h"
#include "ui/dialog_device.h"
#include "ui/manual_event.h"
#include "ui/orv_thread.h"
#include "ui/pause_timer.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace orbisk {

class AudioCaptureSystem;
class LogScope;
class CCRCThread;
class CWakeUpThread;
class DeviceWatch;
class PowerSource;
class Prompter;
class UpgradeButton;
class WorkerPrompter;
struct Process;

// What the dialog works with; everything the operating system provides comes in here, so tests
// can hand in their own.
struct DialogServices {
    DeviceMaker make_device;              // empty: no device layer, no camera is ever found
    Prompter* prompter = nullptr;         // nullptr: message boxes over the dialog
    PowerSource* power = nullptr;         // nullptr: mains, no battery
    DeviceNotifier* notifier = nullptr;   // nullptr: no device-change notifications
    AudioCaptureSystem* audio = nullptr;  // for "RTD3"; nullptr: no wake-up thread
    // "Open image...": the image file the operator picks; "" when cancelled. Empty: a file box.
    std::function<std::string()> choose_image;
};

// The main update dialog: one Upgrade button, the version and status lines, the verdict box,
// and the hidden controls of the production variants. Everything the device does runs on the
// worker; results come back as posted status reports.
class CTessaly_AllInOne_OvproxyDlg : public QDialog, private WorkerHost {
    Q_OBJECT
  public:
    CTessaly_AllInOne_OvproxyDlg(Process& process, DialogServices services,
                                 QWidget* parent = nullptr);
    ~CTessaly_AllInOne_OvproxyDlg() override;

    static constexpr const char* kTitle = "Zantrel Camera Firmware Update Tool";
    static constexpr const char* kAppName = "Tessaly_AllInOne";

    // Handlers, on the dialog's thread.
    void OnReport(uint32_t kind, uint32_t code, intptr_t extra, const DeviceSnapshot* snapshot);
    void OnBnClickedButtonStart();
    void OnBnClickedGetVersion();
    void OnDeviceSelected(int row);
    void OnDeviceChange(const DeviceChange& change);
    // OK, Cancel, the close box and the end of a successful update.
    void CloseDialog();
    void ShowAbout();
    // "Open image...": the operator picks an image file, which Upgrade writes from then on
    // instead of the image the program carries; the camera is checked against it at once.
    void OpenImage();
    bool CanOpenImage() const;

    // Moments worth a picture (for the README's screenshots): a camera is shown (idle), an
    // update is writing, PASS is shown (with the new version), FAIL is shown.
    enum class Moment { kCameraShown, kUpdating, kPassShown, kFailShown };
    void SetMomentHook(std::function<void(Moment)> hook) { moment_hook_ = std::move(hook); }

    // State, for the window's own drawing and for tests.
    bool busy() const { return busy_; }
    bool device_present() const { return device_present_; }
    bool firmware_matches() const { return firmware_matches_; }
    int result_state() const { return result_state_; }
    int loop_count() const { return loop_count_; }
    bool auto_run() const { return auto_run_; }
    bool version_pending() const { return version_pending_; }
    int worker_pending() const { return worker_pending_; }
    bool closing() const { return closing_; }
    uint32_t device_flag() const { return device_flag_; }
    const std::string& open_camera_id() const { return open_camera_id_; }
    bool stop_requested() const { return stop_requested_; }
    const CThreadFlag& thread_flag() const { return flag_; }
    const ManualEvent& wake_event() const { return wake_; }
    CCRCThread* crc_thread() const { return crc_.get(); }
    CWakeUpThread* wakeup_thread() const { return wakeup_.get(); }
    DialogDevice* device() const { return device_.get(); }
    std::shared_ptr<const std::vector<uint8_t>> image_copy() const { return image_copy_; }

    // A request that runs nothing: once markers_reached() has reached the returned number,
    // every request posted before it has ended and the window has handled all it reported.
    int PostMarker();
    int markers_reached() const { return markers_reached_; }

    // How long closing waits for the worker and the wake-up thread (real time, from the close
    // request on): the window ends by then even if the worker has not.
    void SetCloseWaitLimit(int ms) { close_wait_ms_ = ms; }
    // After the window has ended: waits, up to the close limit, for the worker and the wake-up
    // thread to end; false when one still runs (the dialog may then not be destroyed).
    bool WaitForThreads();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void accept() override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

  private:
    class StatusPoster;

    void BuildControls();
    QWidget* BuildLoopRow();
    QWidget* BuildCameraRow();
    void Initialize();
    // Pushes the fields into the controls (and back, for the loop count).
    void ShowFields();
    bool ReadFields();
    // Start is possible now: a fitting camera, nothing running, nothing pending.
    bool CanStart() const;
    void ApplyEnablingRule();
    void DisableButtons();
    // Upgrade, or Stop while an update runs.
    void UpdateUpgradeButton();
    void SetProgress(int percent);
    void PostToSelf(uint32_t kind, uint32_t code, intptr_t extra = 0);
    bool PostWorker(WorkerRequest request, intptr_t param = 0, const std::string& label = {});
    void UseDevice(std::unique_ptr<DialogDevice> device);
    void SyncDeviceList();
    // Message boxes never run inside a handler: they are shown from the event loop, one at a
    // time, after the handler has set the window's state.
    void ShowMessageLater(const std::string& caption, const std::string& text);
    void ShowNextMessage();
    void Picture(Moment moment);

    void OnDeviceInfo(uint32_t code, intptr_t extra, const DeviceSnapshot* snapshot);
    std::string VersionText(const DeviceSnapshot& snapshot) const;
    void OnSuccess(uint32_t code);
    void OnFailure(uint32_t code);
    void OnErrorBox(uint32_t code);
    void WriteVerdict(bool pass);
    void AppendBurnRow(bool pass, uint32_t err_code);
    void EndDialog();

    // Start, after any wait for a device search has ended.
    void TryDeferredStart();
    // The click of auto-run and of the next loop round, posted to the event loop.
    void StartAutomatically();
    void TryNextRound();
    void ContinueStart();
    // Start up to the questions; false when it ended early.
    bool PrepareStart();
    // Start after the questions: the update request.
    void PostUpdate();
    // Start ends without an update: back to idle with the status line as it was.
    void AbandonStart();
    void RequestStop();
    // The device factory has no class for the camera's memory type.
    void ShowNotSupported();
    // Power, the warning and the pass phrase; true when the update may go on.
    bool AskBeforeUpdate(LogScope& scope);
    bool PowerAllowsUpdate();
    void RefreshAfterChange();

    // WorkerHost, called on the worker thread.
    void DownloadStarted() override;
    void NextRound() override;
    void LoopFinished() override;
    void CameraState(const std::string& open_camera_id) override;
    void RequestDone(const RequestOutcome& outcome) override;
    // The same, on the window's thread.
    void OnRequestDone(const RequestOutcome& outcome);

    Process& process_;
    DialogServices services_;
    std::unique_ptr<Prompter> own_prompter_;
    Prompter* prompter_;
    // The device flows' questions, asked from the worker (the OTP space check).
    std::unique_ptr<WorkerPrompter> worker_prompter_;
    PauseTimer pauses_;
    CThreadFlag flag_;
    ManualEvent wake_;
    DeviceListModel list_;
    std::unique_ptr<StatusPoster> poster_;
    std::unique_ptr<DialogDevice> device_;
    std::unique_ptr<COrvThread> worker_;
    std::unique_ptr<CCRCThread> crc_;
    std::unique_ptr<CWakeUpThread> wakeup_;
    std::unique_ptr<DeviceWatch> watch_;
    ResultFile result_file_;

    // Controls, by their item numbers.
    QProgressBar* progress_ = nullptr;    // 1191
    UpgradeButton* upgrade_ = nullptr;    // 1003
    QLabel* version_ = nullptr;           // 1030
    QLabel* status_ = nullptr;            // 1033
    QLabel* result_ = nullptr;            // 1016
    QLineEdit* path_ = nullptr;           // 1000
    QPushButton* get_version_ = nullptr;  // 1004
    QLabel* serial_ = nullptr;            // 1028
    QLineEdit* loop_edit_ = nullptr;      // 1009
    QLabel* total_label_ = nullptr;       // 1071
    QLabel* left_ = nullptr;              // 1011
    QComboBox* devices_ = nullptr;        // 1050
    QLabel* chip_ = nullptr;              // 1069
    QLabel* chip_name_ = nullptr;         // 1143
    QLabel* chip_text_ = nullptr;         // 1137
    QLineEdit* fw_label_ = nullptr;       // 1188
    QWidget* loop_row_ = nullptr;         // 1071, 1009, 1011: shown in loop mode
    QWidget* camera_row_ = nullptr;       // 1050: shown with more than one camera
    QLabel* image_file_ = nullptr;        // "image": the chosen image file, shown once there is one

    // Fields bound to the controls.
    std::string path_text_;
    std::string version_text_;
    std::string result_text_ = "N/A";
    std::string status_text_ = "N/A";
    std::string serial_text_;
    std::string left_text_ = "Left : 0";
    int32_t loop_count_ = 1;

    bool loop_mode_ = false;
    bool device_present_ = false;
    bool firmware_matches_ = false;
    int32_t operation_value_ = 0;
    bool busy_ = false;
    bool version_pending_ = false;
    bool auto_run_ = false;
    int32_t result_file_mode_ = 0;
    bool burn_on_ = false;
    int result_state_ = 0;
    std::string error_text_;
    uint32_t device_flag_ = 0;
    DeviceSnapshot snapshot_;
    std::shared_ptr<const std::vector<uint8_t>> image_copy_;
    std::vector<uint8_t> reserved_copy_;

    // Worker bookkeeping: requests posted and not yet finished, an update among them, and a
    // start that waits for them.
    int worker_pending_ = 0;
    bool update_pending_ = false;
    bool stop_requested_ = false;
    // From the accepted click until the update is posted or the start is given up; the
    // operator's questions are open meanwhile.
    bool starting_ = false;
    int32_t rounds_before_start_ = 0;
    bool start_waiting_ = false;
    int start_wait_number_ = 0;  // tells a wait's own time limit from an older one's
    bool next_round_ = false;
    // The running update got past opening the camera / reported its verdict.
    bool download_ran_ = false;
    bool verdict_seen_ = false;
    // The questions before an update are open: nothing runs, so device changes are followed;
    // a refresh among them voids the start the operator is answering for.
    bool asking_ = false;
    bool start_voided_ = false;
    std::string open_camera_id_;
    bool closing_ = false;
    bool ending_ = false;
    bool close_when_idle_ = false;  // PASS: close once the worker has no request left
    bool pass_pause_over_ = false;  // and the second after PASS has passed
    int close_wait_ms_ = 20000;
    QDeadlineTimer close_deadline_;
    int markers_posted_ = 0;
    int markers_reached_ = 0;
    std::deque<std::pair<std::string, std::string>> messages_;
    bool message_open_ = false;
    std::function<void(Moment)> moment_hook_;
    bool updating_pictured_ = false;
};

}  // namespace orbisk
