// The window as the operator sees it, measured: every control the operator needs lies inside
// the window, none covers another, texts fit their controls, and the rows of loop mode and of
// several cameras are there when needed. ctest runs it at 96, 120 and 144 DPI.
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include "rig.h"
#include "test_classes.h"

namespace orbisk::test {
namespace {

constexpr int kWait = 10000;

const std::vector<const char*> kAlwaysShown = {"1191", "1003", "1030", "1189", "1033", "1016"};
const std::vector<const char*> kLoopRow = {"1071", "1009", "1011"};
const std::vector<const char*> kNeverShown = {"1000", "1001", "1004", "1028",
                                              "1069", "1143", "1137", "1188"};

class LayoutTest : public QObject {
    Q_OBJECT
  private slots:
    void fontDpiIsTheOneAskedFor() {
        DialogRig rig;
        rig.Open();
        const int asked = qEnvironmentVariableIntValue("QT_FONT_DPI");
        if (asked != 0) QCOMPARE(rig.dialog->logicalDpiY(), asked);
    }

    void controlsOnScreen_data() {
        QTest::addColumn<bool>("loop_mode");
        QTest::addColumn<int>("cameras");
        QTest::newRow("one camera") << false << 1;
        QTest::newRow("loop mode") << true << 1;
        QTest::newRow("two cameras") << false << 2;
        QTest::newRow("loop mode, two cameras") << true << 2;
    }
    void controlsOnScreen() {
        QFETCH(bool, loop_mode);
        QFETCH(int, cameras);
        DialogRig rig;
        rig.Set("Loop Test", loop_mode ? 1 : 0);
        for (int i = 0; i < cameras; ++i) {
            auto camera = FakeWorld::Camera(0x6366, static_cast<uint8_t>(2 + i));
            camera.chip_info = 10;  // the chip whose label the old template kept out of sight
            rig.Plug(camera);
        }
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(rig.dialog->findChild<QComboBox*>("1050")->count(), cameras,
                                  kWait);

        std::vector<const char*> shown = kAlwaysShown;
        if (loop_mode) shown.insert(shown.end(), kLoopRow.begin(), kLoopRow.end());
        if (cameras > 1) shown.push_back("1050");
        for (const char* item : shown) QVERIFY2(rig.OnScreen(item), item);
        for (const char* item : kNeverShown)
            QVERIFY2(!rig.dialog->findChild<QWidget*>(item)->isVisible(), item);
        if (!loop_mode) QVERIFY(!rig.OnScreen("1009"));
        if (cameras == 1) QVERIFY(!rig.OnScreen("1050"));

        // No control covers another.
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = i + 1; j < shown.size(); ++j) {
                const QRect a = rig.InWindow(rig.dialog->findChild<QWidget*>(shown[i]));
                const QRect b = rig.InWindow(rig.dialog->findChild<QWidget*>(shown[j]));
                QVERIFY2(!a.intersects(b), (std::string(shown[i]) + " / " + shown[j]).c_str());
            }
        // The selected camera is the one the list shows.
        if (cameras > 1)
            QCOMPARE(rig.dialog->findChild<QComboBox*>("1050")->currentText(),
                     QString("1: VID_0C45&PID_6366&REV_0123"));
    }

    // The texts the window shows fit where they are shown, in the window's own font.
    void textsFit() {
        DialogRig rig;
        rig.Set("Loop Test", 1);
        rig.Plug(FakeWorld::Camera(0x6366, 2));
        rig.Open();
        QTRY_VERIFY_WITH_TIMEOUT(rig.Upgrade()->isEnabled(), kWait);
        auto fits = [&](const char* item, const QString& text) {
            const QLabel* label = rig.Label(item);
            return label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width();
        };
        for (const QString text :
             {"Firmware Upgrading successfully done!", "Stopped: Update Flash Fail!",
              "Not Support! (EEPROM16, PCIE)", "VID_2C7E&PID_6363&REV_0100"})
            QVERIFY2(fits("1033", text), qPrintable(text));
        QVERIFY(fits("1030", "Current FW: 0x00-0000-1060-VID2C7E&&PID6363"));
        for (const QString text : {"PASS", "FAIL", "N/A"}) QVERIFY(fits("1016", text));
        QVERIFY(fits("1011", "Left : 1000000"));
        QVERIFY(fits("1189", "Status: "));
    }

    // A status text longer than the line wraps, and the window grows to hold all of it.
    void longStatusWrapsInsideTheWindow() {
        DialogRig rig;
        auto camera = FakeWorld::Camera(0x6366, 2);
        camera.description =
            "Camera in boot ROM, no recovery record: its serial number cannot be restored";
        rig.Plug(camera);
        rig.Open();
        QTRY_COMPARE_WITH_TIMEOUT(rig.Text("1033"), QString::fromStdString(camera.description),
                                  kWait);
        QVERIFY(rig.Settle());
        const QLabel* status = rig.Label("1033");
        const QRect needed = status->fontMetrics().boundingRect(
            QRect(0, 0, status->contentsRect().width(), 10000), Qt::TextWordWrap, status->text());
        QVERIFY(needed.height() > status->fontMetrics().height());  // it did need two lines
        QVERIFY(needed.height() <= status->contentsRect().height());
        QVERIFY(rig.OnScreen("1033"));
    }

    // The window keeps the template's proportions: about 337 by 65 dialog units without the
    // extra rows, whatever the font.
    void windowSizeFollowsTheFont() {
        DialogRig rig;
        rig.Open();
        const QFontMetrics metrics(rig.dialog->font());
        const double width_units = rig.dialog->width() * 4.0 / metrics.averageCharWidth();
        const double height_units = rig.dialog->height() * 8.0 / metrics.height();
        // Each control's size is rounded to whole pixels on its own: a few units either way.
        QVERIFY2(width_units >= 330 && width_units < 400, qPrintable(QString::number(width_units)));
        QVERIFY2(height_units >= 60 && height_units < 110,
                 qPrintable(QString::number(height_units)));
    }
};

}  // namespace

std::unique_ptr<QObject> MakeLayoutTest() {
    return std::make_unique<LayoutTest>();
}

}  // namespace orbisk::test

#include "layout_tests.moc"
