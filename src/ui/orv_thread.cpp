#include "ui/orv_thread.h"

#include "base/logger.h"
#include "base/process.h"
#include "ui/dialog_device.h"

namespace orbisk {

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

void COrvThread::Wait() {
    thread_.wait();
}

void COrvThread::Run(const WorkerJob& job) {
    DialogDevice* device = job.device;
    if (device != nullptr) {
        switch (job.request) {
            case kRequestDefaultCamera:
                device->GetDefaultDevice();
                break;
            case kRequestUpdate:
                OnDownload(job);
                break;
            case kRequestGetVersion:
                if (device->OpenForMultiCamera() == 1) device->ResetToRom();
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
        }
        host_.CameraState(device->OpenCameraId());
    }
    host_.RequestDone(job.request);
}

void COrvThread::OnDownload(const WorkerJob& job) {
    LogScope scope(process_.logger, "COrvThread::OnDownload");
    DialogDevice& device = *job.device;
    device.CloseDevice();
    if (device.OpenForMultiCamera() != 1) return;  // the open has reported already
    host_.CameraState(device.OpenCameraId());
    host_.DisableUpgrade();
    scope.Section((Logger::CurrentTimeText() + "Start Download\n").c_str());
    device.SetTransportOptions();
    // 0x80 leaves every option bit the function library tests clear.
    device.SetCommandOptions(0x80);
    last_result_ = device.Download();
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
