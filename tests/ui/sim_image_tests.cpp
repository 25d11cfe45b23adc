// "Open image..." of the dialog's menu against simulated cameras: the image file is checked
// against the camera as soon as it is chosen, and Upgrade writes it, an OTP camera included.
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "image/otp_demo_image.h"
#include "sim/sim_otp.h"
#include "sim_rig.h"
#include "support/otp_dead_blocks.h"
#include "test_classes.h"

namespace orbisk::test {
namespace {

constexpr int kWait = 10000;

// Opens the window's menu as a right click does and picks the entry `action` from it.
void PickFromMenu(QWidget* window, const char* action) {
    bool picked = false;
    QTimer::singleShot(0, window, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* entry = menu ? menu->findChild<QAction*>(action) : nullptr;
        if (entry == nullptr || !entry->isEnabled()) {
            if (menu) menu->close();
            return;
        }
        menu->setActiveAction(entry);
        QTest::keyClick(menu, Qt::Key_Return);
        picked = true;
    });
    const QPoint inside(10, 10);
    QContextMenuEvent click(QContextMenuEvent::Mouse, inside, window->mapToGlobal(inside));
    QApplication::sendEvent(window, &click);
    QVERIFY2(picked, action);
}

// The demo OTP firmware of version `version` with the serial number `serial`.
std::vector<uint8_t> OtpFirmware(uint32_t version, const std::string& serial) {
    DemoImageSpec recipe;
    recipe.version = version;
    recipe.rev = static_cast<uint16_t>(version);
    recipe.manufacturer = serial;
    return MakeOtpDemoImage(recipe, 600);
}

// An OTP camera whose memory is nearly used up: the blocks the factory wrote, then the dead
// blocks of earlier failed writes behind them.
std::shared_ptr<sim::SimCamera> PlugNearlyFullOtpCamera(SimRig& rig, const std::string& serial,
                                                        uint32_t* used) {
    std::string error;
    const std::vector<uint8_t> otp =
        WithDeadOtpBlocks(sim::LayOutOtpImage(OtpFirmware(0x1050, serial), &error), used);
    sim::SimSettings settings;
    settings.profile = "ORV6099";
    settings.memory = sim::MemoryKind::kOtp;
    settings.app_mode = true;
    settings.ports = {1};
    auto camera = std::make_shared<sim::SimCamera>(settings, otp, rig.clock);
    rig.camera_slots[camera.get()] = rig.bus.AddCamera(camera);
    return camera;
}

std::string SaveImage(const SimRig& rig, const std::string& name,
                      const std::vector<uint8_t>& image) {
    const std::string path = rig.dir.File(name);
    WriteFile(path, std::string(image.begin(), image.end()));
    return path;
}

class SimImageTest : public QObject {
    Q_OBJECT
  private slots:
    // An OTP camera is updated from an image file: the menu entry checks the camera against
    // the file, Upgrade asks for the pass phrase and the two space questions, and the camera
    // runs the new image with its own serial number.
    void otpCameraUpdatedFromAnOpenedImage() {
        SimRig rig;
        rig.Set("SaveSN", 1);
        rig.Set("OTP MP", 0);
        rig.SetText("OTP Password", "otp-secret");
        rig.prompter.pass_phrase = "otp-secret";
        rig.prompter.answer_yes = true;
        uint32_t used = 0;
        auto camera = PlugNearlyFullOtpCamera(rig, "SN-OTP-0042", &used);
        const std::vector<uint8_t> image = OtpFirmware(0x1060, "DEMO0001");
        const std::string file = SaveImage(rig, "otp.rfw", image);
        std::string asked_for;
        rig.choose_image = [&] { return asked_for = file; };
        rig.OpenOnSim(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.dialog->device_present(), kWait);

        PickFromMenu(rig.dialog.get(), "open_image");
        QCOMPARE(asked_for, file);
        QCOMPARE(rig.Text("image"), QString::fromStdString("Image: " + file));
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);
        // The space the camera has left for this image, in the status line.
        const uint32_t free = 16224 - used;
        const uint32_t times = std::min<uint32_t>(free / static_cast<uint32_t>(image.size()), 4);
        QCOMPARE(rig.Text("1033"),
                 QString::asprintf("Used OTP Space: %0.2f KB Free OTP Space: %0.2f KB Remaining "
                                   "Programmable Times: %u.",
                                   used / 1024.0, free / 1024.0, times));

        QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
        QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
        QCOMPARE(rig.prompter.pass_phrase_asks, 1);
        QCOMPARE(rig.prompter.questions(),
                 (std::vector<std::string>{"OTP Code Size Less than 5K,\nContinue to Update!",
                                           "OTP VD Block Less than 4,\nContinue to Update!"}));
        // The boot ROM finds the new blocks: the new version, the camera's own serial number.
        QVERIFY(camera->AppMode());
        const sim::OtpBoot boot = sim::ReadOtpBoot(camera->Memory());
        QVERIFY(boot.bootable);
        QCOMPARE(boot.facts.version(), uint32_t{0x1060});
        QCOMPARE(camera->CurrentIdentity().manufacturer, std::string("SN-OTP-0042"));
        QVERIFY(!FileExists(rig.RecoveryPath(1)));
    }

    // EEPROM cameras of both write-protect wirings and an MTP camera are updated from an image
    // file through the dialog: PASS, the new image running with the camera's serial number.
    void eepromAndMtpCamerasUpdatedFromAnOpenedImage() {
        struct Kind {
            const char* name;
            sim::MemoryKind memory;
            const char* profile;
            uint8_t chip_model;
            uint8_t config_type;
        } const kinds[] = {
            {"eeprom8", sim::MemoryKind::kEeprom8, "ORV6987", 3, 0x11},
            {"eeprom16", sim::MemoryKind::kEeprom16, "ORV6099", 19, 0x12},
            {"mtp", sim::MemoryKind::kMtp, "ORV6987", 3, 0x40},
        };
        for (const Kind& kind : kinds) {
            SimRig rig;
            rig.Set("SaveSN", 1);
            DemoImageSpec old_recipe;
            old_recipe.version = 0x1050;
            old_recipe.manufacturer = std::string("SN-") + kind.name;
            sim::SimSettings settings;
            settings.profile = kind.profile;
            settings.memory = kind.memory;
            settings.generation = kind.memory == sim::MemoryKind::kMtp
                                      ? sim::Generation::kVendorV2
                                      : sim::Generation::kExtensionUnit;
            settings.app_mode = true;
            settings.ports = {1};
            auto camera = std::make_shared<sim::SimCamera>(
                settings,
                MakeConfigDemoImage(old_recipe, kind.config_type, kind.chip_model, 0x2000),
                rig.clock);
            rig.camera_slots[camera.get()] = rig.bus.AddCamera(camera);
            DemoImageSpec recipe;
            recipe.version = 0x1060;
            const std::string file =
                SaveImage(rig, std::string(kind.name) + ".rfw",
                          MakeConfigDemoImage(recipe, kind.config_type, kind.chip_model, 0x2000));
            rig.choose_image = [&] { return file; };
            rig.OpenOnSim(true);
            QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.dialog->device_present(), kWait);
            PickFromMenu(rig.dialog.get(), "open_image");
            QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);

            QSignalSpy finished(rig.dialog.get(), &QDialog::finished);
            QTest::mouseClick(rig.Upgrade(), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1016"), QString("PASS"), kWait);
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kWait);
            QVERIFY2(camera->AppMode(), kind.name);
            QCOMPARE(camera->Settings().running_version, uint32_t{0x1060});
            QCOMPARE(camera->CurrentIdentity().manufacturer, std::string("SN-") + kind.name);
            QVERIFY(!FileExists(rig.RecoveryPath(1)));
        }
    }

    // A file that is another camera's says why in the status line, and Upgrade stays off; the
    // entry is not offered while the worker runs.
    void imageOfAnotherCameraIsRefusedWithItsReason() {
        SimRig rig;
        auto camera = rig.PlugOldDemoCamera(1);
        DemoImageSpec other;
        other.pid = 0x1234;
        const std::string file = SaveImage(rig, "other.rfw", MakeDemoImage(other));
        rig.choose_image = [&] { return file; };
        rig.OpenOnSim(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.Upgrade()->isEnabled(), kWait);

        PickFromMenu(rig.dialog.get(), "open_image");
        QTRY_VERIFY_WITH_TIMEOUT(rig.Idle() && rig.dialog->device_present(), kWait);
        QCOMPARE(rig.Text("1033"),
                 QString::fromStdString(file + " is the image of VID_2C7E&PID_1234, not of this "
                                               "camera, VID_2C7E&PID_6363"));
        QVERIFY(!rig.Upgrade()->isEnabled());
        QCOMPARE(rig.process.image_file, file);
    }
};

}  // namespace

std::unique_ptr<QObject> MakeSimImageTest() {
    return std::make_unique<SimImageTest>();
}

}  // namespace orbisk::test

#include "sim_image_tests.moc"
