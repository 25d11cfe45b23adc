#pragma once
#include <QThread>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/dialog_device.h"

namespace orbisk {

struct Process;

// Requests the dialog posts to the worker.
enum WorkerRequest : int {
    // Not one of the numbered requests of old: the search the dialog runs when it opens,
    // moved off the window's thread.
    kRequestDefaultCamera = 1080,
    kRequestUpdate = 1073,
    kRequestGetVersion = 1082,
    kRequestRefreshList = 1084,
    kRequestApplySelection = 1085,
    kRequestCloseCamera = 1089,
    // Runs nothing: its end tells the window that every request posted before it has ended.
    kRequestMarker = 1,
};

// One request with everything the worker needs; values are copied when it is posted, so the
// worker never reads the dialog's fields.
struct WorkerJob {
    WorkerRequest request = kRequestRefreshList;
    DialogDevice* device = nullptr;
    intptr_t param = 0;      // flag of a list refresh, entry of a selection
    std::string label;       // text of the selected entry
    bool loop_mode = false;  // update: "Loop Test"
    int32_t remaining = 0;   // update: rounds left after this one
};

// How a request ended: the report every request sends the window last, whatever the device
// layers returned or reported, so the window's state never waits for a report that may not come.
struct RequestOutcome {
    WorkerRequest request = kRequestMarker;
    // Update and get version: the camera could be opened.
    bool opened = true;
    // Update: the download slot's result (1 success).
    int result = 0;
    // Update that passed: the device object's texts after it, with the version now running.
    std::optional<DeviceSnapshot> after;
    // The open camera (CameraInstanceId form); empty when none is open.
    std::string open_camera_id;
};

// What the worker tells the dialog besides status reports. Called on the worker thread; the
// dialog's implementation posts each call to its own thread.
class WorkerHost {
  public:
    virtual ~WorkerHost() = default;
    // The camera of an update is open and the download starts.
    virtual void DownloadStarted() = 0;
    // A loop round passed and more remain: click Upgrade again.
    virtual void NextRound() = 0;
    // The last loop round ended: show "Left : 0" and refresh.
    virtual void LoopFinished() = 0;
    // After every request: the open camera (empty when none is open).
    virtual void CameraState(const std::string& open_camera_id) = 0;
    virtual void RequestDone(const RequestOutcome& outcome) = 0;
};

// The download worker: a thread with its own event loop that runs the posted requests one at
// a time, in the order they were posted.
class COrvThread {
  public:
    COrvThread(Process& process, WorkerHost& host);
    ~COrvThread();
    COrvThread(const COrvThread&) = delete;
    COrvThread& operator=(const COrvThread&) = delete;

    void Post(const WorkerJob& job);
    // Ends the thread after the requests posted before; its end reports the close kind.
    void PostQuit();
    bool quitting() const { return quitting_; }
    // Blocks until the thread has ended (after PostQuit), at most timeout_ms; true when it has.
    bool Wait(unsigned long timeout_ms);
    // Result of the last update (non-zero = success).
    int last_result() const { return last_result_; }

  private:
    void Run(const WorkerJob& job);
    void OnDownload(const WorkerJob& job, RequestOutcome& outcome);

    Process& process_;
    WorkerHost& host_;
    QThread thread_;
    QObject* context_;
    std::atomic<bool> quitting_{false};
    std::atomic<int> last_result_{0};
};

}  // namespace orbisk
