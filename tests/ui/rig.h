#pragma once
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <cmath>
#include <memory>

#include "base/clock.h"
#include "base/logger.h"
#include "base/process.h"
#include "fakes.h"
#include "platform/power.h"
#include "support/recorders.h"
#include "support/temp_dir.h"
#include "ui/main_dialog.h"
#include "ui/upgrade_button.h"

namespace orbisk::test {

// Contrast ratio of two colours as the accessibility guidelines define it (1 to 21).
inline double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// One dialog over the fake world, on a virtual clock, with its program folder in a scratch
// directory.
struct DialogRig {
    VirtualClock clock;
    RecordingLogSink log;
    Logger logger{clock, &log};
    Process process{clock, logger};
    FakeWorld world;
    FakePrompter prompter;
    FixedPowerSource power{{PowerStatus::kAcOnline, 80}};
    QueueNotifier notifier;
    FakeAudio audio;
    TempDir dir;
    std::unique_ptr<CTessaly_AllInOne_OvproxyDlg> dialog;

    DialogRig() { process.program_folder = dir.path(); }
    ~DialogRig() {
        // A test that failed half-way must not leave the worker held.
        world.release.Set();
        world.search_release.Set();
        dialog.reset();
    }

    void Set(const char* key, int value) { process.config.SetValueI(kConfigSection, key, value); }
    void SetText(const char* key, const char* value) {
        process.config.SetValue(kConfigSection, key, value);
    }
    void Plug(const FakeCamera& camera) {
        std::lock_guard lock(world.mutex);
        world.cameras.push_back(camera);
    }
    // A camera, AutoRun on, and the dialog open with its first device search held on the
    // worker until the test lets it go.
    void OpenWithTheSearchHeld() {
        Set("AutoRun", 1);
        world.hold_search = true;
        Plug(FakeWorld::Camera(0x6366, 2));
        Open();
        QVERIFY(world.search_started.WaitFor(10000));
    }
    void Open() {
        DialogServices services;
        services.make_device = FakeDevice::Maker(process, world);
        services.prompter = &prompter;
        services.power = &power;
        services.notifier = &notifier;
        services.audio = &audio;
        dialog = std::make_unique<CTessaly_AllInOne_OvproxyDlg>(process, std::move(services));
        dialog->show();
    }
    QString Text(const char* item) const {
        if (auto* label = dialog->findChild<QLabel*>(item)) return label->text();
        if (auto* edit = dialog->findChild<QLineEdit*>(item)) return edit->text();
        return "<no item>";
    }
    UpgradeButton* Upgrade() const { return dialog->findChild<UpgradeButton*>("1003"); }
    QLabel* Label(const char* item) const { return dialog->findChild<QLabel*>(item); }
    QColor ResultColour() const { return Label("1016")->palette().color(QPalette::WindowText); }
    // The verdict's colour against what it is drawn on.
    double ResultContrast() const {
        return Contrast(ResultColour(), Label("1016")->palette().color(QPalette::Window));
    }
    int Progress() const { return dialog->findChild<QProgressBar*>("1191")->value(); }
    // The colour the Upgrade button is drawn in, inside its edge, above its caption.
    QColor UpgradeDrawnFill() const { return Upgrade()->grab().toImage().pixelColor(3, 3); }
    // Waits until every request posted so far has ended on the worker and the window has
    // handled all it reported: what has not happened by then will not.
    [[nodiscard]] bool Settle() const {
        const int marker = dialog->PostMarker();
        return QTest::qWaitFor([&] { return dialog->markers_reached() >= marker; }, 10000);
    }
    // The same for device-change notices pushed so far: a last one is pushed and waited for.
    [[nodiscard]] bool SettleNotices() {
        const auto seen = [&] {
            int count = 0;
            for (const auto& line : log.lines())
                if (line.find("DevNodes changed") != std::string::npos) ++count;
            return count;
        };
        const int before = seen();
        notifier.Push({DeviceChangeKind::kNodesChanged, false, {}});
        return QTest::qWaitFor([&] { return seen() > before; }, 10000) && Settle();
    }
    // Where a control lies in the window, in the window's coordinates.
    QRect InWindow(const QWidget* widget) const {
        return QRect(widget->mapTo(dialog.get(), QPoint(0, 0)), widget->size());
    }
    // Shown to the operator: a visible control of some size, wholly inside the window.
    bool OnScreen(const char* item) const {
        const auto* widget = dialog->findChild<QWidget*>(item);
        return widget != nullptr && widget->isVisible() && !widget->size().isEmpty() &&
               dialog->rect().contains(InWindow(widget));
    }
    // Idle: no request on the worker, nothing running.
    bool Idle() const { return dialog->worker_pending() == 0 && !dialog->busy(); }
};

}  // namespace orbisk::test
