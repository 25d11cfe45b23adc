#include "app/orbisk_app.h"

#include <sys/stat.h>

#include <cstdlib>

#include "app/parse_arg.h"
#include "app/version.h"
#include "base/program_folder.h"
#include "platform/sysinfo.h"

namespace orbisk {

COrbiskApp::COrbiskApp(Clock& clock)
    : logger_(clock, &channel_), process_(clock, logger_) {}

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
    MakeWritable(path);
    process_.config.Clear();
    process_.config.SetPath(path);
    process_.config.ReadFile();  // a failed load is not reported: every key reads its default
}

void COrbiskApp::CreateProcessObjects() {
    ReleaseProcessObjects();
    system_info_ = std::make_unique<CSystemInfo>(CreateNativeSystemInfoBackend());
    system_info_->Initialize();
    parse_arg_ = std::make_unique<CParseArg>(process_);
}

void COrbiskApp::ReleaseProcessObjects() {
    if (system_info_) system_info_->Release();
    system_info_.reset();
    parse_arg_.reset();
}

void COrbiskApp::InitInstance(const std::vector<std::string>& args, const DialogRunner& dialog) {
    process_.program_folder = ProgramFolder();
    channel_.SetEcho(std::getenv("ORBISK_TRACE") != nullptr);
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
    CreateProcessObjects();
    const int32_t lib_type = process_.ConfigInt(cfg::kLibType);
    if (lib_type >= 0 && lib_type <= 2) process_.lib_type = lib_type;
    process_.customization_mode = 6;

    if (!args.empty()) {
        RunCommandLine(args);
    } else {
        process_.run_mode = kRunDialog;
        if (dialog) dialog(*this);
    }
}

void COrbiskApp::RunCommandLine(const std::vector<std::string>& args) {
    if (parse_arg_->Parse_Arg(args) != 1) return;
    process_.run_mode = kRunCommandLine;
    parse_arg_->SetupConsole();
    if (parse_arg_->Prepare() == 1) parse_arg_->Excute_Arg();
    parse_arg_->CloseDevice();
}

int COrbiskApp::ExitInstance() {
    ReleaseProcessObjects();
    if (process_.ConfigInt(cfg::kDebugLog) != 0) channel_.StopCapture(logger_);
    // A file whose load stopped at a line the reader cannot take is left as it was rather
    // than replaced by the part that was read.
    if (!process_.config.LoadStoppedEarly()) process_.config.WriteFile();
    return process_.status.Code() != 0 ? 1 : 0;
}

int COrbiskApp::Run(const std::vector<std::string>& args, const DialogRunner& dialog) {
    InitInstance(args, dialog);
    return ExitInstance();
}

}  // namespace orbisk
