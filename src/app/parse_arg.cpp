#include "app/parse_arg.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "app/autostart.h"
#include "app/cli_options.h"
#include "app/console_progress.h"
#include "base/process.h"
#include "base/status_codes.h"
#include "catalogue/image_selection.h"
#include "device/dev_flow.h"
#include "image/firmware_image.h"
#include "image/resources.h"

namespace orbisk {
namespace {
// Option bits the function library tests are all clear in this value.
constexpr uint32_t kCommandLineOptions = 0x80;
}  // namespace

CParseArg::CParseArg(Process& process) : process_(process) {
    peer_.console = [this](const std::string& text) { ConsolePrint(text); };
}

void CParseArg::SetDevice(CDevFlow* device, CamLib* camlib, CICTypeIni* profiles) {
    device_ = device;
    camlib_ = camlib;
    profiles_ = profiles;
    if (device_ != nullptr) device_->SetPeer(&peer_);
}

int CParseArg::Parse_Arg(const std::vector<std::string>& args) {
    LogScope scope(process_.logger, "CParseArg::Parse_Arg");
    result_mode_ = process_.ConfigInt("SaveResultToFile", 0);
    remove_manufacture_ = process_.ConfigInt("Remove_Manufacture", 0);
    remove_write_back_ = process_.ConfigInt("Remove_PPWriteBack", 0);
    start_index_ = 0;
    recover_ = std::find(args.begin(), args.end(), "--recover") != args.end();
    const ImageOption image = FindImageOption(args);
    bool update = false;
    // Only the arguments are searched, never the program's own path: a program stored under a
    // folder whose name holds "-s" must not write firmware when asked for something else.
    // Within an argument any "-s" or "/s" counts, so "-S", "/silent" and "-sn" keep working; the
    // file name of --image is a name, never an option.
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == kImageOption) {
            ++i;
            continue;
        }
        if (AsksForUpdate(args[i])) update = true;
    }
    if (update && image.error.empty()) {
        operation_ = 'W';
        start_index_ = 0;
        image_path_ = image.path;
        process_.image_file = image.path;
        return 1;
    }
    if (!image.error.empty()) {
        // Nothing is written without the image the operator meant.
        std::fprintf(stderr, "orbisk: %s\n", image.error.c_str());
        process_.status.SetCode(kStatusLoadFileDataFail);
    } else if (!image.path.empty()) {
        std::fputs("orbisk: --image names the image of an update: orbisk -s --image FILE\n",
                   stderr);
    }
    ResultFile result;
    if (result.Create(process_.ProgramFile("Result.txt"))) result.Write("fail");
    return 0;
}

void CParseArg::SetupConsole() {
    // Started without a console (closed standard output) nothing is printed; the run is the
    // same.
    console_ = ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
    if (console_) std::setvbuf(stdout, nullptr, _IONBF, 0);
    ConsolePrint("\n");
}

void CParseArg::ConsolePrint(const std::string& text) {
    if (!console_) return;
    std::fwrite(text.data(), 1, std::min<size_t>(text.size(), 260), stdout);
}

void CParseArg::ConsolePrompt() {
    ConsolePrint(process_.program_folder + ">");
}

void CParseArg::FinishProgress() {
    if (progress_ != nullptr) progress_->Finish();
}

void CParseArg::KeepFailureCode(uint32_t code) {
    // The open-done report clears the status code; a failure after it must not end with exit
    // code 0.
    if (process_.status.Code() == 0) process_.status.SetCode(code);
}

void CParseArg::ExplainFailure() {
    const uint32_t code = process_.status.Code();
    const std::string_view text = StatusText(code);
    if (text.empty())
        std::fprintf(stderr, "%s: the update failed (status %u)\n", label_.c_str(), code);
    else
        std::fprintf(stderr, "%s: %.*s (status %u)\n", label_.c_str(),
                     static_cast<int>(text.size()), text.data(), code);
}

bool CParseArg::OpenCamera() {
    if (!bus_error_.empty()) {
        std::fprintf(stderr, "orbisk: %s\n", bus_error_.c_str());
        return false;
    }
    if (device_ == nullptr) {
        std::fprintf(stderr, "orbisk: no device object for the selected chip profile\n");
        return false;
    }
    if (process_.ConfigInt("CheckVIDPID_INI", 0) != 0)
        return device_->DEV_OpenDeviceByVIDPID() == 1;
    if (process_.ConfigInt("MIPI Camera", 0) != 0) return device_->DEV_OpenMIPIDevice() == 1;
    for (int index = start_index_; index < start_index_ + 3; ++index)
        if (device_->DEV_OpenDeviceByICIni(index) == 1) return true;
    return false;
}

bool CParseArg::IdentifyAndCheck() {
    // Every open has read the chip identity already.
    return device_->DEV_CheckImageForCamera() == 1;
}

void CParseArg::ExplainRomCamera() {
    const RecoveryState& state = device_->texts().recovery;
    const char* port = state.port.c_str();
    switch (state.rom) {
        case RecoveryState::Rom::kWithRecord:
            if (state.record.serial_source == RecoveryRecord::SerialSource::kNone)
                std::fprintf(stderr,
                             "orbisk: the camera on port %s runs its boot ROM; recovering it "
                             "with %s (no serial number recorded)\n",
                             port, state.record_path.c_str());
            else
                std::fprintf(stderr,
                             "orbisk: the camera on port %s runs its boot ROM; recovering it "
                             "with %s (serial number %s)\n",
                             port, state.record_path.c_str(), state.record.serial.c_str());
            ExplainRecordedImage(state);
            break;
        case RecoveryState::Rom::kWithoutRecord:
            if (recover_)
                std::fprintf(stderr,
                             "orbisk: no recovery record for the camera on port %s: its serial "
                             "number cannot be restored; it gets the image's own\n",
                             port);
            else
                std::fprintf(stderr,
                             "orbisk: the camera on port %s runs its boot ROM and has no "
                             "recovery record (%s); \"orbisk -s --recover\" writes the "
                             "firmware with the image's own serial number\n",
                             port, state.record_path.c_str());
            break;
        case RecoveryState::Rom::kDamagedRecord:
            std::fprintf(stderr,
                         "orbisk: the camera on port %s runs its boot ROM and its recovery "
                         "record %s cannot be used (%s); move it away to write the firmware "
                         "with the image's own serial number (\"orbisk -s --recover\")\n",
                         port, state.record_path.c_str(), state.problem.c_str());
            break;
        case RecoveryState::Rom::kNo:
        case RecoveryState::Rom::kUnknown:
            break;
    }
}

void CParseArg::ExplainRecordedImage(const RecoveryState& state) {
    const std::string& recorded = state.record.image;
    const bool carried = recorded == kCarriedImageName;
    if (process_.image_file.empty()) {
        if (!carried)
            std::fprintf(stderr, "%s: the image is the one the record names: %s\n", label_.c_str(),
                         recorded.c_str());
    } else if (recorded != process_.image_file) {
        // The operator's choice stands; the record then names it for any later run.
        std::fprintf(stderr, "%s: the record was written for the image %s; writing %s as asked\n",
                     label_.c_str(), carried ? "the program carries" : recorded.c_str(),
                     process_.image_file.c_str());
    }
}

uint32_t CParseArg::ExplainImageProblem() {
    const ImageProblem& problem = device_->images().problem;
    if (problem.code != 0) std::fprintf(stderr, "%s: %s\n", label_.c_str(), problem.text.c_str());
    return problem.code;
}

bool CParseArg::LoadUpdateImage() {
    if (device_ == nullptr) return false;
    const auto image = FindResource(kResourceBinary, kCommandLineImageResource);
    if (image.empty()) return false;
    ImageRecord& images = device_->images();
    images.front.assign(image.begin(), image.end());
    images.working = images.front;
    return true;
}

int CParseArg::Prepare() {
    LogScope scope(process_.logger, "CParseArg::Prepare");
    if (result_mode_ != 0 && !one_of_many_) result_file_.Create(process_.ProgramFile("Result.txt"));
    const auto fail = [&](uint32_t code) {
        KeepFailureCode(code);
        KeepOutcome(false);
        if (result_mode_ == 1 || result_mode_ == 2)
            result_file_.Write(CommandLineVerdict(result_mode_, false));
        result_file_.Close();
        FinishProgress();
        ExplainFailure();
        ConsolePrint("Get IC Info Fail\n");
        ConsolePrompt();
        return 0;
    };
    if (!OpenCamera()) return fail(kStatusDetectDeviceFail);
    device_->SetRecoverWithoutRecord(recover_);
    ExplainRomCamera();
    // A camera behind a MIPI bridge: the bridge's own flash takes the image, so the chip check
    // of the controller's image does not apply; what the device flow reads of a found bridge
    // camera (its identity, the bridge's version, the data "MIPI Reserve" keeps) is read here.
    const bool bridge = process_.project_type == 5 && device_->connection().mipi_bridge;
    if (bridge) device_->DEV_ReadMipiCameraInfo();
    if (operation_ != 'D' && operation_ != 'Y' && operation_ != 'Z' && operation_ != 'E') {
        ImageRecord& images = device_->images();
        images.front_path = image_path_;
        if (!device_->DEV_LoadImageForCamera()) {
            ExplainImageProblem();
            process_.Report(kReportFailure, kStatusLoadFileDataFail);
            scope.Section("Load File Data Fail!\n");
            ConsolePrint("Load File Data Fail!\n");
            return fail(kStatusLoadFileDataFail);
        }
    }
    if (!bridge && !IdentifyAndCheck()) {
        // An image file says why it is not this camera's, with the code of that reason.
        if (const uint32_t code = ExplainImageProblem(); code != 0) {
            process_.Report(kReportFailure, code);
            return fail(code);
        }
        return fail(kStatusFirmwareNotForDevice);
    }
    // The matched profile and image may call for another memory type.
    if (device_maker_ && device_maker_() == nullptr) {
        std::fprintf(stderr, "%s: this build cannot program the memory of this camera\n",
                     label_.c_str());
        return fail(kStatusNotSupport);
    }
    device_->DEV_GetDeviceInfo();
    return 1;
}

int CParseArg::Excute_Arg_Normal() {
    device_->connection().command_options = kCommandLineOptions;
    // The device object may have been made anew for the identified chip.
    device_->SetRecoverWithoutRecord(recover_);
    ConsolePrint("Begin to Write fw!\r\n");
    device_->DEV_SetTransportOptions();
    process_.status.SetCode(0);
    return device_->DEV_RunCommand(operation_, image_path_);
}

int CParseArg::Excute_Arg() {
    LogScope scope(process_.logger, "CParseArg::Excute_Arg");
    burn_record_on_ = one_of_many_ ? 0 : process_.ConfigInt("LogType", 0);
    // The burn record lives in the working folder, where production scripts collect it.
    if (burn_record_on_ != 0 && !burn_file_.Open("burn_result.txt"))
        std::fprintf(stderr, "Can't Open burn_result.txt\n");
    const bool pass = device_ != nullptr && Excute_Arg_Normal() == 1;
    if (!pass) KeepFailureCode(kStatusResetDeviceFail);
    KeepOutcome(pass);
    FinishProgress();
    if (!pass) ExplainFailure();
    if (pass) {
        if (!one_of_many_) RemoveAutostartEntry(kAutostartEntry);
        ConsolePrint("Write fw pass!\r\n");
    } else {
        ConsolePrint("Write fw fail!\r\n");
    }
    ConsolePrompt();
    if (result_mode_ > 0 && !one_of_many_) {
        result_file_.Write(CommandLineVerdict(result_mode_, pass));
        result_file_.Close();
    }
    if (burn_file_.IsOpen()) {
        burn_file_.AppendRow(std::time(nullptr), outcome_.serial, pass, outcome_.code);
        burn_file_.Close();
    }
    return pass ? 1 : 0;
}

void CParseArg::KeepOutcome(bool pass) {
    outcome_.pass = pass;
    outcome_.serial = device_ != nullptr ? device_->SerialNumberText() : "";
    // A failed run records the failure's own code, as the dialog does.
    const uint32_t failure = progress_ != nullptr ? progress_->failure_code() : 0;
    outcome_.code = !pass && failure != 0 ? failure : process_.status.Code();
}

void CParseArg::CloseDevice() {
    if (device_ != nullptr) device_->DEV_CloseDevice();
}

}  // namespace orbisk
