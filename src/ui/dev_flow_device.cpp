#include "ui/dev_flow_device.h"

#include <algorithm>

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "catalogue/ic_type_ini.h"
#include "image/firmware_image.h"
#include "platform/device_notify.h"
#include "ui/device_list_model.h"

namespace orbisk {
namespace {

// The flow's selector over the dialog's list model.
class ModelSelector final : public DeviceSelector {
  public:
    explicit ModelSelector(DeviceListModel* model) : model_(model) {}
    void Clear() override { model_->Clear(); }
    void Insert(int position, const std::string& text) override { model_->Insert(position, text); }
    void Select(int position) override { model_->Select(position); }
    std::string SelectedText() const override { return model_->SelectedText(); }

  private:
    DeviceListModel* model_;
};

}  // namespace

DevFlowDialogDevice::DevFlowDialogDevice(Process& process, UsbBus& bus, CamLib& camlib,
                                         CICTypeIni& profiles, std::unique_ptr<CDevFlow> flow,
                                         std::shared_ptr<DialogPeer> peer)
    : process_(process),
      bus_(bus),
      camlib_(camlib),
      profiles_(profiles),
      flow_(std::move(flow)),
      peer_(std::move(peer)) {
    flow_->SetPeer(&peer_->peer);
}

void DevFlowDialogDevice::TakeOver(DevFlowDialogDevice& previous) {
    flow_->connection() = previous.flow_->connection();
    flow_->texts() = previous.flow_->texts();
    flow_->selected_index = previous.flow_->selected_index;
    flow_->check_result = previous.flow_->check_result;
    flow_->otp_space_used = previous.flow_->otp_space_used;
    flow_->set_mipi_reserved(previous.flow_->mipi_reserved());
}

void DevFlowDialogDevice::AttachDialog(DeviceListModel* list, std::function<void(bool)> wake) {
    peer_->selector = std::make_unique<ModelSelector>(list);
    peer_->peer.selector = peer_->selector.get();
    peer_->peer.wake = std::move(wake);
}

int DevFlowDialogDevice::ApplySelection(int index, const std::string& label) {
    flow_->selected_index = index;
    peer_->peer.selected_label = label;
    return flow_->DEV_GetDeviceListAfterReset();
}

std::string DevFlowDialogDevice::OpenCameraId() {
    const uint64_t handle = camlib_.handle();
    if (handle == 0) return {};
    for (const auto& device : bus_.List())
        if (device.node_handle == handle) return CameraInstanceId(device);
    return {};
}

void DevFlowDialogDevice::ResetToRom() {
    if (camlib_.handle() != 0 && camlib_.camera() != nullptr)
        camlib_.CamLib_ResetToRom(camlib_.handle());
}

DeviceSnapshot DevFlowDialogDevice::Snapshot() {
    DeviceSnapshot s;
    const DeviceConnection& conn = flow_->connection();
    const DeviceTexts& texts = flow_->texts();
    s.vid = conn.vid;
    s.pid = conn.pid;
    s.rev = conn.rev;
    // The manufacturer string is what the serial-number handling keeps as the serial number.
    s.serial_text[0] = flow_->SerialNumberText();
    s.serial_text[1] = texts.serial;
    s.identity = texts.identity_label;
    s.description = texts.connection.empty() ? s.identity : texts.connection;
    // An OTP camera shows how much of its memory is left instead.
    if (!texts.otp_space.empty()) s.description = texts.otp_space;
    s.chip_text = profiles_.chip_name;
    s.chip_info = profiles_.chip_info;
    s.firmware_available = flow_->check_result;
    s.otp_programmed = flow_->otp_space_used > 0 ? 1 : 0;
    s.firmware_version = texts.fw_version;
    s.port = texts.recovery.port;
    s.rom_notice = RomCameraNotice(texts.recovery, s.firmware_available != 0);
    if (s.firmware_available == 0) s.image_notice = flow_->images().problem.text;
    s.rom_without_record =
        texts.recovery.rom == RecoveryState::Rom::kWithoutRecord && s.firmware_available != 0;
    return s;
}

std::string RomCameraNotice(const RecoveryState& state, bool firmware_fits) {
    using Rom = RecoveryState::Rom;
    if (!state.InRom()) return {};
    if (state.rom == Rom::kDamagedRecord)
        return "Camera in boot ROM: its recovery record is damaged, Upgrade disabled";
    if (!firmware_fits) return "Camera in boot ROM: the firmware is not for it, Upgrade disabled";
    if (state.rom == Rom::kWithoutRecord)
        return "Camera in boot ROM, no recovery record: its serial number cannot be restored";
    if (state.record.serial_source == RecoveryRecord::SerialSource::kNone)
        return "Camera in boot ROM: Upgrade restores it from its recovery record";
    return "Camera in boot ROM: Upgrade restores it with serial number " + state.record.serial;
}

int DevFlowDialogDevice::LoadFirmware() {
    ImageRecord& images = flow_->images();
    // The operator is asked about a camera in its boot ROM without a record after this.
    const auto refuse = [&] {
        // An image file that cannot be used says why; anything else is the camera without an
        // image.
        const uint32_t code = images.problem.code != 0 ? images.problem.code : 41530;
        process_.Report(kReportFailure, code);
        return 0;
    };
    if (!flow_->DEV_LoadImageForCamera(true)) return refuse();
    if (!process_.image_file.empty()) {
        // A file is checked as the command line checks it, as it is now: it may have changed
        // since the camera was looked at, and nothing else checks it before it is written.
        const int32_t project_type = process_.project_type;
        if (!flow_->DEV_CheckImageForCamera()) return refuse();
        if (process_.project_type != project_type) {
            images.problem = {41715, process_.image_file +
                                         " now holds an image of another memory type; check "
                                         "the camera again"};
            return refuse();
        }
    }
    images.working = images.front;
    return 1;
}

std::string DevFlowDialogDevice::FirmwarePath() {
    if (!process_.image_file.empty()) return process_.image_file;
    const std::string& chosen = flow_->texts().chosen_image_path;
    return chosen.empty() ? flow_->images().front_path : chosen;
}

bool DevFlowDialogDevice::OverwriteImage(size_t offset, const uint8_t* data, size_t size) {
    auto& image = flow_->images().front;
    if (offset > image.size() || size > image.size() - offset) return false;
    std::copy(data, data + size, image.begin() + static_cast<long>(offset));
    return true;
}

void DevFlowDialogDevice::MarkCameraGone() {
    // A camera leaves the bus during every reset of an update; the function library's reset
    // paths reconnect by port, and a camera that stays away fails the next transfer with
    // kDeviceGone. Nothing is cut short here: the notice is recorded for the trace.
    LogScope scope(process_.logger, "DevFlowDialogDevice::MarkCameraGone", 0);
    scope.Line("Open camera removed during an operation\n");
}

DeviceMaker MakeDevFlowMaker(Process& process, UsbBus& bus, CamLib& camlib, CICTypeIni& profiles,
                             std::function<std::unique_ptr<CDevFlow>()> create) {
    auto peer = std::make_shared<DialogPeer>();
    return [&process, &bus, &camlib, &profiles, create, peer](DialogDevice* previous) {
        auto flow = create();
        if (!flow) return std::unique_ptr<DialogDevice>();
        auto device = std::make_unique<DevFlowDialogDevice>(process, bus, camlib, profiles,
                                                            std::move(flow), peer);
        if (auto* before = dynamic_cast<DevFlowDialogDevice*>(previous)) device->TakeOver(*before);
        return std::unique_ptr<DialogDevice>(std::move(device));
    };
}

}  // namespace orbisk
