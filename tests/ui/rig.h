#pragma once
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
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
    ~DialogRig() { dialog.reset(); }

    void Set(const char* key, int value) { process.config.SetValueI(kConfigSection, key, value); }
    void SetText(const char* key, const char* value) {
        process.config.SetValue(kConfigSection, key, value);
    }
    void Plug(const FakeCamera& camera) {
        std::lock_guard lock(world.mutex);
        world.cameras.push_back(camera);
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
    QColor ResultColour() const {
        return dialog->findChild<QLabel*>("1016")->palette().color(QPalette::WindowText);
    }
    // Idle: no request on the worker, nothing running.
    bool Idle() const { return dialog->worker_pending() == 0 && !dialog->busy(); }
};

}  // namespace orbisk::test
