#include "ui/main_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWhatsThis>
#include <climits>
#include <cmath>

#include "base/logger.h"
#include "base/process.h"
#include "platform/power.h"
#include "ui/about_dialog.h"
#include "ui/crc_thread.h"
#include "ui/device_watch.h"
#include "ui/prompter.h"
#include "ui/qt_prompter.h"
#include "ui/upgrade_button.h"
#include "ui/wakeup_thread.h"
#include "ui/worker_prompter.h"

namespace orbisk {

// Report status for the dialog: every report is posted to the window's thread. A device
// information report carries a snapshot of the device texts taken on the reporting thread,
// which is the thread that owns the device object at that moment.
class CTessaly_AllInOne_OvproxyDlg::StatusPoster final : public StatusSink {
  public:
    explicit StatusPoster(CTessaly_AllInOne_OvproxyDlg* dialog) : dialog_(dialog) {}
    void SetDevice(DialogDevice* device) { device_.store(device); }
    void Post(uint32_t kind, uint32_t code, intptr_t extra) override {
        std::shared_ptr<DeviceSnapshot> snapshot;
        if (DialogDevice* device = device_.load(); kind == kReportDeviceInfo && device != nullptr)
            snapshot = std::make_shared<DeviceSnapshot>(device->Snapshot());
        auto* dialog = dialog_;
        QMetaObject::invokeMethod(
            dialog,
            [dialog, kind, code, extra, snapshot] {
                dialog->OnReport(kind, code, extra, snapshot.get());
            },
            Qt::QueuedConnection);
    }

  private:
    CTessaly_AllInOne_OvproxyDlg* dialog_;
    std::atomic<DialogDevice*> device_{nullptr};
};

namespace {

// Relative luminance and contrast ratio as the accessibility guidelines define them.
double Luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The verdict in a green or a red that reads at 4.5:1 or better against the window's
// background: dark shades on the usual light window, light ones on a dark theme.
QColor VerdictColour(bool pass, const QColor& background) {
    const QColor dark = pass ? QColor(0, 120, 0) : QColor(192, 0, 0);
    const QColor light = pass ? QColor(96, 224, 96) : QColor(255, 128, 128);
    return Contrast(dark, background) >= Contrast(light, background) ? dark : light;
}

}  // namespace

CTessaly_AllInOne_OvproxyDlg::CTessaly_AllInOne_OvproxyDlg(Process& process,
                                                           DialogServices services, QWidget* parent)
    : QDialog(parent),
      process_(process),
      services_(std::move(services)),
      pauses_(process.clock),
      poster_(std::make_unique<StatusPoster>(this)) {
    if (services_.prompter == nullptr) own_prompter_ = std::make_unique<QtPrompter>(this);
    prompter_ = services_.prompter != nullptr ? services_.prompter : own_prompter_.get();
    worker_prompter_ = std::make_unique<WorkerPrompter>(*prompter_, this);
    process_.prompter = worker_prompter_.get();
    BuildControls();
    Initialize();
}

CTessaly_AllInOne_OvproxyDlg::~CTessaly_AllInOne_OvproxyDlg() {
    if (watch_) watch_->Stop();
    // A question the worker asks from now on gets its default answer at once.
    worker_prompter_->Close();
    if (worker_) {
        flag_.SetCancel(true);
        worker_->PostQuit();
    }
    // The cancel flag stays readable until the worker has ended: it is how the running flow
    // learns to stop.
    if (!WaitForThreads()) {
        // The program's runner does not destroy a dialog whose threads still run; anyone else
        // who does must wait for them, or they would use what is destroyed here.
        LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnDestroy", 0);
        scope.Line("Waiting for the worker past the close limit\n");
        if (worker_) worker_->Wait(ULONG_MAX);
        if (wakeup_) wakeup_->wait();
    }
    // Nothing may post to a window that is going away.
    process_.status.SetSink(nullptr);
    process_.status.SetCancelSource(nullptr);
    list_.SetChangeNotice({});
    worker_.reset();
    wakeup_.reset();
    process_.prompter = nullptr;
    crc_.reset();
    if (device_) device_->CloseDevice();
    result_file_.Close();
}

bool CTessaly_AllInOne_OvproxyDlg::WaitForThreads() {
    if (close_deadline_.isForever()) close_deadline_.setRemainingTime(close_wait_ms_);
    // Nobody answers questions any more: a worker waiting for one goes on with the default.
    worker_prompter_->Close();
    if (wakeup_) wakeup_->RequestStop();
    const auto remaining = [this] {
        return static_cast<unsigned long>(std::max<qint64>(0, close_deadline_.remainingTime()));
    };
    bool ended = !worker_ || worker_->Wait(remaining());
    if (wakeup_ && !wakeup_->wait(QDeadlineTimer(static_cast<qint64>(remaining())))) ended = false;
    return ended;
}

void CTessaly_AllInOne_OvproxyDlg::Initialize() {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnInitDialog");
    loop_mode_ = process_.ConfigInt(cfg::kLoopTest) != 0;
    loop_row_->setVisible(loop_mode_);

    process_.status.SetCancelSource(&flag_);
    process_.status.SetSink(poster_.get());
    list_.SetChangeNotice([this] {
        QMetaObject::invokeMethod(
            this, [this] { SyncDeviceList(); }, Qt::QueuedConnection);
    });

    if (services_.notifier != nullptr) {
        watch_ = std::make_unique<DeviceWatch>(
            *services_.notifier, this, [this](const DeviceChange& c) { OnDeviceChange(c); });
        watch_->start();
    } else {
        scope.Text("Register device notification fail\n");
    }

    burn_on_ = process_.ConfigInt(cfg::kLogType) != 0;
    worker_ = std::make_unique<COrvThread>(process_, static_cast<WorkerHost&>(*this));
    crc_ = std::make_unique<CCRCThread>(process_.logger);
    if (process_.ConfigInt(cfg::kRtd3) != 0 && services_.audio != nullptr) {
        wakeup_ =
            std::make_unique<CWakeUpThread>(process_.logger, process_.clock, *services_.audio);
        wakeup_->start();
    }

    busy_ = false;
    ApplyEnablingRule();
    wake_.Reset();

    if (!process_.setup_error.empty()) {
        // Settings that did not load (or no program folder): no camera is searched for or
        // written, and the operator is told why once the window is up.
        status_text_ = "Settings cannot be used: Upgrade disabled";
        ShowMessageLater(kAppName,
                         process_.setup_error + ".\n\nNo camera is touched until this is mended.");
        ShowFields();
        return;
    }
    if (services_.make_device) UseDevice(services_.make_device(nullptr));
    if (device_) {
        PostWorker(kRequestDefaultCamera);
    } else if (services_.make_device) {
        ShowNotSupported();
    } else {
        // Without a device layer no camera can be found: say so at once.
        PostToSelf(kReportDeviceInfo, 41511);
    }

    auto_run_ = process_.ConfigInt(cfg::kAutoRun) != 0;
    result_file_mode_ = process_.ConfigInt(cfg::kSaveResultToFile);
    fw_label_->setText("Fw Version");
    ShowFields();
}

void CTessaly_AllInOne_OvproxyDlg::UseDevice(std::unique_ptr<DialogDevice> device) {
    poster_->SetDevice(nullptr);
    device_ = std::move(device);
    if (!device_) return;
    device_->AttachDialog(&list_, [this](bool on) {
        if (on) {
            wake_.Set();
        } else {
            wake_.Reset();
        }
        QMetaObject::invokeMethod(
            this, [this] { TryDeferredStart(); }, Qt::QueuedConnection);
    });
    CCRCThread* crc = crc_.get();
    // The update waits for the CRC of its own image, never for one asked for before it.
    device_->SetImageCrcSource([crc](uint32_t timeout_ms, uint32_t* value) {
        return crc != nullptr && crc->WaitLatest(timeout_ms, value);
    });
    poster_->SetDevice(device_.get());
}

void CTessaly_AllInOne_OvproxyDlg::ShowFields() {
    path_->setText(QString::fromStdString(path_text_));
    version_->setText(QString::fromStdString(version_text_));
    result_->setText(QString::fromStdString(result_text_));
    QPalette palette = result_->palette();
    palette.setColor(QPalette::WindowText,
                     VerdictColour(result_text_ == "PASS", palette.color(QPalette::Window)));
    result_->setPalette(palette);
    status_->setText(QString::fromStdString(status_text_));
    serial_->setText(QString::fromStdString(serial_text_));
    left_->setText(QString::fromStdString(left_text_));
    loop_edit_->setText(QString::number(loop_count_));
    UpdateUpgradeButton();
}

bool CTessaly_AllInOne_OvproxyDlg::ReadFields() {
    bool ok = false;
    const int value = loop_edit_->text().toInt(&ok);
    if (!ok || value < 0) {
        loop_edit_->setText(QString::number(loop_count_));  // keep the last valid count
        return false;
    }
    loop_count_ = value;
    return true;
}

bool CTessaly_AllInOne_OvproxyDlg::CanStart() const {
    // A device-list refresh the dialog asked for counts as busy: Start must not re-create the
    // device object while the worker uses it. After a fatal error everything stays disabled
    // until the window is closed.
    return !busy_ && !update_pending_ && worker_pending_ == 0 && operation_value_ != 1 &&
           !closing_ && !close_when_idle_ && device_present_ && firmware_matches_;
}

// The version line (1030) is not among them: a disabled label is drawn greyed, and the operator
// must read the version while an update runs and after it.
void CTessaly_AllInOne_OvproxyDlg::ApplyEnablingRule() {
    const bool enable = CanStart();
    get_version_->setEnabled(enable);
    chip_->setEnabled(enable);
    UpdateUpgradeButton();
}

void CTessaly_AllInOne_OvproxyDlg::DisableButtons() {
    get_version_->setEnabled(false);
    chip_->setEnabled(false);
    upgrade_->setEnabled(false);
    UpdateUpgradeButton();
}

void CTessaly_AllInOne_OvproxyDlg::UpdateUpgradeButton() {
    // While the update request runs the button is Stop, and live until it was pressed or the
    // verdict came.
    const bool running = update_pending_ && !verdict_seen_ && !closing_ && operation_value_ != 1;
    upgrade_->setText(running ? "Stop" : "Upgrade");
    upgrade_->setEnabled(running ? !stop_requested_ : CanStart());
    upgrade_->SetLook(device_present_);
}

void CTessaly_AllInOne_OvproxyDlg::SetProgress(int percent) {
    progress_->setValue(std::clamp(percent, 0, 100));
}

void CTessaly_AllInOne_OvproxyDlg::PostToSelf(uint32_t kind, uint32_t code, intptr_t extra) {
    QMetaObject::invokeMethod(
        this, [this, kind, code, extra] { OnReport(kind, code, extra, nullptr); },
        Qt::QueuedConnection);
}

bool CTessaly_AllInOne_OvproxyDlg::PostWorker(WorkerRequest request, intptr_t param,
                                              const std::string& label) {
    if (!worker_ || worker_->quitting()) return false;
    if (!device_ && request != kRequestMarker) return false;
    WorkerJob job;
    job.request = request;
    job.device = device_.get();
    job.param = param;
    job.label = label;
    job.loop_mode = loop_mode_;
    job.remaining = loop_count_;
    ++worker_pending_;
    if (request == kRequestUpdate) update_pending_ = true;
    worker_->Post(job);
    return true;
}

int CTessaly_AllInOne_OvproxyDlg::PostMarker() {
    PostWorker(kRequestMarker);
    return ++markers_posted_;
}

void CTessaly_AllInOne_OvproxyDlg::CloseDialog() {
    if (closing_) return;
    closing_ = true;
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnClose");
    close_deadline_.setRemainingTime(close_wait_ms_);
    if (worker_ && !worker_->quitting()) {
        // The worker's end posts the close report, so the window ends after its last request.
        flag_.SetCancel(true);
        worker_->PostQuit();
    } else if (!worker_) {
        PostToSelf(kReportClose, 0);
    }
    if (crc_) crc_->Quit();
    // The wake-up loop ends at its next burst; its end is waited for, with the worker's, by
    // WaitForThreads.
    if (process_.ConfigInt(cfg::kRtd3) != 0 && wakeup_) wakeup_->RequestStop();
    if (watch_) watch_->Stop();
    // A worker that does not come back (a device call that never returns) must not keep the
    // window open for good.
    QTimer::singleShot(close_wait_ms_, this, [this] {
        if (ending_) return;
        LogScope late(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnClose");
        late.Line("The worker did not end in time; closing without it\n");
        EndDialog();
    });
    UpdateUpgradeButton();
}

void CTessaly_AllInOne_OvproxyDlg::EndDialog() {
    if (ending_) return;
    ending_ = true;
    done(QDialog::Accepted);
}

void CTessaly_AllInOne_OvproxyDlg::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    event->ignore();
    CloseDialog();
}

void CTessaly_AllInOne_OvproxyDlg::reject() {
    CloseDialog();
}
void CTessaly_AllInOne_OvproxyDlg::accept() {
    CloseDialog();
}

void CTessaly_AllInOne_OvproxyDlg::ShowAbout() {
    CAboutDlg about(process_.short_version, this);
    about.exec();
}

void CTessaly_AllInOne_OvproxyDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Where the window manager offers no system menu, its entries live here.
    QMenu menu(this);
    QAction* open = menu.addAction("&Open image...", this, [this] { OpenImage(); });
    open->setObjectName("open_image");
    open->setEnabled(CanOpenImage());
    menu.addAction("&About Orbisk...", this, [this] { ShowAbout(); })->setObjectName("about");
    menu.exec(event->globalPos());
}

bool CTessaly_AllInOne_OvproxyDlg::CanOpenImage() const {
    // The worker reads the image's name while it checks or writes a camera.
    return !busy_ && !update_pending_ && worker_pending_ == 0 && !start_waiting_ && !closing_ &&
           !close_when_idle_ && operation_value_ != 1;
}

void CTessaly_AllInOne_OvproxyDlg::OpenImage() {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OpenImage");
    if (!CanOpenImage()) return;
    std::string path;
    if (services_.choose_image) {
        path = services_.choose_image();
    } else {
        path = QFileDialog::getOpenFileName(this, "Open image", QString(),
                                            "Firmware images (*.rfw *.bin);;All files (*)")
                   .toStdString();
    }
    // The box runs an event loop of its own: the window may have become busy meanwhile.
    if (path.empty() || !CanOpenImage()) return;
    process_.image_file = path;
    scope.Line("Image file %s\n", path.c_str());
    image_file_->setText(QString::fromStdString("Image: " + path));
    image_file_->show();
    result_state_ = 0;
    // Whether the file fits the camera shows in the status line and in the Upgrade button.
    PostWorker(kRequestRefreshList, 0);
    busy_ = true;
    DisableButtons();
}

bool CTessaly_AllInOne_OvproxyDlg::event(QEvent* event) {
    if (event->type() == QEvent::EnterWhatsThisMode) {
        QWhatsThis::leaveWhatsThisMode();
        QMetaObject::invokeMethod(
            this, [this] { ShowAbout(); }, Qt::QueuedConnection);
        return true;
    }
    return QDialog::event(event);
}

void CTessaly_AllInOne_OvproxyDlg::Picture(Moment moment) {
    if (!moment_hook_) return;
    // The window as it will look: a text just set may need it to grow first.
    layout()->activate();
    moment_hook_(moment);
}

void CTessaly_AllInOne_OvproxyDlg::ShowMessageLater(const std::string& caption,
                                                    const std::string& text) {
    messages_.emplace_back(caption, text);
    QMetaObject::invokeMethod(
        this, [this] { ShowNextMessage(); }, Qt::QueuedConnection);
}

void CTessaly_AllInOne_OvproxyDlg::ShowNextMessage() {
    // One box at a time: a box's own event loop may bring the next message.
    if (message_open_ || messages_.empty()) return;
    const auto [caption, text] = messages_.front();
    messages_.pop_front();
    message_open_ = true;
    prompter_->Message(caption, text, Prompter::Icon::kError);
    message_open_ = false;
    if (!messages_.empty())
        QMetaObject::invokeMethod(
            this, [this] { ShowNextMessage(); }, Qt::QueuedConnection);
}

}  // namespace orbisk
