#pragma once
#include <functional>
#include <memory>

#include "device/dev_flow.h"
#include "ui/dialog_device.h"

namespace orbisk {

class CamLib;
class CICTypeIni;
class UsbBus;

// What the device objects of one dialog share across re-creation: the dialog's side of the
// device flow (selector, remembered port, selected label, wake event).
struct DialogPeer {
    DeviceFlowPeer peer;
    std::unique_ptr<DeviceSelector> selector;
};

// The device object of the device layers as the dialog sees it.
class DevFlowDialogDevice final : public DialogDevice {
  public:
    DevFlowDialogDevice(Process& process, UsbBus& bus, CamLib& camlib, CICTypeIni& profiles,
                        std::unique_ptr<CDevFlow> flow, std::shared_ptr<DialogPeer> peer);

    CDevFlow& flow() { return *flow_; }
    // Carries the per-camera fields of the object before over (open handle, identity, flags).
    void TakeOver(DevFlowDialogDevice& previous);

    void AttachDialog(DeviceListModel* list, std::function<void(bool)> wake) override;
    int GetDefaultDevice() override { return flow_->DEV_GetDefaultDeviceForAllInOne(); }
    int GetDeviceList(int32_t flag) override { return flow_->DEV_GetDeviceListForAllInOne(flag); }
    int ApplySelection(int index, const std::string& label) override;
    int OpenForMultiCamera() override { return flow_->Dev_OpenDeviceForMultiCamera(); }
    void CloseDevice() override { flow_->DEV_CloseDevice(); }
    std::string OpenCameraId() override;
    void ResetToRom() override;
    void SetTransportOptions() override { flow_->DEV_SetTransportOptions(); }
    void SetCommandOptions(uint32_t options) override {
        flow_->connection().command_options = options;
    }
    int Download() override { return flow_->Download(); }
    void SetRecoverWithoutRecord(bool allow) override { flow_->SetRecoverWithoutRecord(allow); }
    DeviceSnapshot Snapshot() override;
    int LoadFirmware() override;
    std::vector<uint8_t> ImageBytes() override { return flow_->images().front; }
    std::string FirmwarePath() override;
    std::vector<uint8_t> ReservedData() override { return flow_->mipi_reserved(); }
    bool OverwriteImage(size_t offset, const uint8_t* data, size_t size) override;
    void SetImageCrcSource(std::function<bool(uint32_t, uint32_t*)> source) override {
        flow_->SetImageCrcSource(std::move(source));
    }
    void MarkCameraGone() override;

  private:
    Process& process_;
    UsbBus& bus_;
    CamLib& camlib_;
    CICTypeIni& profiles_;
    std::unique_ptr<CDevFlow> flow_;
    std::shared_ptr<DialogPeer> peer_;
};

// The status line for a camera in its boot ROM: what Upgrade does with it, or why it is
// disabled; empty for a camera that runs its code.
std::string RomCameraNotice(const RecoveryState& state, bool firmware_fits);

// The dialog's device maker over the device layers: `create` runs the device factory and
// returns the object of the chosen memory-type class.
DeviceMaker MakeDevFlowMaker(Process& process, UsbBus& bus, CamLib& camlib, CICTypeIni& profiles,
                             std::function<std::unique_ptr<CDevFlow>()> create);

}  // namespace orbisk
