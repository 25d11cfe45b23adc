#include <QSignalSpy>
#include <QTest>

#include "app/orbisk_app.h"
#include "rig.h"
#include "test_classes.h"
#include "ui/crc_thread.h"
#include "ui/wakeup_thread.h"

namespace orbisk::test {
namespace {

constexpr int kWait = 10000;  // upper bound of the polling waits; passing tests return early

class DialogTest : public QObject {
    Q_OBJECT
  private slots:
    void startupWithoutCamera() {
        DialogRig rig;
        rig.Open();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("No ZN Camera"), kWait);
        QCOMPARE(rig.Text("1030"), QString("Current FW: N/A"));
        QCOMPARE(rig.Text("1016"), QString("N/A"));
        QVERIFY(rig.ResultColour().red() > 2 * rig.ResultColour().green());
        QVERIFY(rig.ResultContrast() >= 4.5);
        QVERIFY(!rig.Upgrade()->isEnabled());
        QVERIFY(!rig.Upgrade()->device_present());
        QCOMPARE(rig.dialog->windowTitle(), QString("Zantrel Camera Firmware Update Tool"));
        QCOMPARE(rig.Text("1188"), QString("Fw Version"));
    }

    void startupWithCamera_data() {
        QTest::addColumn<int>("bcd");
        QTest::addColumn<int>("sn_address");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("serial");
        QTest::newRow("version text") << 0 << 0 << "Current FW: 1.02.03"
                                      << "SN0001";
        QTest::newRow("device revision") << 1 << 0x1000 << "Current FW: 0x0123"
                                         << "SN0001-cfg";
    }
    void startupWithCamera() {
        QFETCH(int, bcd);
        QFETCH(int, sn_address);
        DialogRig rig;
        rig.Set("BCDType", bcd);
        rig.Set("SN Address", sn_address);
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTEST(rig.Text("1030"), "version");
        QTEST(rig.Text("1028"), "serial");
        QCOMPARE(rig.Text("1033"), QString("Camera ready"));
        QVERIFY(rig.Upgrade()->raised());
        QCOMPARE(rig.dialog->findChild<QComboBox*>("1050")->currentText(),
                 QString("VID_0C45&PID_6366&REV_0123"));
    }

    void cameraWithoutFittingImageLeavesUpgradeDisabled() {
        DialogRig rig;
        auto camera = FakeWorld::Camera(0x6366, 2);
        camera.fits = false;
        rig.Plug(camera);
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->device_present() && rig.Idle(), kWait);
        QVERIFY(!rig.Upgrade()->isEnabled());
        // It looks disabled too: not the live green, but what a disabled button is filled with.
        QCOMPARE(rig.UpgradeDrawnFill(),
                 rig.Upgrade()->palette().color(QPalette::Disabled, QPalette::Button));
        QVERIFY(!rig.Upgrade()->raised());
    }

    void updatePassWritesResultsAndCloses() {
        DialogRig rig;
        rig.Set("SaveResultToFile", 1);
        rig.Set("LogType", 1);
        const WorkingFolder working(rig.dir.path());  // burn_result.txt lands here
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        // What the operator sees when the window goes.
        QString version_at_close;
        int progress_at_close = -1;
        connect(rig.dialog.get(), &QDialog::finished, this, [&] {
            version_at_close = rig.Text("1030");
            progress_at_close = rig.Progress();
        });
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.UpgradeDrawnFill(), QColor::fromRgb(UpgradeButton::kGreen));
        const uint64_t before = rig.clock.now_ms();
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QVERIFY(rig.ResultColour().green() > 2 * rig.ResultColour().red());
        QVERIFY(rig.ResultContrast() >= 4.5);
        QVERIFY(rig.Label("1016")->font().bold());
        QCOMPARE(rig.Label("1016")->font().pixelSize(), 24);
        QCOMPARE(rig.Text("1033"), QString("Firmware Upgrading successfully done!"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        // The version the camera runs now, and a full bar, until the very end.
        QCOMPARE(version_at_close, QString("Current FW: 2.00.00"));
        QCOMPARE(progress_at_close, 100);
        // Closed by itself one second after PASS, with the status code that makes exit code 0.
        QVERIFY(rig.clock.now_ms() - before >= 1000);
        QCOMPARE(rig.process.status.Code(), 0u);
        QCOMPARE(rig.world.downloads.load(), 1);
        QCOMPARE(rig.world.command_options.load(), 0x80u);
        QCOMPARE(ReadFile(rig.dir.File("Result.txt")), std::string("pass"));
        const std::string burn = ReadFile(rig.dir.File("burn_result.txt"));
        QVERIFY(burn.find("SN0001,") != std::string::npos);
        QVERIFY(burn.find("Pass,    0:\r\n") != std::string::npos);
        QVERIFY(rig.log.Contains("Start Download"));
    }

    void updateFailShowsFailureAndStaysOpen() {
        DialogRig rig;
        rig.Set("SaveResultToFile", 1);
        rig.Set("LogType", 1);
        const WorkingFolder working(rig.dir.path());
        rig.world.download_result = 0;
        rig.world.failure_code = 41709;
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("FAIL"), kWait);
        QVERIFY(rig.ResultColour().red() > 2 * rig.ResultColour().green());
        QVERIFY(rig.ResultContrast() >= 4.5);
        // The refresh after the failure shows the failure text in the status line and gives
        // the buttons back, without starting anything by itself.
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1033"), QString("Compare Data Fail!"));
        QCOMPARE(rig.world.refreshes.load(), 1);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(ReadFile(rig.dir.File("Result.txt")), std::string("fail"));
        // The row carries the failure's code although a progress report came after it.
        QVERIFY(ReadFile(rig.dir.File("burn_result.txt")).find("Fail,    41709:") !=
                std::string::npos);
        QCOMPARE(rig.world.downloads.load(), 1);
        QCOMPARE(rig.dialog->result_state(), 2);
    }

    // During an update the Upgrade button is Stop: live, with that caption. Pressing it asks
    // the flow to stop at its next check; the window says so and waits for the flow's verdict.
    void stopIsTheUpgradeButtonDuringAnUpdate() {
        DialogRig rig;
        rig.world.hold_download = true;
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QVERIFY(rig.world.download_started.WaitFor(kWait));
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("Erasing"), kWait);
        QCOMPARE(rig.Upgrade()->text(), QString("Stop"));
        QVERIFY(rig.Upgrade()->isEnabled());
        QCOMPARE(rig.UpgradeDrawnFill(), QColor::fromRgb(UpgradeButton::kAmber));
        QVERIFY(!rig.dialog->thread_flag().Cancel());

        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QVERIFY(rig.dialog->thread_flag().Cancel());
        QCOMPARE(rig.Text("1033"), QString("Stopping..."));
        QVERIFY(!rig.Upgrade()->isEnabled());     // taken: a second press changes nothing
        QCOMPARE(rig.world.creations.load(), 2);  // no second start re-created the device

        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("FAIL"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Upgrade()->text(), QString("Upgrade"));
        QCOMPARE(rig.Text("1033"), QString("Stopped: Update Flash Fail!"));
        QCOMPARE(rig.world.downloads.load(), 1);
        QVERIFY(!rig.dialog->thread_flag().Cancel());
    }

    void startDuringADeviceSearchWaitsForItWithoutBlocking() {
        DialogRig rig;
        rig.OpenWithTheSearchHeld();
        // The search runs on the worker; Start returns at once and waits for it.
        rig.dialog->OnBnClickedButtonStart();
        QVERIFY(rig.log.Contains("Waiting>>>"));
        QVERIFY(!rig.log.Contains("Waiting<<<"));
        QVERIFY(!rig.dialog->busy());
        QCOMPARE(rig.world.downloads.load(), 0);
        rig.world.hold_download = true;
        rig.world.search_release.Set();
        QTRY_VERIFY_WITH_TIMEOUT(rig.world.download_started.IsSet(), kWait);
        QVERIFY(rig.log.Contains("Waiting<<<"));
        // The automatic start the search's report brings finds the update running: it must
        // not act as Stop.
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.Contains("Automatic start skipped"), kWait);
        QVERIFY(!rig.dialog->thread_flag().Cancel());
        rig.world.release.Set();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QCOMPARE(rig.world.downloads.load(), 1);
    }

    void powerCheck_data() {
        QTest::addColumn<int>("ac");
        QTest::addColumn<int>("battery");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no mains") << 0 << 80 << "Connect the AC adapter to the sytem.";
        QTest::newRow("mains unknown") << 255 << 80 << "Connect the AC adapter to the sytem.";
        QTest::newRow("battery 9 %") << 1 << 9 << "Charge Battery to above 10%.";
        QTest::newRow("battery 10 %") << 1 << 10 << "";
        QTest::newRow("no battery") << 1 << 255 << "";
    }
    void powerCheck() {
        QFETCH(int, ac);
        QFETCH(int, battery);
        QFETCH(QString, refusal);
        DialogRig rig;
        rig.power.Set({static_cast<uint8_t>(ac), static_cast<uint8_t>(battery)});
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        if (refusal.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
            QVERIFY(rig.prompter.messages().empty());
            return;
        }
        const auto messages = rig.prompter.messages();
        QCOMPARE(messages.size(), size_t{1});
        const std::string expected =
            "Error|This process requires power to avoid an accidental power-off during an "
            "Update.\n" +
            refusal.toStdString();
        QCOMPARE(messages[0], expected);
        QVERIFY(rig.prompter.confirmations().empty());
        QVERIFY(rig.Idle());
        QVERIFY(rig.Upgrade()->isEnabled());
        QCOMPARE(rig.Text("1033"), QString("Camera ready"));
        QVERIFY(rig.Settle());
        QCOMPARE(rig.world.downloads.load(), 0);
    }

    // Cancel at the warning: nothing posted, nothing written, the status line as before (it
    // never claimed a download was beginning), the last verdict file left alone.
    void declinedWarningPostsNothing() {
        DialogRig rig;
        rig.Set("Loop Test", 1);
        rig.Set("SaveResultToFile", 1);
        WriteFile(rig.dir.File("Result.txt"), "pass");
        rig.prompter.confirm = false;
        QString status_while_asked;
        rig.prompter.while_open = [&](const std::string&) {
            status_while_asked = rig.Text("1033");
        };
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        rig.dialog->findChild<QLineEdit*>("1009")->setText("3");
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QCOMPARE(rig.prompter.confirmations(),
                 std::vector<std::string>{"Warning!\nDo you Want to continue to Update?"});
        QCOMPARE(status_while_asked, QString("Camera ready"));
        QVERIFY(rig.Idle());
        QVERIFY(rig.Upgrade()->isEnabled());
        QCOMPARE(rig.Text("1033"), QString("Camera ready"));
        QCOMPARE(rig.Text("1009"), QString("3"));  // no round was used up
        QVERIFY(rig.Settle());
        QCOMPARE(rig.world.downloads.load(), 0);
        QCOMPARE(ReadFile(rig.dir.File("Result.txt")), std::string("pass"));
    }

    void autoRunStartsOnceAfterItsDelay() {
        DialogRig rig;
        rig.Set("AutoRun", 1);
        rig.Set("AutoRunDelay", 3000);
        rig.world.download_result = 0;  // stays open, so later reports could start it again
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("FAIL"), kWait);
        QVERIFY(rig.clock.now_ms() >= 3000);
        QVERIFY(rig.log.Contains("Waiting>>>"));
        QVERIFY(rig.log.Contains("Waiting<<<"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle(), kWait);
        // A new camera arriving brings a fresh device report: no second automatic start.
        rig.notifier.Push({DeviceChangeKind::kArrival, true,
                           CameraInterfaceName(FakeWorld::Camera(0x6367, 3).usb)});
        QTRY_COMPARE_WITH_TIMEOUT(rig.world.refreshes.load(), 2, kWait);
        QVERIFY(rig.Settle());
        QCOMPARE(rig.world.downloads.load(), 1);
        QVERIFY(!rig.dialog->auto_run());
    }

    void loopModeCountsDownAndClosesAfterTheLastRound() {
        DialogRig rig;
        rig.Set("Loop Test", 1);
        rig.Set("SaveResultToFile", 1);
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QVERIFY(rig.dialog->findChild<QLineEdit*>("1009")->isVisibleTo(rig.dialog.get()));
        int downloads_at_close = -1;
        connect(rig.dialog.get(), &QDialog::finished, this,
                [&] { downloads_at_close = rig.world.downloads.load(); });
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        rig.dialog->findChild<QLineEdit*>("1009")->setText("3");
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(downloads_at_close, 3, kWait);
        QCOMPARE(rig.Text("1011"), QString("Left : 0"));
        QCOMPARE(rig.dialog->loop_count(), 0);
        QCOMPARE(rig.process.status.Code(), 0u);  // a passed loop ends with exit code 0
        QCOMPARE(ReadFile(rig.dir.File("Result.txt")), std::string("pass"));
        QVERIFY(rig.clock.now_ms() >= 2000);  // a second's pause before each next round
    }

    void passPhrase_data() {
        QTest::addColumn<int>("programmed");
        QTest::addColumn<QString>("typed");  // "<cancel>" for Cancel
        QTest::addColumn<int>("asks");
        QTest::addColumn<int>("downloads");
        QTest::addColumn<QString>("message");
        QTest::newRow("right") << 1 << "Secret-1" << 1 << 1 << "";
        QTest::newRow("wrong case")
            << 1 << "secret-1" << 1 << 0 << "密碼輸入錯誤.(請注意大小字母會有差異)";
        QTest::newRow("cancelled") << 1 << "<cancel>" << 1 << 0 << "請輸入正確密碼才可進行二次烧录";
        QTest::newRow("OTP still empty") << 0 << "<cancel>" << 0 << 1 << "";
    }
    void passPhrase() {
        QFETCH(int, programmed);
        QFETCH(QString, typed);
        QFETCH(int, downloads);
        QFETCH(QString, message);
        DialogRig rig;
        rig.SetText("OTP Password", "Secret-1");
        if (typed != "<cancel>") rig.prompter.pass_phrase = typed.toStdString();
        auto camera = FakeWorld::Camera(0x6366, 2);
        camera.otp_programmed = programmed;
        rig.Plug(camera);
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTEST(rig.prompter.pass_phrase_asks, "asks");
        if (downloads == 1) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
            QVERIFY(rig.prompter.messages().empty());
        } else {
            QCOMPARE(rig.prompter.messages(),
                     std::vector<std::string>{"Tessaly_AllInOne|" + message.toStdString()});
            QVERIFY(rig.Idle());
            QVERIFY(rig.Settle());
        }
        QCOMPARE(rig.world.downloads.load(), downloads);
    }

    void cameraArrivalAndRemoval() {
        DialogRig rig;
        rig.Open();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("No ZN Camera"), kWait);
        const auto first = FakeWorld::Camera(0x6366, 2);
        const auto other = FakeWorld::Camera(0x6367, 3);

        // Arrival: Condition4 refreshes the list and the camera shows up.
        rig.Plug(first);
        rig.notifier.Push({DeviceChangeKind::kNodesChanged, false, {}});
        rig.notifier.Push({DeviceChangeKind::kArrival, true, CameraInterfaceName(first.usb)});
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1030"), QString("Current FW: 1.02.03"));
        QVERIFY(rig.log.Contains("Condition4"));

        // Another camera leaving while idle still refreshes the list (Condition3).
        rig.notifier.Push({DeviceChangeKind::kRemoval, true, CameraInterfaceName(other.usb)});
        QTRY_COMPARE_WITH_TIMEOUT(rig.world.refreshes.load(), 2, kWait);
        QVERIFY(rig.log.Contains("Condition3"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle(), kWait);

        // Devices that are not cameras are ignored.
        rig.notifier.Push({DeviceChangeKind::kRemoval, false, CameraInterfaceName(other.usb)});
        rig.notifier.Push({DeviceChangeKind::kArrival, false, CameraInterfaceName(other.usb)});
        QVERIFY(rig.SettleNotices());
        QCOMPARE(rig.world.refreshes.load(), 2);

        // The open camera leaving during an update: the device layer hears it is gone.
        rig.world.hold_download = true;
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QVERIFY(rig.world.download_started.WaitFor(kWait));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.dialog->open_camera_id().empty(), kWait);
        rig.notifier.Push({DeviceChangeKind::kRemoval, true, CameraInterfaceName(first.usb)});
        QTRY_COMPARE_WITH_TIMEOUT(rig.world.gone_marks.load(), 1, kWait);
        QVERIFY(rig.log.Contains("Condition1"));
        QCOMPARE(rig.world.refreshes.load(), 2);
        rig.world.release.Set();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
    }

    // Two cameras: the list is there, numbered, and says which one Upgrade writes; the
    // operator's choice (by keyboard) is applied by the worker before Upgrade is live again.
    void choosingAnotherCameraInTheList() {
        DialogRig rig;
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        auto second = FakeWorld::Camera(0x6367, 3);
        second.version = "2.00.00";
        rig.Plug(second);
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        auto* list = rig.dialog->findChild<QComboBox*>("1050");
        QCOMPARE(list->count(), 2);
        QVERIFY(list->isVisible());
        QCOMPARE(list->currentText(), QString("1: VID_0C45&PID_6366&REV_0123"));
        QCOMPARE(rig.Text("1030"), QString("Current FW: 1.02.03"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(!rig.Upgrade()->isEnabled());  // busy until the worker has applied it
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1030"), QString("Current FW: 2.00.00"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(list->currentText(), QString("2: VID_0C45&PID_6367&REV_0123"));
    }

    void closingDuringAnUpdateStopsItAndEndsAfterTheWorker() {
        DialogRig rig;
        rig.world.hold_download = true;
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QVERIFY(rig.world.download_started.WaitFor(kWait));
        rig.dialog->close();  // the close box
        QVERIFY(rig.dialog->closing());
        QVERIFY(rig.dialog->thread_flag().Cancel());
        // The window ends only after the worker has returned from the update and ended.
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QCOMPARE(rig.world.downloads.load(), 1);
        QCOMPARE(rig.process.status.Code(), 41706u);  // the stopped update's failure: exit 1
    }

    void wakeUpThreadRunsWithRtd3AndDoesNotHoldUpTheClose_data() {
        QTest::addColumn<bool>("usb_endpoint");
        QTest::newRow("USB capture device") << true;
        QTest::newRow("none") << false;
    }
    void wakeUpThreadRunsWithRtd3AndDoesNotHoldUpTheClose() {
        QFETCH(bool, usb_endpoint);
        DialogRig rig;
        rig.Set("RTD3", 1);
        if (usb_endpoint) rig.audio.endpoints = {{"hw:1,0", "USB Audio (Camera)"}};
        rig.Open();
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QVERIFY(rig.dialog->wakeup_thread() != nullptr);
        if (usb_endpoint) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->wakeup_thread()->bursts() > 0, kWait);
        } else {
            QVERIFY(rig.dialog->wakeup_thread()->done().WaitFor(kWait));
        }
        rig.dialog->CloseDialog();
        QVERIFY(rig.dialog->wakeup_thread()->done().IsSet());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
    }

    void fatalErrorBoxDisablesEverything() {
        DialogRig rig;
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        rig.process.Report(kReportErrorBox, 41501);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages().size(), size_t{1}, kWait);
        QCOMPARE(rig.prompter.messages()[0], std::string("Tessaly_AllInOne|Load ORV Lib Fail!"));
        QVERIFY(!rig.Upgrade()->isEnabled());
        // A later device report does not give the buttons back.
        rig.process.Report(kReportDeviceInfo, 41906);
        QVERIFY(rig.Settle());
        QVERIFY(!rig.Upgrade()->isEnabled());
    }

    // The box of a fatal error runs its own event loop: the window is disabled before it
    // opens, and what arrives meanwhile (here the search's report, whose auto-run start
    // follows) starts nothing.
    void fatalErrorBoxSetsTheStateBeforeItShows() {
        DialogRig rig;
        rig.OpenWithTheSearchHeld();
        bool busy_while_open = false;
        rig.prompter.while_open = [&](const std::string& text) {
            if (text != "Load ORV Lib Fail!") return;
            busy_while_open = rig.dialog->busy() && !rig.Upgrade()->isEnabled();
            rig.world.search_release.Set();
            QVERIFY(QTest::qWaitFor([&] { return rig.dialog->device_present(); }, kWait));
        };
        rig.process.Report(kReportErrorBox, 41501);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages().size(), size_t{1}, kWait);
        QVERIFY(busy_while_open);
        QVERIFY(rig.Settle());
        QVERIFY(rig.Settle());  // a start would have been posted by the last round
        QVERIFY(rig.prompter.confirmations().empty());
        QCOMPARE(rig.world.downloads.load(), 0);
        QVERIFY(!rig.Upgrade()->isEnabled());
    }

    // A camera whose memory type this build has no class for: Upgrade says so and keeps the
    // device object it has, so the next camera is found and updated as usual.
    void unsupportedMemoryTypeThenASupportedCamera() {
        DialogRig rig;
        auto mtp = FakeWorld::Camera(0x6366, 2);
        mtp.project_type = 4;
        const auto flash = FakeWorld::Camera(0x6367, 3);
        rig.Plug(mtp);
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QCOMPARE(rig.Text("1033"), QString("Not Support! (MTP)"));
        QVERIFY(!rig.Upgrade()->isEnabled());
        QVERIFY(rig.prompter.confirmations().empty());
        QCOMPARE(rig.process.status.Code(), 41500u);
        QVERIFY(rig.dialog->device() != nullptr);

        {
            std::lock_guard lock(rig.world.mutex);
            rig.world.cameras = {flash};
        }
        rig.notifier.Push({DeviceChangeKind::kRemoval, true, CameraInterfaceName(mtp.usb)});
        rig.notifier.Push({DeviceChangeKind::kArrival, true, CameraInterfaceName(flash.usb)});
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1033"), QString("Camera ready"));
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QCOMPARE(rig.world.downloads.load(), 1);
    }

    // A worker stuck in a device call that ignores the stop request: the window still ends
    // within the close limit, and says the worker has not.
    void closingIsBoundedWhenTheWorkerDoesNotReturn() {
        DialogRig rig;
        rig.world.hold_download = true;
        rig.world.ignore_cancel = true;
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        rig.dialog->SetCloseWaitLimit(200);
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QVERIFY(rig.world.download_started.WaitFor(kWait));
        rig.dialog->close();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QVERIFY(rig.log.Contains("The worker did not end in time"));
        QVERIFY(!rig.dialog->WaitForThreads());
        rig.world.release.Set();
        QVERIFY(QTest::qWaitFor([&] { return rig.dialog->WaitForThreads(); }, kWait) ||
                rig.dialog->WaitForThreads());
    }

    void reportKinds() {
        DialogRig rig;
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        rig.process.Report(kReportProgress, 42);
        rig.process.Report(kReportStepText, 41722);
        rig.process.Report(kReportFlag, 7);
        rig.process.Report(kReport1055, 0);
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialog->findChild<QProgressBar*>("1191")->value(), 42, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("Verify"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialog->device_flag(), 1u, kWait);
        // A step report without text keeps the line.
        rig.process.Report(kReportStepText, 0);
        QVERIFY(rig.Settle());
        QCOMPARE(rig.Text("1033"), QString("Verify"));
    }

    void getVersionWaitsForTheCameraToComeBack() {
        DialogRig rig;
        const auto camera = FakeWorld::Camera(0x6366, 2);
        rig.Plug(camera);
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        rig.dialog->OnBnClickedGetVersion();
        QVERIFY(rig.dialog->version_pending());
        QVERIFY(!rig.Upgrade()->isEnabled());
        rig.notifier.Push({DeviceChangeKind::kArrival, true, CameraInterfaceName(camera.usb)});
        QTRY_VERIFY_WITH_TIMEOUT(!rig.dialog->version_pending(), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);

        // The camera is gone before the request opens it: nothing resets, so nothing arrives;
        // the window stops waiting and shows what is there.
        {
            std::lock_guard lock(rig.world.mutex);
            rig.world.cameras.clear();
        }
        rig.dialog->OnBnClickedGetVersion();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("No ZN Camera"), kWait);
        QVERIFY(!rig.dialog->version_pending());
    }

    void bridgeUpdateKeepsTheReservedTailAndAsksForTheCrc() {
        DialogRig rig;
        rig.world.classes.insert(5);
        rig.Set("MIPI Reserve", 2);
        rig.world.image.assign(33 * 4096, 0x11);
        rig.world.reserved.assign(31 * 4096, 0x22);
        auto bridge = FakeWorld::Camera(0x6366, 2);
        bridge.project_type = 5;
        rig.Plug(bridge);
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        const auto copy = rig.dialog->image_copy();
        QCOMPARE(copy->size(), size_t{33 * 4096});
        QCOMPARE((*copy)[4095], uint8_t{0x11});
        QCOMPARE((*copy)[4096], uint8_t{0x22});
        QCOMPARE(rig.world.image, *copy);
        auto* device = dynamic_cast<FakeDevice*>(rig.dialog->device());
        uint32_t crc = 0;
        QVERIFY(device->crc_source(kWait, &crc));
        QCOMPARE(crc, Crc32Mpeg2(copy->data(), copy->size()));
    }

    // The whole program path: start-up, the dialog starting by itself, PASS, exit code 0.
    void programExitsWithZeroAfterAnAutomaticPass() {
        TempDir home;
        WriteFile(home.File("config.ini"), "[Orbisk Config]\r\nAutoRun=1\r\n");
        qputenv("ORBISK_HOME", QByteArray::fromStdString(home.path()));
        VirtualClock clock;
        COrbiskApp app(clock);
        FakeWorld world;
        world.cameras.push_back(FakeWorld::Camera(0x6366, 2));
        FakePrompter prompter;
        FixedPowerSource power;
        const int exit_code = app.Run({}, [&](COrbiskApp& a) {
            DialogServices services;
            services.make_device = FakeDevice::Maker(a.process(), world);
            services.prompter = &prompter;
            services.power = &power;
            CTessaly_AllInOne_OvproxyDlg dialog(a.process(), std::move(services));
            dialog.exec();
        });
        qunsetenv("ORBISK_HOME");
        QCOMPARE(exit_code, 0);
        QCOMPARE(world.downloads.load(), 1);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeDialogTest() {
    return std::make_unique<DialogTest>();
}

}  // namespace orbisk::test

#include "dialog_tests.moc"
