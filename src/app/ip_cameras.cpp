#include "app/ip_cameras.h"

#include <cstdio>
#include <filesystem>

#include "app/console_progress.h"
#include "base/process.h"
#include "base/status_codes.h"
#include "camera/cam_lib.h"
#include "transport/ip_cam_protocol.h"
#include "transport/ip_cam_vendor_cmd.h"

namespace orbisk {
namespace {

// Texts the camera sends are short; anything longer is not one of them.
constexpr uint32_t kTextMax = 64;

// A text from the network as the console may show it: up to the first NUL, printable ASCII.
std::string CameraText(CIpCamVendorCmd& camera,
                       HResult (CIpCamVendorCmd::*get)(uint8_t*, uint32_t)) {
    uint8_t buffer[kTextMax] = {};
    if ((camera.*get)(buffer, sizeof buffer) != kOk) return "N/A";
    std::string text;
    for (size_t i = 0; i < sizeof buffer && buffer[i] != 0; ++i)
        text += buffer[i] >= 0x20 && buffer[i] < 0x7F ? static_cast<char>(buffer[i]) : '?';
    return text;
}

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

struct UploadProgress {
    Process* process;
    uint64_t total;
    uint64_t done;
};

void OnUploadProgress(void* context, uint32_t bytes) {
    auto* p = static_cast<UploadProgress*>(context);
    p->done += bytes;
    p->process->Report(kReportProgress, static_cast<uint32_t>(p->done * 100 / p->total));
}

int Refuse(Process& process, ConsoleProgress* progress, uint32_t code, const std::string& why) {
    // A bar still open on the terminal ends before the reason is shown.
    if (progress != nullptr) progress->Finish();
    std::fprintf(stderr, "orbisk: %s\n", why.c_str());
    process.status.SetCode(code);
    return 0;
}

}  // namespace

std::vector<std::string> IpCameraAddresses(const Process& process, const IpCameraArgs& args) {
    std::vector<std::string> addresses = SplitAddressList(process.ConfigText(kIpCameraKey));
    addresses.insert(addresses.end(), args.addresses.begin(), args.addresses.end());
    return addresses;
}

std::vector<CameraListing> ListIpCameras(CamLib& camlib, int first) {
    std::vector<CameraListing> cameras;
    const int count = static_cast<int>(camlib.CamLib_GetIpCameraCount());
    for (int index = first; index < first + count; ++index) {
        camlib.CamLib_Close();
        const bool opened = camlib.CamLib_OpenDevice(index) != 0;
        CIpCamVendorCmd* camera = opened ? camlib.CamLib_IpCamera() : nullptr;
        if (camera == nullptr) {
            std::fprintf(stderr, "orbisk: the IP camera %d does not answer (see the trace)\n",
                         index);
            continue;
        }
        std::string host, reason;
        ipcam::HostOfAddress(camera->address(), &host, &reason);
        const std::string chip = Hex4(camlib.camera()->capability()->chip_identity());
        cameras.push_back({index, "IP_" + host + "&CHIP_" + chip, ipcam::kPort,
                           CameraText(*camera, &CIpCamVendorCmd::IpCamGet12),
                           CameraText(*camera, &CIpCamVendorCmd::IpCamGet13), camera->address(),
                           chip});
    }
    camlib.CamLib_Close();
    return cameras;
}

int RunIpUpload(Process& process, CamLib& camlib, const IpCameraArgs& args,
                ConsoleProgress* progress) {
    LogScope scope(process.logger, "RunIpUpload");
    if (!args.error.empty()) return Refuse(process, progress, kStatusNotSupport, args.error);
    if (!args.others.empty())
        return Refuse(
            process, progress, kStatusNotSupport,
            "--ip-upload takes only --ip and --camera, not \"" + args.others.front() + "\"");
    const int ip_count = static_cast<int>(camlib.CamLib_GetIpCameraCount());
    if (ip_count == 0)
        return Refuse(process, progress, kStatusDetectDeviceFail,
                      "no IP camera: name one with --ip or IPCamera in config.ini");
    const int first = camlib.CamLib_GetDeviceCount();
    int index = first;
    if (args.camera) {
        index = *args.camera;
        if (index < first || index >= first + ip_count)
            return Refuse(process, progress, kStatusDetectDeviceFail,
                          "camera " + std::to_string(index) + " is not an IP camera (they are " +
                              std::to_string(first) + " to " +
                              std::to_string(first + ip_count - 1) + " in orbisk --list)");
    } else if (ip_count > 1) {
        return Refuse(process, progress, kStatusDetectDeviceFail,
                      "several IP cameras: choose one with --camera N (see orbisk --list)");
    }
    std::error_code ec;
    const std::string& file = *args.upload_file;
    const uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size == 0)
        return Refuse(process, progress, kStatusLoadFileDataFail,
                      "cannot upload " + file + ": " + (ec ? ec.message() : "the file is empty"));

    camlib.CamLib_Close();
    const uint64_t handle = camlib.CamLib_OpenDevice(index);
    if (handle == 0 || camlib.CamLib_IpCamera() == nullptr) {
        camlib.CamLib_Close();
        return Refuse(process, progress, kStatusDetectDeviceFail,
                      "the IP camera " + std::to_string(index) + " does not answer");
    }
    const std::string address = camlib.CamLib_IpCamera()->address();
    std::printf("Upload %s to %s\n", file.c_str(), address.c_str());
    std::fflush(stdout);
    process.Report(kReportStepText, kStatusStepDownload);
    UploadProgress sent{&process, size, 0};
    const HResult result = camlib.CamLib_IpCamSendFile(handle, file, OnUploadProgress, &sent);
    camlib.CamLib_Close();
    if (result == kOk) {
        process.status.SetCode(0);
        return 1;
    }
    if (result == kInvalidArg)
        return Refuse(process, progress, kStatusLoadFileDataFail,
                      "cannot upload " + file + " (see the trace)");
    if (result == kIpTransportFailure)
        return Refuse(process, progress, kStatusUpdateFail,
                      "the upload to " + address + " did not get through (see the trace)");
    return Refuse(process, progress, kStatusUpdateFail,
                  address + " refused the file (status " + std::to_string(result) + ")");
}

}  // namespace orbisk
