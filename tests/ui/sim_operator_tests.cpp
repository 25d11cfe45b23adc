// The dialog as an operator uses it, clicking its controls, against simulated cameras: a
// camera pulled while the warning is open, two cameras, Stop during the write, and the same
// update under the virtual and the real clock.
#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

#include "base/clock.h"
#include "base/status_codes.h"
#include "fakes.h"
#include "image/demo_image.h"
#include "rig.h"
#include "sim/sim_store.h"
#include "sim_rig.h"
#include "test_classes.h"
#include "ui/device_stack.h"

namespace orbisk::test {
namespace {

constexpr int kWait = 10000;

// Passes every report on to the window, but holds the reporting thread (the worker) at the
// first progress report of the write, until the test lets it go.
class WriteGate final : public StatusSink {
  public:
    void Attach(StatusReporter& status) {
        next_ = status.sink();
        status.SetSink(this);
    }
    void Post(uint32_t kind, uint32_t code, intptr_t extra) override {
        if (kind == kReportStepText) writing_ = code == kStatusStepDownload;
        if (kind == kReportProgress && writing_ && !reached.IsSet()) {
            reached.Set();
            release.WaitFor(kWait);
        }
        next_->Post(kind, code, extra);
    }
    ManualEvent reached;
    ManualEvent release;

  private:
    StatusSink* next_ = nullptr;
    bool writing_ = false;
};

class SimOperatorTest : public QObject {
    Q_OBJECT
  private slots:
    // The camera is pulled while the operator reads the warning, and its removal notice comes
    // too late to drop the start. The update finds nothing to open and says so, and the window
    // goes on: the next camera plugged in is found and updated.
    void cameraPulledWhileTheWarningIsOpen() {
        SimRig rig;
        rig.Set("SaveResultToFile", 1);
        auto first = rig.PlugOldDemoCamera(1);
        rig.OpenOnSim(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        rig.prompter.while_open = [&](const std::string& text) {
            if (text.rfind("Warning!", 0) == 0) rig.Unplug(first);
        };
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        // The failure is recorded, and the refresh after it shows that no camera is there.
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.Contains("OnDownloadFail"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("No ZN Camera"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle(), kWait);
        QVERIFY(!rig.dialog->busy());
        QCOMPARE(ReadFile(rig.dir.File("Result.txt")), std::string("fail"));
        QCOMPARE(rig.process.status.Code(), 41511u);
        QCOMPARE(ReadDemoVersion(first->Memory()), std::optional<uint32_t>(0x1050));

        rig.prompter.while_open = nullptr;
        QVERIFY(rig.Settle());
        auto second = rig.PlugOldDemoCamera(2, false, "SN-CAM-000043");
        rig.notifier.Push(
            {DeviceChangeKind::kArrival, true, CameraInterfaceName(rig.bus.List().at(0))});
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1028"), QString("SN-CAM-000043"));
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(ReadDemoVersion(second->Memory()),
                                  std::optional<uint32_t>(0x1060), kWait);
    }

    // Two cameras of one model: the list is on screen and says which one Upgrade writes; the
    // one the operator picks is the one written, and the other is left as it was.
    void twoCamerasTheChosenOneIsUpdated() {
        SimRig rig;
        rig.Set("SaveSN", 1);
        auto first = rig.PlugOldDemoCamera(1, false, "SN-CAM-000042");
        auto second = rig.PlugOldDemoCamera(2, false, "SN-CAM-000043");
        rig.OpenOnSim(true);
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        auto* list = rig.dialog->findChild<QComboBox*>("1050");
        QVERIFY(rig.OnScreen("1050"));
        QCOMPARE(list->count(), 2);
        QVERIFY(list->currentText().startsWith("1: VID_2C7E&PID_6363"));
        QCOMPARE(rig.Text("1028"), QString("SN-CAM-000042"));

        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QVERIFY(list->currentText().startsWith("2: VID_2C7E&PID_6363"));
        QCOMPARE(rig.Text("1028"), QString("SN-CAM-000043"));
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QCOMPARE(rig.Text("1016"), QString("PASS"));
        QCOMPARE(ReadDemoVersion(second->Memory()), std::optional<uint32_t>(0x1060));
        QCOMPARE(second->CurrentIdentity().manufacturer, std::string("SN-CAM-000043"));
        QCOMPARE(ReadDemoVersion(first->Memory()), std::optional<uint32_t>(0x1050));
    }

    // Stop pressed while the flash is being written: the flow stops at its next check and
    // reports, the window shows it stopped and gives the buttons back. The camera, left in its
    // boot ROM without a tag, is brought back by the next Upgrade with its serial number.
    void stopDuringTheWriteThenARecovery() {
        WriteGate gate;
        SimRig rig;
        rig.Set("SaveSN", 1);
        auto camera = rig.PlugOldDemoCamera(1);
        rig.OpenOnSim(true);
        gate.Attach(rig.process.status);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(gate.reached.IsSet(), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Upgrade()->text(), QString("Stop"), kWait);
        QVERIFY(rig.Upgrade()->isEnabled());
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QCOMPARE(rig.Text("1033"), QString("Stopping..."));
        gate.release.Set();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("FAIL"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle(), kWait);
        QVERIFY(rig.Text("1033").startsWith("Stopped: "));
        QCOMPARE(rig.Upgrade()->text(), QString("Upgrade"));
        QVERIFY(rig.log.Contains("Stop requested"));
        // Stopped inside the write: the tag, written last, is not there, nor is the end of the
        // image; the camera runs its boot ROM and its recovery record is kept.
        const auto memory = camera->Memory();
        QCOMPARE(memory[DemoLayout::kTagAddress], uint8_t{0xFF});
        QCOMPARE(memory[DemoLayout::kTagAddress + 1], uint8_t{0xFF});
        QCOMPARE(memory[DemoLayout::kConfigAddress], uint8_t{0xFF});
        QVERIFY(!camera->AppMode());
        QVERIFY(FileExists(rig.RecoveryPath(1)));

        // The recovery: Upgrade on the camera in its boot ROM.
        QVERIFY(rig.Upgrade()->isEnabled());
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QCOMPARE(rig.Text("1016"), QString("PASS"));
        QVERIFY(camera->AppMode());
        QCOMPARE(ReadDemoVersion(camera->Memory()), std::optional<uint32_t>(0x1060));
        QCOMPARE(camera->CurrentIdentity().manufacturer, std::string("SN-CAM-000042"));
        QVERIFY(!FileExists(rig.RecoveryPath(1)));
        rig.dialog.reset();  // nothing reports through the gate any more
    }

    // The program's own device stack, with its device watch, over a camera folder: the same
    // update passes on the virtual clock and on the real one.
    void sameVerdictUnderBothClocks_data() {
        QTest::addColumn<bool>("virtual_clock");
        QTest::newRow("virtual clock") << true;
        QTest::newRow("real clock") << false;
    }
    void sameVerdictUnderBothClocks() {
        QFETCH(bool, virtual_clock);
        VirtualClock virtual_time;
        SystemClock real_time;
        Clock& clock = virtual_clock ? static_cast<Clock&>(virtual_time) : real_time;
        RecordingLogSink log;
        Logger logger(clock, &log);
        Process process(clock, logger);
        TempDir dir;
        process.program_folder = dir.path();
        FakePrompter prompter;
        FixedPowerSource power{{PowerStatus::kAcOnline, 80}};

        // Little charged time, so that the real clock's update is short; the camera still
        // leaves the bus and comes back at each reset.
        sim::SimSettings settings = sim::test::AppSettings();
        settings.timing = {0, 0, 0, 0, 0, 0, 30};
        DemoImageRecipe old_firmware;
        old_firmware.version = 0x1050;
        const std::string folder = dir.File("cam");
        std::string error;
        QVERIFY(sim::WriteCameraFolder(folder, settings, MakeDemoImage(old_firmware), &error));
        qputenv("ORBISK_SIM", QByteArray::fromStdString(folder));
        QString verdict;
        {
            DeviceStack stack(process, nullptr);
            QVERIFY(stack.notifier() != nullptr);
            DialogServices services;
            services.make_device = stack.Maker();
            services.notifier = stack.notifier();
            services.prompter = &prompter;
            services.power = &power;
            CTessaly_AllInOne_OvproxyDlg dialog(process, std::move(services));
            dialog.show();
            auto* upgrade = dialog.findChild<UpgradeButton*>("1003");
            auto* result = dialog.findChild<QLabel*>("1016");
            QTRY_VERIFY_WITH_TIMEOUT(upgrade->isEnabled(), kWait);
            QTest::mouseClick(upgrade, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(result->text() != "N/A", 60000);
            verdict = result->text();
        }
        qunsetenv("ORBISK_SIM");
        QCOMPARE(verdict, QString("PASS"));
        const auto camera = sim::LoadCameraFolder(folder, clock, &error);
        QVERIFY(camera != nullptr);
        QCOMPARE(ReadDemoVersion(camera->Memory()), std::optional<uint32_t>(0x1060));
    }
};

}  // namespace

std::unique_ptr<QObject> MakeSimOperatorTest() {
    return std::make_unique<SimOperatorTest>();
}

}  // namespace orbisk::test

#include "sim_operator_tests.moc"
