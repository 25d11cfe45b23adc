#include "ui/dialog_runner.h"

#include <QApplication>
#include <QLocale>

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
    dialog.exec();
}

}  // namespace orbisk
