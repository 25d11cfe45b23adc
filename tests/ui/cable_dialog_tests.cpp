// The program's dialog over camera folders named by ORBISK_SIM, while `orbisk-sim unplug` and
// `orbisk-sim plug` pull and put back their cables from outside.
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "image/demo_image.h"
#include "rig.h"
#include "sim/sim_fixture.h"
#include "sim/sim_store.h"
#include "test_classes.h"
#include "ui/device_stack.h"

namespace orbisk::test {
namespace {

constexpr int kWait = 10000;
const std::string kSimTool = ORBISK_TOOLS_DIR "/orbisk-sim";

// Two cameras running older demo firmware than the image the program carries, on ports 1 and
// 2, and the program's own device stack over them.
struct CableRig : DialogRig {
    std::string first = dir.File("cam1");
    std::string second = dir.File("cam2");
    std::unique_ptr<DeviceStack> stack;

    CableRig() {
        DemoImageRecipe old_firmware;
        old_firmware.version = 0x1050;
        for (const auto& [folder, port] : {std::pair{first, 1}, std::pair{second, 2}}) {
            sim::SimSettings settings = sim::test::AppSettings();
            settings.ports = {static_cast<uint8_t>(port)};
            std::string error;
            if (!sim::WriteCameraFolder(folder, settings, MakeDemoImage(old_firmware), &error))
                qFatal("%s", error.c_str());
        }
        qputenv("ORBISK_SIM", QByteArray::fromStdString(first + ":" + second));
        stack = std::make_unique<DeviceStack>(process, nullptr);
        qunsetenv("ORBISK_SIM");
        DialogServices services;
        services.make_device = stack->Maker();
        services.notifier = stack->notifier();
        services.power = &power;  // no prompter: the program's own message boxes
        dialog = std::make_unique<CTessaly_AllInOne_OvproxyDlg>(process, std::move(services));
        dialog->show();
    }
    ~CableRig() {
        dialog.reset();
        stack.reset();
    }

    // Runs orbisk-sim; its exit code.
    static int Sim(const std::string& command, const std::string& folder) {
        const ProgramRun run = RunProgram({kSimTool, command, folder}, {});
        if (run.exit_code != 0) qWarning("orbisk-sim %s: %s", command.c_str(), run.err.c_str());
        return run.exit_code;
    }
    int Listed() const { return dialog->findChild<QComboBox*>("1050")->count(); }
    // A camera shown and offered, nothing running.
    bool Offered() const {
        return Idle() && Upgrade()->isEnabled() && Text("1033") != "No ZN Camera";
    }
    bool NoCamera() const {
        return Idle() && !Upgrade()->isEnabled() && Text("1033") == "No ZN Camera";
    }
};

class CableDialogTest : public QObject {
    Q_OBJECT
  private slots:
    // The camera not chosen leaves: the list follows and the chosen one stays offered. The
    // chosen one leaves too: no camera. One comes back: offered again.
    void camerasUnpluggedAndPluggedBackWhileTheWindowWaits() {
        CableRig rig;
        QTRY_VERIFY_WITH_TIMEOUT(rig.Offered() && rig.Listed() == 2, kWait);
        QCOMPARE(rig.Sim("unplug", rig.second), 0);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Listed() == 1, kWait);
        QVERIFY(rig.Offered());
        QCOMPARE(rig.Sim("unplug", rig.first), 0);
        QTRY_VERIFY_WITH_TIMEOUT(rig.NoCamera(), kWait);
        QCOMPARE(rig.Text("1030"), QString("Current FW: N/A"));
        QCOMPARE(rig.Sim("plug", rig.second), 0);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Offered(), kWait);
        QCOMPARE(rig.Listed(), 1);
        QCOMPARE(rig.Sim("plug", rig.first), 0);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Listed() == 2, kWait);
        QVERIFY(rig.Offered());
    }

    // The open camera leaves while the warning before the update waits for an answer: the
    // window follows behind the question, and the answer starts nothing on a camera that left.
    void cameraUnpluggedDuringTheWarning_data() {
        QTest::addColumn<bool>("plug_back");
        QTest::newRow("unplugged, answered OK") << false;
        QTest::newRow("unplugged and back, answered OK") << true;
    }
    void cameraUnpluggedDuringTheWarning() {
        QFETCH(bool, plug_back);
        CableRig rig;
        QTRY_VERIFY_WITH_TIMEOUT(rig.Offered(), kWait);
        QVERIFY(rig.Sim("unplug", rig.second) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Listed() == 1, kWait);
        bool asked = false, followed = false, came_back = true;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->text().startsWith("Warning!")) return;
            asked = true;
            rig.Sim("unplug", rig.first);
            followed = QTest::qWaitFor([&] { return rig.NoCamera(); }, kWait);
            if (plug_back) {
                rig.Sim("plug", rig.first);
                came_back = QTest::qWaitFor([&] { return rig.Offered(); }, kWait);
            }
            box->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QVERIFY(asked);
        QVERIFY(followed);
        QVERIFY(came_back);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle(), kWait);
        QVERIFY(!rig.log.Contains("Start Download"));
        QCOMPARE(rig.Text("1016"), QString("N/A"));
        if (plug_back) {
            QVERIFY(rig.Offered());
        } else {
            QVERIFY(rig.NoCamera());
        }
    }
};

}  // namespace

std::unique_ptr<QObject> MakeCableDialogTest() {
    return std::make_unique<CableDialogTest>();
}

}  // namespace orbisk::test

#include "cable_dialog_tests.moc"
