#include "ui/dialog_runner.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <cstdlib>

#include "app/orbisk_app.h"
#include "base/logger.h"
#include "platform/audio_capture.h"
#include "platform/power.h"
#include "ui/device_stack.h"
#include "ui/main_dialog.h"
#include "ui/qt_prompter.h"

namespace orbisk {
namespace {

// The prompter of unattended screenshot runs: OK to the warning, everything else as usual.
class ConfirmingPrompter final : public Prompter {
  public:
    void Message(const std::string& caption, const std::string& text, Icon icon) override {
        QtPrompter(nullptr).Message(caption, text, icon);
    }
    bool Confirm(const std::string&, const std::string&) override { return true; }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        return QtPrompter(nullptr).AskYesNo(caption, text);
    }
    std::optional<std::string> AskPassPhrase() override {
        return QtPrompter(nullptr).AskPassPhrase();
    }
};

}  // namespace

void RunDialog(COrbiskApp& app, int& argc, char** argv) {
    QApplication qt(argc, argv);
    // The installed menu entry and icon: desktops match the window to orbisk.desktop by this
    // name, and the icon comes from the icon theme where the package put it.
    QGuiApplication::setDesktopFileName("orbisk");
    QApplication::setWindowIcon(QIcon::fromTheme("orbisk"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Process& process = app.process();

    auto power = CreateNativePowerSource();
    std::unique_ptr<AudioCaptureSystem> audio;
    if (process.ConfigInt(cfg::kRtd3) != 0) audio = CreateNativeAudioCaptureSystem();

    DeviceStack stack(process);
    if (!stack.error().empty()) {
        LogScope scope(process.logger, "RunDialog", 0);
        scope.Line("%s\n", stack.error().c_str());
    }

    DialogServices services;
    services.make_device = stack.Maker();
    services.notifier = stack.notifier();
    services.power = power.get();
    services.audio = audio.get();
    // ORBISK_SCREENSHOTS=folder: the window grabs itself the first time it shows a camera and
    // when it shows PASS, and the warning before the update is answered with OK, so that
    // scripts/screenshots.sh can run it unattended on the offscreen platform.
    const char* folder = std::getenv("ORBISK_SCREENSHOTS");
    const bool screenshots = folder != nullptr && *folder != '\0';
    std::unique_ptr<Prompter> prompter;
    if (screenshots) prompter = std::make_unique<ConfirmingPrompter>();
    services.prompter = prompter.get();
    CTessaly_AllInOne_OvproxyDlg dialog(process, std::move(services));
    if (screenshots) {
        const QString dir = QString::fromLocal8Bit(folder);
        dialog.SetMomentHook([&dialog, dir, camera_taken = false](auto moment) mutable {
            using Moment = CTessaly_AllInOne_OvproxyDlg::Moment;
            if (moment == Moment::kCameraShown && camera_taken) return;
            if (moment == Moment::kCameraShown) camera_taken = true;
            const char* name =
                moment == Moment::kPassShown ? "dialog-pass.png" : "dialog-camera.png";
            dialog.grab().save(dir + "/" + name);
        });
    }
    dialog.exec();
}

}  // namespace orbisk
