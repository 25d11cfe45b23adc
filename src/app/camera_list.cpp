#include "app/camera_list.h"

#include <cstdio>
#include <set>
#include <utility>

#include "app/ip_cameras.h"
#include "app/parse_arg.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "device/dev_flow.h"

namespace orbisk {
namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace

std::string FormatListingText(const std::vector<CameraListing>& cameras) {
    std::string out;
    for (const CameraListing& c : cameras) {
        out += std::to_string(c.index) + "  " + c.label + "  port " + std::to_string(c.port) +
               "  " + c.version + "  " + c.serial + "\n";
    }
    return out;
}

std::string FormatListingJson(const std::vector<CameraListing>& cameras) {
    std::string out = "[";
    for (size_t i = 0; i < cameras.size(); ++i) {
        const CameraListing& c = cameras[i];
        out += i == 0 ? "" : ", ";
        out += "{\"index\": " + std::to_string(c.index) + ", \"label\": " + JsonString(c.label) +
               ", \"port\": " + std::to_string(c.port) + ", \"version\": " + JsonString(c.version) +
               ", \"serial\": " + JsonString(c.serial);
        if (!c.address.empty())
            out += ", \"address\": " + JsonString(c.address) + ", \"chip\": " + JsonString(c.chip);
        out += "}";
    }
    return out + "]\n";
}

void CParseArg::ListCameras(bool json) {
    LogScope scope(process_.logger, "CParseArg::ListCameras");
    if (!bus_error_.empty() || device_ == nullptr || camlib_ == nullptr) {
        std::fprintf(stderr, "orbisk: %s\n",
                     bus_error_.empty() ? "no device object for the selected chip profile"
                                        : bus_error_.c_str());
        process_.status.SetCode(kStatusDetectDeviceFail);
        return;
    }
    // The dialog shows the manufacturer string as the serial number unless "SN Address" puts
    // it into the serial-number string.
    const bool serial_string = process_.ConfigInt("SN Address", 0) != 0;
    std::vector<CameraListing> cameras;
    std::set<std::pair<uint32_t, uint64_t>> seen;
    const int count = camlib_->CamLib_GetDeviceCount();
    for (int index = 0; index < count; ++index) {
        if (!device_->MP_OpenDevice(index)) continue;
        uint32_t port = 0;
        uint64_t hub = 0;
        camlib_->CamLib_GetPortLocation(device_->connection().camera_handle, &port, &hub);
        // A camera enumerated twice is one camera.
        if (seen.insert({port, hub}).second) {
            device_->MP_GetDeviceInfo();
            const DeviceTexts& texts = device_->texts();
            cameras.push_back({index, texts.vid_pid_rev, port, texts.fw_version,
                               serial_string ? texts.serial : texts.manufacturer, "", ""});
        }
        device_->MP_CloseDevice();
    }
    // IP cameras follow the USB cameras, by the same index the library opens them with.
    for (CameraListing& camera : ListIpCameras(*camlib_, count)) cameras.push_back(camera);
    const std::string out = json ? FormatListingJson(cameras) : FormatListingText(cameras);
    std::fputs(out.c_str(), stdout);
    if (cameras.empty() && !json) std::fprintf(stderr, "orbisk: no camera found\n");
    // Reading the cameras is not an outcome: the listing itself succeeded.
    process_.status.SetCode(0);
}

}  // namespace orbisk
