#include "ui/dialog_runner.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/orbisk_app.h"
#include "base/logger.h"
#include "base/status_codes.h"
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

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Why there is no display to open the window on; empty when there may be one.
std::string MissingDisplay() {
    if (!Environment("QT_QPA_PLATFORM").empty()) return {};
    if (!Environment("DISPLAY").empty() || !Environment("WAYLAND_DISPLAY").empty()) return {};
    return "DISPLAY is not set";
}

void SayNoDisplay(const std::string& why) {
    std::fprintf(stderr,
                 "orbisk: no display for the update dialog (%s); update from the command line "
                 "instead: orbisk -s (orbisk --help tells more)\n",
                 why.c_str());
}

// While Qt starts, its messages are held back: a display that cannot be reached ends in a
// fatal message, after which Qt would abort. That case gets the one line above instead, the
// usual exit (config.ini written back) and exit code 1. Held messages of a good start are
// passed on afterwards.
COrbiskApp* starting_app = nullptr;
QtMessageHandler previous_handler = nullptr;
std::vector<std::tuple<QtMsgType, QString>> held_messages;

void HoldStartMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        held_messages.emplace_back(type, text);
        return;
    }
    const std::string display = Environment("DISPLAY");
    SayNoDisplay(display.empty() ? "no platform could be started"
                                 : "cannot connect to display " + display);
    starting_app->process().status.SetCode(kStatusNotSupport);
    const int code = starting_app->ExitInstance();
    std::fflush(nullptr);
    std::_Exit(code);
}

void ReleaseStartMessages() {
    qInstallMessageHandler(previous_handler);
    for (const auto& [type, text] : held_messages) {
        const QMessageLogContext context;
        qt_message_output(type, context, text);
    }
    held_messages.clear();
    starting_app = nullptr;
}

// ORBISK_SCREENSHOTS=folder: the window grabs itself once at each moment worth a picture
// (camera.png, updating.png, pass.png, fail.png), and the warning before the update is
// answered with OK, so that scripts/screenshots.sh can run it unattended on the offscreen
// platform. A window that will not update by itself closes after its first picture, a failed
// one after its FAIL.
void TakePictures(CTessaly_AllInOne_OvproxyDlg& dialog, const QString& folder, bool auto_run) {
    using Moment = CTessaly_AllInOne_OvproxyDlg::Moment;
    dialog.SetMomentHook([&dialog, folder, auto_run, taken = std::set<Moment>()](Moment m) mutable {
        if (!taken.insert(m).second) return;
        const char* name = m == Moment::kCameraShown ? "camera"
                           : m == Moment::kUpdating  ? "updating"
                           : m == Moment::kPassShown ? "pass"
                                                     : "fail";
        dialog.grab().save(folder + "/" + name + ".png");
        if (m == Moment::kFailShown || (m == Moment::kCameraShown && !auto_run))
            QMetaObject::invokeMethod(
                &dialog, [&dialog] { dialog.CloseDialog(); }, Qt::QueuedConnection);
    });
}

}  // namespace

void RunDialog(COrbiskApp& app, int& argc, char** argv) {
    Process& process = app.process();
    if (const std::string why = MissingDisplay(); !why.empty()) {
        SayNoDisplay(why);
        process.status.SetCode(kStatusNotSupport);
        return;
    }
    starting_app = &app;
    previous_handler = qInstallMessageHandler(HoldStartMessage);
    QApplication qt(argc, argv);
    ReleaseStartMessages();
    // The installed menu entry and icon: desktops match the window to orbisk.desktop by this
    // name, and the icon comes from the icon theme where the package put it.
    QGuiApplication::setDesktopFileName("orbisk");
    QApplication::setWindowIcon(QIcon::fromTheme("orbisk"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    auto power = CreateNativePowerSource();
    std::unique_ptr<AudioCaptureSystem> audio;
    if (process.ConfigInt(cfg::kRtd3) != 0) audio = CreateNativeAudioCaptureSystem();

    DeviceStack stack(process, app.system_info());
    if (!stack.error().empty()) {
        LogScope scope(process.logger, "RunDialog", 0);
        scope.Line("%s\n", stack.error().c_str());
    }

    DialogServices services;
    services.make_device = stack.Maker();
    services.notifier = stack.notifier();
    services.power = power.get();
    services.audio = audio.get();
    const std::string folder = Environment("ORBISK_SCREENSHOTS");
    std::unique_ptr<Prompter> prompter;
    if (!folder.empty()) prompter = std::make_unique<ConfirmingPrompter>();
    services.prompter = prompter.get();
    CTessaly_AllInOne_OvproxyDlg dialog(process, std::move(services));
    if (!folder.empty())
        TakePictures(dialog, QString::fromStdString(folder), process.ConfigInt(cfg::kAutoRun) != 0);
    dialog.exec();
    if (!dialog.WaitForThreads()) {
        // A device call that never returned: the objects it uses cannot be destroyed under
        // it. The program ends as any exit would, but without taking them down.
        LogScope scope(process.logger, "RunDialog", 0);
        scope.Line("The worker did not end; leaving without it\n");
        if (process.status.Code() == 0) process.status.SetCode(kStatusNotSupport);
        const int code = app.ExitInstance();
        std::fflush(nullptr);
        std::_Exit(code);
    }
}

}  // namespace orbisk
