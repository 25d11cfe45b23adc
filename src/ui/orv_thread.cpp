#include "ui/orv_thread.h"

#include <QDeadlineTimer>

#include "base/logger.h"
#include "base/process.h"
#include "base/status_codes.h"
#include "ui/dialog_device.h"

namespace orbisk {
namespace {
// "Detect Device Fail!": no camera opened from the chosen entry on.
}  // namespace

COrvThread::COrvThread(Process& process, WorkerHost& host)
    : process_(process), host_(host), context_(new QObject) {
    thread_.setObjectName("COrvThread");
    context_->moveToThread(&thread_);
    thread_.start();
}

COrvThread::~COrvThread() {
    PostQuit();
    thread_.wait();
    delete context_;
}

void COrvThread::Post(const WorkerJob& job) {
    QMetaObject::invokeMethod(
        context_, [this, job] { Run(job); }, Qt::QueuedConnection);
}

void COrvThread::PostQuit() {
    if (quitting_.exchange(true)) return;
    QMetaObject::invokeMethod(
        context_,
        [this] {
            // The thread's end tells the dialog to close itself.
            process_.Report(kReportClose, 0);
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
}

bool COrvThread::Wait(unsigned long timeout_ms) {
    return thread_.wait(QDeadlineTimer(static_cast<qint64>(timeout_ms)));
}

void COrvThread::Run(const WorkerJob& job) {
    RequestOutcome outcome;
    outcome.request = job.request;
    DialogDevice* device = job.device;
    if (device != nullptr) {
        switch (job.request) {
            case kRequestDefaultCamera:
                device->GetDefaultDevice();
                break;
            case kRequestUpdate:
                OnDownload(job, outcome);
                break;
            case kRequestGetVersion:
                outcome.opened = device->OpenForMultiCamera() == 1;
                if (outcome.opened) device->ResetToRom();
                device->CloseDevice();
                break;
            case kRequestRefreshList:
                device->GetDeviceList(static_cast<int32_t>(job.param));
                break;
            case kRequestApplySelection:
                device->ApplySelection(static_cast<int>(job.param), job.label);
                break;
            case kRequestCloseCamera:
                device->CloseDevice();
                break;
            case kRequestMarker:
                break;
        }
        outcome.open_camera_id = device->OpenCameraId();
    }
    host_.RequestDone(outcome);
}

void COrvThread::OnDownload(const WorkerJob& job, RequestOutcome& outcome) {
    LogScope scope(process_.logger, "COrvThread::OnDownload");
    DialogDevice& device = *job.device;
    device.CloseDevice();
    if (device.OpenForMultiCamera() != 1) {
        // The open may end without any report (the chosen camera left while the operator was
        // asked): the update still ends with a verdict, or the window would wait for one.
        outcome.opened = false;
        scope.Section("Open device fail\n");
        process_.Report(kReportFailure, kStatusDetectDeviceFail);
        return;
    }
    host_.CameraState(device.OpenCameraId());
    host_.DownloadStarted();
    scope.Section((Logger::CurrentTimeText() + "Start Download\n").c_str());
    device.SetTransportOptions();
    // 0x80 leaves every option bit the function library tests clear.
    device.SetCommandOptions(0x80);
    last_result_ = device.Download();
    outcome.result = last_result_;
    // The flow reads the version back after a good download; the window shows it.
    if (last_result_ == 1) outcome.after = device.Snapshot();
    scope.Section((Logger::CurrentTimeText() + "End Download\n").c_str());
    if (!job.loop_mode) return;
    if (last_result_ != 0 && job.remaining > 0) {
        process_.logger.DebugPrint("Auto next loop text\n");
        process_.clock.sleep_ms(1000);
        host_.NextRound();
    } else if (job.remaining == 0) {
        host_.LoopFinished();
    }
}

}  // namespace orbisk
