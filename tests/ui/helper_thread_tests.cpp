#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <cstring>

#include "base/clock.h"
#include "base/logger.h"
#include "fakes.h"
#include "support/recorders.h"
#include "test_classes.h"
#include "ui/about_dialog.h"
#include "ui/crc_thread.h"
#include "ui/input_box.h"
#include "ui/wakeup_thread.h"

namespace orbisk::test {
namespace {

constexpr int kWait = 10000;

class HelperThreadTest : public QObject {
    Q_OBJECT
  private slots:
    void crcMpeg2_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<uint>("crc");
        QTest::newRow("empty") << QByteArray() << 0xFFFFFFFFu;
        QTest::newRow("check string") << QByteArray("123456789") << 0x0376E6E7u;
        QTest::newRow("one zero byte") << QByteArray(1, '\0') << 0x4E08BFB4u;
    }
    void crcMpeg2() {
        QFETCH(QByteArray, bytes);
        QTEST(static_cast<uint>(Crc32Mpeg2(reinterpret_cast<const uint8_t*>(bytes.data()),
                                           static_cast<size_t>(bytes.size()))),
              "crc");
    }

    void crcThreadNeverHandsOutAStaleResult() {
        VirtualClock clock;
        RecordingLogSink log;
        Logger logger(clock, &log);
        CCRCThread thread(logger);
        uint32_t crc = 0;
        QVERIFY(!thread.WaitLatest(0, &crc));  // nothing asked yet
        const uint64_t empty = thread.Request(std::make_shared<const std::vector<uint8_t>>());
        QVERIFY(thread.WaitResult(empty, kWait, &crc));
        QCOMPARE(crc, 0xFFFFFFFFu);
        // A second request made while the first still runs: its waiter must not take the
        // first one's result, which finishes while it waits.
        auto big = std::make_shared<std::vector<uint8_t>>(size_t(8) << 20, 0x11);
        auto small = std::make_shared<std::vector<uint8_t>>(size_t(4096), 0x22);
        const uint64_t first = thread.Request(big);
        const uint64_t second = thread.Request(small);
        QVERIFY(thread.WaitLatest(kWait, &crc));
        QCOMPARE(crc, Crc32Mpeg2(small->data(), small->size()));
        // The first request's result was replaced: its waiter is told so, not handed another.
        QVERIFY(!thread.WaitResult(first, kWait, &crc));
        QVERIFY(thread.WaitResult(second, 0, &crc));
        QVERIFY(log.Contains("Finished"));
    }

    void wakeUpWithoutUsbEndpointEndsAtOnce() {
        VirtualClock clock;
        RecordingLogSink log;
        Logger logger(clock, &log);
        FakeAudio audio;
        audio.endpoints = {{"hw:0,0", "ALC257 Analog (HDA Intel PCH)"}};
        CWakeUpThread thread(logger, clock, audio);
        thread.start();
        QVERIFY(thread.done().WaitFor(kWait));
        QVERIFY(thread.StopAndWait());
        QVERIFY(log.Contains("deviceCount is 1"));
        QVERIFY(log.Contains("deviceName is ALC257 Analog (HDA Intel PCH)"));
        QVERIFY(log.Contains("Record Start Fail PickDevice"));
        QCOMPARE(thread.bursts(), 0);
        QVERIFY(audio.opened.empty());
    }

    void wakeUpCapturesFromTheFirstUsbEndpointUntilStopped() {
        VirtualClock clock;
        RecordingLogSink log;
        Logger logger(clock, &log);
        FakeAudio audio;
        audio.endpoints = {{"hw:0,0", "ALC257 Analog (HDA Intel PCH)"},
                           {"hw:1,0", "Usb Audio (Camera Mic)"},
                           {"hw:2,0", "USB Audio (Other)"}};
        CWakeUpThread thread(logger, clock, audio);
        thread.start();
        QTRY_VERIFY_WITH_TIMEOUT(thread.bursts() >= 3, kWait);
        QVERIFY(!thread.done().IsSet());
        QVERIFY(thread.StopAndWait());
        QVERIFY(thread.done().IsSet());
        QCOMPARE(audio.opened, std::string("Usb Audio (Camera Mic)"));
        // Each burst is 50 ms of capture.
        QVERIFY(clock.now_ms() >= 50u * static_cast<uint64_t>(thread.bursts()));
    }

    void wakeUpEndsWhenTheEndpointCannotBeOpened() {
        VirtualClock clock;
        RecordingLogSink log;
        Logger logger(clock, &log);
        FakeAudio audio;
        audio.endpoints = {{"hw:1,0", "USB Audio (Camera)"}};
        audio.open_fails = true;
        CWakeUpThread thread(logger, clock, audio);
        thread.start();
        QVERIFY(thread.done().WaitFor(kWait));
        QVERIFY(log.Contains("Record Start Fail allocate capturer"));
    }

    void passPhraseBoxIsMasked() {
        CInputBox box;
        QCOMPARE(box.windowTitle(), QString::fromUtf8("请輸入密碼才能進行二次燒錄"));
        QCOMPARE(box.edit()->echoMode(), QLineEdit::Password);
        QTest::keyClicks(box.edit(), "Secret-1");
        QCOMPARE(box.Text(), QString("Secret-1"));
    }

    void aboutBoxShowsTheShortVersion() {
        CAboutDlg about("2.63");
        QCOMPARE(about.windowTitle(), QString("About Orbisk"));
        QCOMPARE(about.findChild<QLabel*>("1000")->text(), QString("Orbisk Version 2.63"));
        CAboutDlg without_version("");
        QCOMPARE(without_version.findChild<QLabel*>("1000")->text(), QString("Orbisk Version "));
    }
};

}  // namespace

std::unique_ptr<QObject> MakeHelperThreadTest() {
    return std::make_unique<HelperThreadTest>();
}

}  // namespace orbisk::test

#include "helper_thread_tests.moc"
