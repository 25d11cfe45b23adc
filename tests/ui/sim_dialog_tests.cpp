// The dialog over the real device flow, function library and transports, against simulated
// cameras.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_factory.h"
#include "device/device_object.h"
#include "device/recovery_record.h"
#include "fakes.h"
#include "image/demo_image.h"
#include "rig.h"
#include "sim/sim_bus.h"
#include "sim/sim_fixture.h"
#include "sim/sim_store.h"
#include "sim_rig.h"
#include "test_classes.h"
#include "ui/dev_flow_device.h"
#include "ui/device_stack.h"

namespace orbisk::test {
namespace {

constexpr int kWait = 10000;

class SimDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void startupWithoutCamera() {
        SimRig rig;
        rig.OpenOnSim();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("No ZN Camera"), kWait);
        QCOMPARE(rig.Text("1030"), QString("Current FW: N/A"));
        QVERIFY(!rig.Upgrade()->isEnabled());
    }

    void startupWithAMatchingCameraAmongOthers_data() {
        QTest::addColumn<int>("matching_port");
        QTest::newRow("chosen camera listed last") << 2;
        // The search goes on past the chosen camera; what it read of the later one must not
        // show up as the chosen camera's identity.
        QTest::newRow("chosen camera listed first") << 1;
    }
    void startupWithAMatchingCameraAmongOthers() {
        QFETCH(int, matching_port);
        SimRig rig;
        // 0x6363: what the image is for. Each camera has its own serial number.
        rig.Plug(1, matching_port == 1 ? 0x6363 : 0x1111, "SN-PORT1");
        rig.Plug(2, matching_port == 2 ? 0x6363 : 0x1111, "SN-PORT2");
        rig.OpenOnSim();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        auto* list = rig.dialog->findChild<QComboBox*>("1050");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentIndex(), matching_port - 1);
        // Numbered in list order, with the camera's identity.
        QVERIFY(list->currentText().startsWith(
            QString("%1: VID_2C7E&PID_6363&REV_").arg(matching_port)));
        QCOMPARE(rig.Text("1033"), list->currentText().section(": ", 1));
        QVERIFY(rig.Text("1030").startsWith("Current FW: "));
        QCOMPARE(rig.Text("1028"), QString("SN-PORT%1").arg(matching_port));
        QVERIFY(rig.Upgrade()->raised());
    }

    // The start path over the real flow: the device object is re-created with the chosen
    // camera carried over, the carried image is loaded for it, the worker opens the camera on
    // the simulated bus and runs the download slot. The device flow alone has no memory type,
    // so its download ends without a verdict, which the window shows as a failure.
    void startOverTheRealFlowReachesTheDownload() {
        SimRig rig;
        rig.Plug(2, 0x6363);
        rig.OpenOnSim();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("FAIL"), kWait);
        QVERIFY(rig.log.Contains("Start Download"));
        QVERIFY(rig.log.Contains("End Download"));
        QVERIFY(!rig.dialog->image_copy()->empty());
        // The refresh after the failure finds the camera again and gives the buttons back.
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);
    }

    // The whole road: the camera found, Upgrade, the real flash update over the transports,
    // PASS, the program closing itself with status code 0, the new firmware in the camera.
    void updateToPassOnASimulatedCamera() {
        SimRig rig;
        rig.Set("SaveSN", 1);
        rig.Set("SaveResultToFile", 2);
        auto camera = rig.PlugOldDemoCamera(1);
        rig.OpenOnSim(true);
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1028"), QString("SN-CAM-000042"));
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        // The version the camera runs now, in the window's short form.
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1030"), QString("Current FW: 0x00-0000-1060"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QCOMPARE(rig.process.status.Code(), 0u);
        QVERIFY(rig.log.Contains("Start Download"));
        QCOMPARE(ReadDemoVersion(camera->Memory()), std::optional<uint32_t>(0x1060));
        QVERIFY(camera->AppMode());
        QCOMPARE(camera->CurrentIdentity().manufacturer, std::string("SN-CAM-000042"));
        QVERIFY(ReadFile(rig.dir.File("Result.txt"))
                    .rfind("After Download,TestResult = pass, VID is 0x2c7e, PID is 0x6363", 0) ==
                0);
    }

    // Production settings: auto-run starts once by itself; in loop mode each round re-opens
    // the camera after the last round's reset, and the window closes after the last round.
    void unattendedRuns_data() {
        QTest::addColumn<int>("loop_count");  // 0: no loop mode
        QTest::addColumn<int>("rounds");
        QTest::newRow("auto-run") << 0 << 1;
        QTest::newRow("loop of three") << 3 << 3;
    }
    void unattendedRuns() {
        QFETCH(int, loop_count);
        QFETCH(int, rounds);
        SimRig rig;
        if (loop_count == 0) {
            rig.Set("AutoRun", 1);
        } else {
            rig.Set("Loop Test", 1);
        }
        auto camera = rig.PlugOldDemoCamera(1);
        rig.OpenOnSim(true);
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        if (loop_count != 0) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
            rig.dialog->findChild<QLineEdit*>("1009")->setText(QString::number(loop_count));
            QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QCOMPARE(rig.Text("1016"), QString("PASS"));
        QCOMPARE(rig.process.status.Code(), 0u);
        int downloads = 0;
        for (const auto& line : rig.log.lines())
            if (line.find("Start Download\r\n") != std::string::npos) ++downloads;
        QCOMPARE(downloads, rounds);
        QCOMPARE(ReadDemoVersion(camera->Memory()), std::optional<uint32_t>(0x1060));
        if (loop_count != 0) QCOMPARE(rig.Text("1011"), QString("Left : 0"));
    }

    // The program's own stack: the camera folder named by ORBISK_SIM, updated through the
    // dialog and written back with the new firmware.
    void programStackOverACameraFolder() {
        DialogRig rig;
        const std::string folder = rig.dir.File("cam");
        DemoImageRecipe old_firmware;
        old_firmware.version = 0x1050;
        std::string error;
        QVERIFY(sim::WriteCameraFolder(folder, sim::test::AppSettings(),
                                       MakeDemoImage(old_firmware), &error));
        qputenv("ORBISK_SIM", QByteArray::fromStdString(folder));
        {
            DeviceStack stack(rig.process, nullptr);
            QVERIFY(stack.error().empty());
            QVERIFY(stack.notifier() != nullptr);
            DialogServices services;
            services.make_device = stack.Maker();
            services.prompter = &rig.prompter;
            services.power = &rig.power;
            CTessaly_AllInOne_OvproxyDlg dialog(rig.process, std::move(services));
            QSignalSpy finished(&dialog, &QDialog::finished);
            auto* upgrade = dialog.findChild<UpgradeButton*>("1003");
            QTRY_VERIFY_WITH_TIMEOUT(upgrade->isEnabled(), kWait);
            QTest::mouseClick(upgrade, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
            QCOMPARE(rig.process.status.Code(), 0u);
        }
        const auto camera = sim::LoadCameraFolder(folder, rig.clock, &error);
        QVERIFY(camera != nullptr);
        QCOMPARE(ReadDemoVersion(camera->Memory()), std::optional<uint32_t>(0x1060));

        // A folder that is not there: no bus, the reason kept, no camera offered.
        qputenv("ORBISK_SIM", QByteArray::fromStdString(rig.dir.File("missing")));
        DeviceStack missing(rig.process, nullptr);
        QVERIFY(!missing.error().empty());
        QVERIFY(!missing.Maker());
        qunsetenv("ORBISK_SIM");
    }

    // Writes the flash acknowledges but never does: the verification catches them, the window
    // shows FAIL and the failure's text, and stays open.
    void failingUpdateOnASimulatedCamera() {
        SimRig rig;
        rig.Set("LogType", 1);
        // The window shows the USB serial-number string; the row still names the serial number
        // the update carries (the manufacturer string).
        rig.Set("SN Address", 1);
        const WorkingFolder working(rig.dir.path());
        auto camera = rig.PlugOldDemoCamera(1, true);
        rig.OpenOnSim(true);
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("FAIL"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle(), kWait);
        // The verification catches the dropped writes; the refresh after the failure finds the
        // camera again and shows the failure's text.
        QCOMPARE(rig.Text("1033"), QString("Compare Data Fail!"));
        QCOMPARE(finished.count(), 0);
        QVERIFY(rig.Text("1028") != QString("SN-CAM-000042"));
        const std::string row = ReadFile(rig.dir.File("burn_result.txt"));
        QVERIFY2(row.find("SN-CAM-000042,             Fail,    41709:\r\n") != std::string::npos,
                 row.c_str());
        QVERIFY(rig.Upgrade()->isEnabled());
    }

    // A MIPI module: found through its bridge, updated on Upgrade with the image verified by
    // the CRC worker against the bridge's own CRC, the camera's data kept, PASS.
    void updateToPassOnASimulatedMipiModule() {
        SimRig rig;
        rig.Set("MIPI Camera", 1);
        rig.Set("MIPI Reserve", 31);
        rig.Set("CheckVIDPID_BIN", 0);
        std::vector<uint8_t> old_bridge;
        auto camera = rig.PlugMipiModule(1, &old_bridge);
        rig.OpenOnSim(true);
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.dialog->findChild<QComboBox*>("1050")->currentText(), QString("MIPI Camera"));
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QCOMPARE(rig.process.status.Code(), 0u);
        QVERIFY(rig.log.Contains("Finished"));  // the CRC worker computed the image's CRC
        const std::vector<uint8_t> flash = camera->BridgeMemory();
        QCOMPARE(ReadDemoVersion(flash), std::optional<uint32_t>(0x1060));
        QVERIFY(std::equal(flash.begin() + 0x1E000, flash.end(), old_bridge.begin() + 0x1E000));
        // Closed, the camera's bridge is powered down; powered up it starts the new code.
        QCOMPARE(camera->BridgeMode(), 0);
        const uint64_t now = rig.clock.now_us();
        camera->bridge()->SetPowered(now, true);
        QCOMPARE(camera->bridge()->Mode(now + 1000000), 2);
    }

    // A camera an earlier update left in its boot ROM, with its recovery record: the status
    // line says what Upgrade will do, and the update brings it back with its serial number.
    void romCameraWithRecordIsRestored() {
        SimRig rig;
        rig.Set("SaveSN", 1);
        auto camera = rig.PlugRomCamera(1, true);
        rig.OpenOnSim(true);
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1033"),
                 QString("Camera in boot ROM: Upgrade restores it with serial number SN-ROM-0007"));
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QVERIFY(rig.prompter.questions().empty());
        QVERIFY(camera->AppMode());
        QCOMPARE(camera->CurrentIdentity().manufacturer, std::string("SN-ROM-0007"));
        QCOMPARE(ReadDemoVersion(camera->Memory()), std::optional<uint32_t>(0x1060));
        QVERIFY(!FileExists(rig.RecoveryPath(1)));
    }

    // Without a record the operator is asked first, with No as the answer to Enter: the camera
    // is only written on Yes, and then gets the image's own serial number.
    void romCameraWithoutRecordIsWrittenOnlyOnYes() {
        SimRig rig;
        rig.Set("SaveSN", 1);
        auto camera = rig.PlugRomCamera(2, false);
        const auto before = camera->Memory();
        rig.OpenOnSim(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1033"), QString("Camera in boot ROM, no recovery record: its serial "
                                           "number cannot be restored"));
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.questions().size(), size_t{1}, kWait);
        const std::string question = rig.prompter.questions()[0];
        QVERIFY(question.find("VID_2C7E&PID_B016&REV_0100 on port 1-2") != std::string::npos);
        QVERIFY(question.find("serial number cannot be restored") != std::string::npos);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.Text("1016"), QString("N/A"));
        QVERIFY(camera->Memory() == before);

        rig.prompter.answer_yes = true;
        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QVERIFY(camera->AppMode());
        QCOMPARE(camera->CurrentIdentity().manufacturer, std::string("Orbisk"));
    }

    void romCameraThatCannotBeWrittenSaysWhy_data() {
        QTest::addColumn<bool>("damaged_record");  // else a camera of another chip, no record
        QTest::addColumn<QString>("status");
        QTest::newRow("damaged record")
            << true << "Camera in boot ROM: its recovery record is damaged, Upgrade disabled";
        QTest::newRow("another chip")
            << false << "Camera in boot ROM: the firmware is not for it, Upgrade disabled";
    }
    void romCameraThatCannotBeWrittenSaysWhy() {
        QFETCH(bool, damaged_record);
        QFETCH(QString, status);
        SimRig rig;
        rig.PlugRomCamera(1, damaged_record, "SN-ROM-0007", damaged_record ? "ORV6363" : "ORV6521");
        if (damaged_record) {
            // Changed by hand: the check line no longer fits.
            std::string text = ReadFile(rig.RecoveryPath(1));
            text.replace(text.find("SN-ROM"), 6, "SN-XXX");
            WriteFile(rig.RecoveryPath(1), text);
        }
        rig.OpenOnSim(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->device_present() && rig.Idle(), kWait);
        QCOMPARE(rig.Text("1033"), status);
        QVERIFY(!rig.Upgrade()->isEnabled());
    }

    // Settings that do not load: a message box, no camera searched for, Upgrade disabled.
    void unusableSettingsDisableUpgrade() {
        SimRig rig;
        rig.process.setup_error =
            "/x/config.ini: line 2 begins with a character that is not "
            "printable text, so the settings from there on cannot be read";
        rig.PlugOldDemoCamera(1);
        rig.OpenOnSim(true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompter.messages().size(), size_t{1}, kWait);
        QVERIFY(rig.prompter.messages()[0].find("/x/config.ini: line 2") != std::string::npos);
        QCOMPARE(rig.Text("1033"), QString("Settings cannot be used: Upgrade disabled"));
        QVERIFY(!rig.Upgrade()->isEnabled());
        QVERIFY(!rig.dialog->device_present());
        QVERIFY(!rig.log.Contains("CDevFlow::DEV_GetDefaultDeviceForAllInOne"));
    }

    void cameraOfAnotherIdentityIsShownButNotOffered() {
        SimRig rig;
        rig.Plug(1, 0x1111);
        rig.OpenOnSim();
        QTRY_VERIFY_WITH_TIMEOUT(rig.dialog->device_present() && rig.Idle(), kWait);
        QVERIFY(!rig.dialog->firmware_matches());
        QVERIFY(!rig.Upgrade()->isEnabled());
    }

    void arrivalOfASimulatedCameraAndRemovalOfAnother() {
        SimRig rig;
        rig.OpenOnSim();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString("No ZN Camera"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle(), kWait);  // the bus is the worker's while it runs
        rig.Plug(2, 0x6363);
        const auto listed = rig.bus.List();
        QCOMPARE(listed.size(), size_t{1});
        rig.notifier.Push(
            {DeviceChangeKind::kArrival, IsVideoDevice(listed[0]), CameraInterfaceName(listed[0])});
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QVERIFY(rig.log.Contains("Condition4"));

        // Another camera leaving while idle refreshes the list through the real flow, which
        // finds the camera still there and chooses it again.
        auto other = listed[0];
        other.port_chain = {7};
        rig.notifier.Push({DeviceChangeKind::kRemoval, true, CameraInterfaceName(other)});
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.Contains("Condition3"), kWait);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);
        QCOMPARE(rig.dialog->findChild<QComboBox*>("1050")->count(), 1);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeSimDialogTest() {
    return std::make_unique<SimDialogTest>();
}

}  // namespace orbisk::test

#include "sim_dialog_tests.moc"
