#include "ui/main_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QWhatsThis>

#include "base/logger.h"
#include "base/process.h"
#include "platform/power.h"
#include "ui/about_dialog.h"
#include "ui/crc_thread.h"
#include "ui/device_watch.h"
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

// Dialog units of the template to pixels (the 8-point dialog font: 6 × 13 base units).
QRect Dlu(int x, int y, int width, int height) {
    return QRect(x * 3 / 2, y * 13 / 8, width * 3 / 2, height * 13 / 8);
}

template <typename Widget>
Widget* Place(Widget* widget, const char* item, QRect where) {
    widget->setObjectName(item);
    widget->setGeometry(where);
    return widget;
}

QIcon MakeIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setBrush(QColor(0, 160, 0));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(2, 6, 28, 20, 4, 4);
    painter.setBrush(Qt::white);
    painter.drawEllipse(10, 10, 12, 12);
    return QIcon(pixmap);
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
    // Nothing may post to a window that is going away.
    process_.status.SetSink(nullptr);
    process_.status.SetCancelSource(nullptr);
    list_.SetChangeNotice({});
    if (watch_) watch_->Stop();
    if (wakeup_) wakeup_->StopAndWait();
    worker_prompter_->Close();
    if (worker_) {
        flag_.SetCancel(true);
        worker_->PostQuit();
        worker_->Wait();
    }
    worker_.reset();
    process_.prompter = nullptr;
    crc_.reset();
    if (device_) device_->CloseDevice();
    result_file_.Close();
}

void CTessaly_AllInOne_OvproxyDlg::BuildControls() {
    setWindowTitle(kTitle);
    setWindowIcon(MakeIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);
    setFixedSize(Dlu(0, 0, 337, 65).size());

    progress_ = Place(new QProgressBar(this), "1191", Dlu(9, 10, 269, 16));
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    upgrade_ = Place(new UpgradeButton(this), "1003", Dlu(282, 10, 46, 16));
    version_ = Place(new QLabel("Ver: ", this), "1030", Dlu(12, 30, 122, 9));
    auto* status_label = Place(new QLabel("Status: ", this), "1189", Dlu(12, 47, 26, 8));
    status_label->resize(std::max(status_label->width(), status_label->sizeHint().width()),
                         status_label->height());
    status_ = Place(new QLabel("Static", this), "1033", Dlu(46, 47, 237, 8));
    result_ = Place(new QLabel("N/A", this), "1016", Dlu(282, 28, 45, 25));
    result_->setAlignment(Qt::AlignCenter);
    QFont result_font = result_->font();
    result_font.setPixelSize(24);
    result_font.setWeight(QFont::Bold);
    result_->setFont(result_font);

    // Below the visible area: kept and updated, never seen.
    path_ = Place(new QLineEdit(this), "1000", Dlu(6, 156, 270, 14));
    path_->setReadOnly(true);
    auto* browse = Place(new QPushButton("Browser", this), "1001", Dlu(284, 155, 46, 14));
    browse->hide();
    get_version_ = Place(new QPushButton("Get Version", this), "1004", Dlu(-4, 222, 50, 14));
    serial_ = Place(new QLabel("Static", this), "1028", Dlu(42, 210, 200, 8));
    loop_edit_ = Place(new QLineEdit(this), "1009", Dlu(203, 223, 30, 12));
    loop_edit_->setValidator(new QIntValidator(0, 1000000, loop_edit_));
    loop_edit_->hide();
    total_label_ = Place(new QLabel("Total", this), "1071", Dlu(185, 225, 16, 8));
    total_label_->hide();
    left_ = Place(new QLabel("Left:", this), "1011", Dlu(239, 225, 60, 8));
    left_->hide();
    devices_ = Place(new QComboBox(this), "1050", Dlu(45, 240, 200, 60));
    chip_ = Place(new QLabel("N/A", this), "1069", Dlu(12, 180, 100, 8));
    chip_name_ = Place(new QLabel("N/A", this), "1143", Dlu(120, 180, 100, 8));
    chip_text_ = Place(new QLabel("N/A", this), "1137", Dlu(12, 192, 200, 8));
    fw_label_ = Place(new QLineEdit("N/A", this), "1188", Dlu(220, 192, 100, 12));

    connect(upgrade_, &QPushButton::clicked, this, [this] { OnBnClickedButtonStart(); });
    connect(get_version_, &QPushButton::clicked, this, [this] { OnBnClickedGetVersion(); });
    // activated: the operator's choice only, never the list refresh's own selection.
    connect(devices_, &QComboBox::activated, this, [this](int row) { OnDeviceSelected(row); });
}

void CTessaly_AllInOne_OvproxyDlg::Initialize() {
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnInitDialog");
    chip_->hide();
    loop_mode_ = process_.ConfigInt(cfg::kLoopTest) != 0;
    if (loop_mode_) {
        loop_edit_->show();
        total_label_->show();
        left_->show();
    }

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
        QMetaObject::invokeMethod(
            this,
            [this] {
                prompter_->Message(
                    kAppName,
                    process_.setup_error + ".\n\nNo camera is touched until this is mended.",
                    Prompter::Icon::kError);
            },
            Qt::QueuedConnection);
        ShowFields();
        return;
    }
    if (services_.make_device) UseDevice(services_.make_device(nullptr));
    if (device_) {
        PostWorker(kRequestDefaultCamera);
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
    device_->SetImageCrcSource([crc](uint32_t timeout_ms, uint32_t* value) {
        return crc != nullptr && crc->WaitResult(timeout_ms, value);
    });
    poster_->SetDevice(device_.get());
}

void CTessaly_AllInOne_OvproxyDlg::SyncDeviceList() {
    const QSignalBlocker quiet(devices_);
    devices_->clear();
    for (const auto& item : list_.Items()) devices_->addItem(QString::fromStdString(item));
    devices_->setCurrentIndex(list_.Selected());
}

void CTessaly_AllInOne_OvproxyDlg::ShowFields() {
    path_->setText(QString::fromStdString(path_text_));
    version_->setText(QString::fromStdString(version_text_));
    result_->setText(QString::fromStdString(result_text_));
    QPalette palette = result_->palette();
    palette.setColor(QPalette::WindowText,
                     result_text_ == "PASS" ? QColor(0, 255, 0) : QColor(255, 0, 0));
    result_->setPalette(palette);
    status_->setText(QString::fromStdString(status_text_));
    serial_->setText(QString::fromStdString(serial_text_));
    left_->setText(QString::fromStdString(left_text_));
    loop_edit_->setText(QString::number(loop_count_));
    upgrade_->SetLook(device_present_, busy_ || worker_pending_ > 0);
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

void CTessaly_AllInOne_OvproxyDlg::ApplyEnablingRule() {
    // A device-list refresh the dialog asked for counts as busy: Start must not re-create the
    // device object while the worker uses it.
    // After a fatal error everything stays disabled until the window is closed.
    const bool enable = !busy_ && worker_pending_ == 0 && operation_value_ != 1 &&
                        !close_when_idle_ && device_present_ && firmware_matches_;
    for (QWidget* item : {static_cast<QWidget*>(get_version_), static_cast<QWidget*>(chip_),
                          static_cast<QWidget*>(upgrade_), static_cast<QWidget*>(version_)})
        item->setEnabled(enable);
    upgrade_->SetLook(device_present_, busy_ || worker_pending_ > 0);
    SetProgress(0);
}

void CTessaly_AllInOne_OvproxyDlg::DisableButtons() {
    for (QWidget* item : {static_cast<QWidget*>(get_version_), static_cast<QWidget*>(chip_),
                          static_cast<QWidget*>(upgrade_), static_cast<QWidget*>(version_)})
        item->setEnabled(false);
    upgrade_->SetLook(device_present_, true);
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
    if (!worker_ || worker_->quitting() || !device_) return false;
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

void CTessaly_AllInOne_OvproxyDlg::CloseDialog() {
    if (closing_) return;
    closing_ = true;
    LogScope scope(process_.logger, "CTessaly_AllInOne_OvproxyDlg::OnClose");
    if (worker_ && !worker_->quitting()) {
        // The worker's end posts the close report, so the window ends after its last request.
        flag_.SetCancel(true);
        worker_->PostQuit();
    } else if (!worker_) {
        PostToSelf(kReportClose, 0);
    }
    if (crc_) crc_->Quit();
    if (process_.ConfigInt(cfg::kRtd3) != 0 && wakeup_) wakeup_->StopAndWait();
    if (watch_) watch_->Stop();
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
    // Where the window manager offers no system menu, the about entry lives here.
    QMenu menu(this);
    menu.addAction("&About Orbisk...", this, [this] { ShowAbout(); });
    menu.exec(event->globalPos());
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

// Worker host: each call comes from the worker thread and is handled on the window's.

void CTessaly_AllInOne_OvproxyDlg::DisableUpgrade() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            upgrade_->setEnabled(false);
            download_ran_ = true;
        },
        Qt::QueuedConnection);
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

void CTessaly_AllInOne_OvproxyDlg::RequestDone(WorkerRequest request) {
    QMetaObject::invokeMethod(
        this,
        [this, request] {
            if (worker_pending_ > 0) --worker_pending_;
            if (request == kRequestUpdate) {
                update_pending_ = false;
                // A download that ended without a verdict must not leave the window busy for
                // good: it counts as a failure without a specific text.
                if (download_ran_ && !verdict_seen_) OnFailure(0);
            }
            if (operation_value_ == 1) return;  // a fatal error keeps everything disabled
            if (worker_pending_ == 0 && !busy_) ApplyEnablingRule();
            if (close_when_idle_ && pass_pause_over_ && worker_pending_ == 0) {
                CloseDialog();
                return;
            }
            TryNextRound();
            TryDeferredStart();
            if (moment_hook_ && device_present_ && firmware_matches_ && worker_pending_ == 0 &&
                !busy_)
                moment_hook_(Moment::kCameraShown);
        },
        Qt::QueuedConnection);
}

}  // namespace orbisk
