#include "ui/dialog_runner.h"

#include <QApplication>
#include <QLocale>
#include <cstdlib>

#include "app/orbisk_app.h"
#include "platform/audio_capture.h"
#include "platform/power.h"
#include "ui/main_dialog.h"

namespace orbisk {

void RunDialog(COrbiskApp& app, int& argc, char** argv) {
    QApplication qt(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Process& process = app.process();

    auto power = CreateNativePowerSource();
    std::unique_ptr<AudioCaptureSystem> audio;
    if (process.ConfigInt(cfg::kRtd3) != 0) audio = CreateNativeAudioCaptureSystem();

    DialogServices services;
    services.power = power.get();
    services.audio = audio.get();
    CTessaly_AllInOne_OvproxyDlg dialog(process, std::move(services));
    // ORBISK_SCREENSHOTS=folder: the window grabs itself the first time it shows a camera and
    // when it shows PASS (scripts/screenshots.sh runs it on the offscreen platform).
    if (const char* folder = std::getenv("ORBISK_SCREENSHOTS"); folder != nullptr && *folder) {
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
