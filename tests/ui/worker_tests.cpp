#include <QTest>
#include <mutex>

#include "fakes.h"
#include "support/recorders.h"
#include "test_classes.h"
#include "ui/orv_thread.h"

namespace orbisk::test {
namespace {

// Keeps what the worker tells the dialog, in order.
class RecordingHost final : public WorkerHost {
  public:
    void DownloadStarted() override { Add("started"); }
    void NextRound() override { Add("next"); }
    void LoopFinished() override { Add("loop-finished"); }
    void CameraState(const std::string& id) override { Add(id.empty() ? "closed" : "open"); }
    void RequestDone(const RequestOutcome& outcome) override {
        Add(outcome.open_camera_id.empty() ? "closed" : "open");
        Add("done " + std::to_string(outcome.request) + (outcome.opened ? "" : " not opened"));
        std::lock_guard lock(mutex_);
        outcomes_.push_back(outcome);
    }
    std::vector<RequestOutcome> outcomes() const {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    void Add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<RequestOutcome> outcomes_;
};

struct WorkerRig {
    VirtualClock clock;
    RecordingLogSink log;
    Logger logger{clock, &log};
    Process process{clock, logger};
    RecordingStatusSink reports;
    FakeWorld world;
    DeviceListModel list;
    RecordingHost host;
    std::unique_ptr<FakeDevice> device;

    WorkerRig() {
        process.status.SetSink(&reports);
        device = std::make_unique<FakeDevice>(process, world);
        device->AttachDialog(&list, {});
    }
    WorkerJob Job(WorkerRequest request, intptr_t param = 0) {
        WorkerJob job;
        job.request = request;
        job.device = device.get();
        job.param = param;
        return job;
    }
};

constexpr int kWait = 10000;

class WorkerTest : public QObject {
    Q_OBJECT
  private slots:
    void requestsRunOneAtATimeInOrder() {
        WorkerRig rig;
        rig.world.cameras.push_back(FakeWorld::Camera(0x6366, 2));
        rig.world.hold_download = true;
        COrvThread worker(rig.process, rig.host);
        worker.Post(rig.Job(kRequestDefaultCamera));
        worker.Post(rig.Job(kRequestUpdate));
        worker.Post(rig.Job(kRequestCloseCamera));
        worker.Post(rig.Job(kRequestRefreshList, 1));
        worker.PostQuit();
        QVERIFY(rig.world.download_started.WaitFor(kWait));
        // The refresh and the quit wait behind the update the worker is in.
        QCOMPARE(rig.world.refreshes.load(), 0);
        QVERIFY(rig.reports.codes(kReportClose).empty());
        rig.world.release.Set();
        QVERIFY(worker.Wait(kWait));
        QCOMPARE(
            rig.host.events(),
            (std::vector<std::string>{"closed", "done 1080", "open", "started", "open", "done 1073",
                                      "closed", "done 1089", "closed", "done 1084"}));
        QCOMPARE(rig.world.refreshes.load(), 1);
        // The thread's end asks the dialog to close, last of all.
        const auto all = rig.reports.reports();
        QCOMPARE(all.back(), (Report{kReportClose, 0, 0}));
        QCOMPARE(all[all.size() - 2], (Report{kReportDeviceInfo, 41906, 1}));
        QCOMPARE(worker.last_result(), 1);
        // The passed update tells the window what the camera runs now.
        const auto outcomes = rig.host.outcomes();
        QVERIFY(outcomes[1].after.has_value());
        QCOMPARE(outcomes[1].after->firmware_version, std::string("2.00.00"));
    }

    // The chosen camera is gone when the update opens it: the open reports nothing, and the
    // update still ends with a verdict the window acts on.
    void updateWhoseCameraIsGoneEndsWithAFailure() {
        WorkerRig rig;
        rig.world.cameras.push_back(FakeWorld::Camera(0x6366, 2));
        COrvThread worker(rig.process, rig.host);
        worker.Post(rig.Job(kRequestDefaultCamera));
        QTRY_COMPARE_WITH_TIMEOUT(rig.host.events().size(), size_t{2}, kWait);
        rig.world.cameras.clear();
        rig.reports.clear();
        worker.Post(rig.Job(kRequestUpdate));
        worker.PostQuit();
        QVERIFY(worker.Wait(kWait));
        QCOMPARE(rig.host.events(), (std::vector<std::string>{"closed", "done 1080", "closed",
                                                              "done 1073 not opened"}));
        QCOMPARE(rig.reports.codes(kReportFailure), std::vector<uint32_t>{41511});
        QCOMPARE(rig.process.status.Code(), 41511u);
        QVERIFY(!rig.log.Contains("Start Download"));
        QCOMPARE(rig.world.downloads.load(), 0);
    }

    void loopRounds_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QString>("after");  // what follows the update's end
        QTest::newRow("success, rounds left") << 1 << 2 << "next";
        QTest::newRow("failure, rounds left") << 0 << 2 << "";
        QTest::newRow("last round") << 1 << 0 << "loop-finished";
        QTest::newRow("last round failed") << 0 << 0 << "loop-finished";
    }
    void loopRounds() {
        QFETCH(int, result);
        QFETCH(int, remaining);
        QFETCH(QString, after);
        WorkerRig rig;
        rig.world.cameras.push_back(FakeWorld::Camera(0x6366, 2));
        rig.world.download_result = result;
        COrvThread worker(rig.process, rig.host);
        worker.Post(rig.Job(kRequestDefaultCamera));
        auto job = rig.Job(kRequestUpdate);
        job.loop_mode = true;
        job.remaining = remaining;
        const uint64_t before = rig.clock.now_ms();
        worker.Post(job);
        worker.PostQuit();
        QVERIFY(worker.Wait(kWait));
        std::vector<std::string> expected{"closed", "done 1080", "open", "started"};
        if (!after.isEmpty()) expected.push_back(after.toStdString());
        expected.insert(expected.end(), {"open", "done 1073"});
        QCOMPARE(rig.host.events(), expected);
        // The next round is clicked a second after the update returned.
        QCOMPARE(rig.clock.now_ms() - before >= 1000, after == "next");
    }
};

}  // namespace

std::unique_ptr<QObject> MakeWorkerTest() {
    return std::make_unique<WorkerTest>();
}

}  // namespace orbisk::test

#include "worker_tests.moc"
