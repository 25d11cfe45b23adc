#include "app/orbisk_app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/all_cameras.h"
#include "app/cli_options.h"
#include "app/console_progress.h"
#include "app/device_maker.h"
#include "app/ip_cameras.h"
#include "app/parse_arg.h"
#include "app/settings_prompter.h"
#include "app/version.h"
#include "base/program_folder.h"
#include "base/status_codes.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/device_object.h"
#include "platform/sysinfo.h"
#include "platform/tcp.h"
#include "platform/tuning_lock.h"

namespace orbisk {

COrbiskApp::COrbiskApp(Clock& clock)
    : own_clock_(MakeSimulationClock()),
      clock_(own_clock_ ? *own_clock_ : clock),
      logger_(clock_, &channel_),
      process_(clock_, logger_) {}

COrbiskApp::~COrbiskApp() = default;

std::string COrbiskApp::ShortVersion(const std::string& file_version) {
    // Characters 0, 2 and 3 of the version text around a ".": "2.63.2020.325" gives "2.63".
    if (file_version.size() < 4) return {};
    return std::string{file_version[0], '.', file_version[2], file_version[3]};
}

namespace {
// Clears the read-only attribute of an existing file.
void MakeWritable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0)
        ::chmod(path.c_str(), info.st_mode | S_IWUSR);
}
}  // namespace

void COrbiskApp::OpenConfiguration() {
    const std::string path = process_.ProgramFile("config.ini");
    process_.config.Clear();
    process_.config.SetPath(path);
    MakeWritable(path);
    // A missing file is a fresh installation: every key reads its default. A file that is there
    // but does not load whole would run the camera with defaults it never asked for (SaveSN
    // among them), so no camera is touched until it is fixed.
    process_.config.ReadFile();
    if (!process_.config.ReadError().empty()) {
        process_.setup_error = process_.config.ReadError() + ": the settings cannot be read";
    } else if (process_.config.LoadStoppedEarly()) {
        process_.setup_error = path + ": line " + std::to_string(process_.config.StoppedAtLine()) +
                               " begins with a character that is not printable text, so the "
                               "settings from there on cannot be read";
    }
}

bool COrbiskApp::ConfigurationLoaded() const {
    return process_.setup_error.empty();
}

void COrbiskApp::CreateProcessObjects(bool with_cameras) {
    ReleaseProcessObjects();
    profiles_ = std::make_unique<CICTypeIni>(process_);
    profiles_->BuildProfileList();
    profiles_->SelectDefaultProfile();
    profiles_->ApplyProfile();
    system_info_ = std::make_unique<CSystemInfo>(CreateNativeSystemInfoBackend());
    system_info_->Initialize();
    parse_arg_ = std::make_unique<CParseArg>(process_);
    parse_arg_->SetDeviceMaker([this] { return RecreateDeviceObject(); });
    // Only one bus may hold simulated cameras: each writes its cameras back to their folders
    // when it goes, and a second one would write back what it loaded over the dialog's update.
    if (!with_cameras) return;
    // The bus, its transports and the function library come before the device object that
    // reaches the cameras through them.
    backend_ = MakeUsbBackend(process_.clock);
    parse_arg_->SetBusError(backend_.error);
    if (backend_.bus) {
        auto factory = std::make_unique<UsbTransportFactory>(*backend_.bus, logger_);
        network_ = CreateNativeTcpNetwork();
        factory->EnableIpCameras(*network_, OpenTuningLock());
        factory->SetHostI2c(HostI2cSource(process_));
        transports_ = std::move(factory);
        camlib_ = std::make_unique<CamLib>(process_, *backend_.bus, *transports_);
    }
    RecreateDeviceObject();
}

CDevFlow* COrbiskApp::RecreateDeviceObject() {
    RemakeDeviceObject(process_, camlib_.get(), *profiles_, system_info_.get(), device_,
                       device_class_);
    parse_arg_->SetDevice(device_.get(), camlib_.get(), profiles_.get());
    return device_.get();
}

void COrbiskApp::ReleaseProcessObjects() {
    // The device object first, its buffers with it.
    device_.reset();
    device_class_ = MemoryClass::kNone;
    if (system_info_) system_info_->Release();
    system_info_.reset();
    profiles_.reset();
    parse_arg_.reset();
    if (camlib_) camlib_->CamLib_Uninit();
    camlib_.reset();
    transports_.reset();
    network_.reset();
    // Last: simulated cameras are written back to their folders when their bus goes.
    backend_ = UsbBackend{};
}

void COrbiskApp::InitInstance(const std::vector<std::string>& args, const DialogRunner& dialog) {
    process_.setup_error.clear();
    program_folder_ = FindProgramFolder();
    process_.program_folder = program_folder_.folder;
    channel_.SetEcho(std::getenv("ORBISK_TRACE") != nullptr);
    if (!program_folder_.error.empty()) {
        RefuseStart(args);
        return;
    }
    OpenConfiguration();
    if (process_.ConfigInt(cfg::kDebugLog) != 0)
        channel_.StartCapture(process_.ProgramFile("DebugLog.txt"));
    // The trace file of old installations must stay writable for tools that still append to it.
    MakeWritable(process_.ProgramFile("Log.txt"));
    logger_.SetOutputEnabled(true);
    logger_.SetCategoryMask(7);
    process_.short_version = ShortVersion(kFileVersion);
    process_.customization_mode = process_.ConfigInt(cfg::kCustomizeUi);
    process_.profile_source = process_.ConfigInt(cfg::kIniType);
    CreateProcessObjects(!args.empty());
    const int32_t lib_type = process_.ConfigInt(cfg::kLibType);
    if (lib_type >= 0 && lib_type <= 2) process_.lib_type = lib_type;
    // Direct USB falls back to the kernel driver where this process may not open a camera.
    if (camlib_ && camlib_->CamLib_Init(process_.lib_type) == 1)
        process_.lib_type = camlib_->CamLib_GetLibType();
    process_.customization_mode = 6;

    if (!args.empty()) {
        RunCommandLine(args);
    } else {
        process_.run_mode = kRunDialog;
        if (dialog) {
            dialog(*this);
        } else {
            std::fputs("orbisk: this build has no update dialog; see orbisk --help\n", stderr);
            process_.status.SetCode(41500);  // "Not Support!"
        }
    }
}

void COrbiskApp::RefuseStart(const std::vector<std::string>& args) {
    // Without a program folder there is no config.ini to honour and nowhere to keep the
    // records; only the texts that need neither are given.
    const InfoRequest info = FindInfoRequest(args);
    if (info == InfoRequest::kHelp || info == InfoRequest::kVersion) {
        RunInfoRequest(info);
        refused_exit_code_ = 0;
    } else {
        std::fprintf(stderr, "orbisk: %s\n", program_folder_.error.c_str());
        refused_exit_code_ = 1;
    }
}

void COrbiskApp::RunCommandLine(const std::vector<std::string>& args) {
    const InfoRequest info = FindInfoRequest(args);
    const bool informational = info == InfoRequest::kHelp || info == InfoRequest::kVersion;
    if (!process_.setup_error.empty() && !informational) {
        std::fprintf(stderr, "orbisk: %s; no camera is touched until this is mended\n",
                     process_.setup_error.c_str());
        exit_failure_ = true;
    }
    if (HasAllOption(args)) {
        process_.run_mode = kRunCommandLine;
        if (!exit_failure_) RunAllCameras(args);
        return;
    }
    const IpCameraArgs ip = FindIpCameraArgs(args);
    if (info != InfoRequest::kNone) {
        process_.run_mode = kRunCommandLine;
        if (exit_failure_) return;
        // Only the listing and the upload reach IP cameras; an update never does.
        if (camlib_ && (info == InfoRequest::kList || info == InfoRequest::kListJson)) {
            if (!ip.error.empty()) std::fprintf(stderr, "orbisk: %s\n", ip.error.c_str());
            camlib_->CamLib_SetIpCameras(IpCameraAddresses(process_, ip));
        }
        RunInfoRequest(info);
        return;
    }
    // An address or a file name may hold "-s" or "/s": IP options never reach the update test.
    if (ip.any()) {
        process_.run_mode = kRunCommandLine;
        if (!exit_failure_) RunIpCommand(ip);
        return;
    }
    if (parse_arg_->Parse_Arg(args) != 1 || exit_failure_) return;
    process_.run_mode = kRunCommandLine;
    // A reader that goes away (`orbisk -s | head -1`) must not kill the process halfway through
    // writing a camera; the lost console lines are only lost.
    std::signal(SIGPIPE, SIG_IGN);
    parse_arg_->SetupConsole();
    ConsoleProgress progress(stderr, ::isatty(STDERR_FILENO) == 1);
    process_.status.SetSink(&progress);
    // Questions of the device flows are answered from config.ini: nobody waits at a console.
    SettingsPrompter prompter(process_, stderr);
    process_.prompter = &prompter;
    parse_arg_->SetProgress(&progress);
    if (parse_arg_->Prepare() == 1) {
        parse_arg_->LoadUpdateImage();
        parse_arg_->Excute_Arg();
    }
    parse_arg_->CloseDevice();
    parse_arg_->SetProgress(nullptr);
    process_.status.SetSink(nullptr);
    process_.prompter = nullptr;
    progress.Finish();
}

void COrbiskApp::RunAllCameras(const std::vector<std::string>& args) {
    if (const std::string error = AllCamerasError(args, process_); !error.empty()) {
        std::fprintf(stderr, "orbisk: %s\n", error.c_str());
        process_.status.SetCode(kStatusNotSupport);
        return;
    }
    if (parse_arg_->Parse_Arg(args) != 1) return;
    if (!backend_.bus) {
        std::fprintf(stderr, "orbisk: %s\n", backend_.error.c_str());
        FinishAllCameras(process_, {});
        return;
    }
    std::signal(SIGPIPE, SIG_IGN);
    FinishAllCameras(process_, UpdateAllCameras(process_, *backend_.bus, system_info_.get(), args));
}

void COrbiskApp::RunInfoRequest(InfoRequest request) {
    switch (request) {
        case InfoRequest::kHelp:
            std::fputs(HelpText().c_str(), stdout);
            break;
        case InfoRequest::kVersion:
            std::fputs(VersionText(program_folder_).c_str(), stdout);
            break;
        case InfoRequest::kList:
        case InfoRequest::kListJson:
            parse_arg_->ListCameras(request == InfoRequest::kListJson);
            break;
        case InfoRequest::kNone:
            break;
    }
}

void COrbiskApp::RunIpCommand(const IpCameraArgs& args) {
    if (!args.upload_file) {
        std::fputs("orbisk: --ip and --camera name IP cameras for --list or --ip-upload\n", stderr);
        process_.status.SetCode(41500);  // "Not Support!"
        return;
    }
    if (!camlib_) {
        std::fprintf(stderr, "orbisk: %s\n", backend_.error.c_str());
        process_.status.SetCode(41511);  // "Detect Device Fail!"
        return;
    }
    std::signal(SIGPIPE, SIG_IGN);
    ConsoleProgress progress(stderr, ::isatty(STDERR_FILENO) == 1);
    process_.status.SetSink(&progress);
    camlib_->CamLib_SetIpCameras(IpCameraAddresses(process_, args));
    const int pass = RunIpUpload(process_, *camlib_, args, &progress);
    process_.status.SetSink(nullptr);
    progress.Finish();
    std::fputs(pass ? "Upload fw pass!\n" : "Upload fw fail!\n", stdout);
}

int COrbiskApp::ExitInstance() {
    if (refused_exit_code_ >= 0) return refused_exit_code_;
    std::string error;
    // Simulated cameras are written back to their folders here: a camera that cannot be
    // saved has not received what the run reported.
    if (!FinishUsbBackend(backend_, &error)) {
        std::fprintf(stderr, "orbisk: %s\n", error.c_str());
        exit_failure_ = true;
    }
    ReleaseProcessObjects();
    if (process_.ConfigInt(cfg::kDebugLog) != 0) channel_.StopCapture(logger_);
    // A file that did not load whole is left as it was rather than replaced by the part that
    // was read.
    if (ConfigurationLoaded() && !process_.config.WriteFile(&error)) {
        std::fprintf(stderr, "orbisk: cannot write %s\n", error.c_str());
        exit_failure_ = true;
    }
    return process_.status.Code() != 0 || exit_failure_ ? 1 : 0;
}

int COrbiskApp::Run(const std::vector<std::string>& args, const DialogRunner& dialog) {
    InitInstance(args, dialog);
    return ExitInstance();
}

}  // namespace orbisk
