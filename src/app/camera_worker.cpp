#include "app/camera_worker.h"

#include <cstdio>

#include "app/device_maker.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"
#include "catalogue/ic_type_ini.h"
#include "device/dev_flow.h"
#include "platform/device_lock.h"

namespace orbisk {

CameraWorker::CameraWorker(const Process& parent, std::unique_ptr<PinnedUsbBus> bus,
                           CSystemInfo* system_info)
    : process_(parent.clock, parent.logger),
      port_(PortChainText(bus->node_handle())),
      bus_(std::move(bus)),
      system_info_(system_info),
      progress_(stderr, false),
      parse_arg_(process_) {
    // A copy of the settings: nothing an update of one camera does reaches another's.
    process_.config = parent.config;
    process_.program_folder = parent.program_folder;
    // The profiles are built as start-up builds them, before the command line's own mode.
    process_.customization_mode = process_.ConfigInt(cfg::kCustomizeUi);
    process_.profile_source = parent.profile_source;
    process_.run_mode = parent.run_mode;
    process_.lib_type = parent.lib_type;
    process_.download_options = parent.download_options;
    process_.short_version = parent.short_version;
    progress_.SetPrefix("[" + port_ + "] ");
}

CameraWorker::~CameraWorker() {
    // The device object before the library and the transports it works through.
    device_.reset();
    if (camlib_) camlib_->CamLib_Uninit();
}

CDevFlow* CameraWorker::RecreateDeviceObject() {
    RemakeDeviceObject(process_, camlib_.get(), *profiles_, system_info_, device_, device_class_);
    parse_arg_.SetDevice(device_.get(), camlib_.get(), profiles_.get());
    return device_.get();
}

void CameraWorker::Run(const std::vector<std::string>& args) {
    profiles_ = std::make_unique<CICTypeIni>(process_);
    profiles_->BuildProfileList();
    profiles_->SelectDefaultProfile();
    profiles_->ApplyProfile();
    transports_ = std::make_unique<UsbTransportFactory>(*bus_, process_.logger,
                                                        OpenDeviceLock(CameraLockName(port_)));
    camlib_ = std::make_unique<CamLib>(process_, *bus_, *transports_);
    if (camlib_->CamLib_Init(process_.lib_type) == 1)
        process_.lib_type = camlib_->CamLib_GetLibType();
    process_.customization_mode = 6;
    parse_arg_.SetOneOfMany(true);
    parse_arg_.SetLabel("orbisk [" + port_ + "]");
    parse_arg_.SetDeviceMaker([this] { return RecreateDeviceObject(); });
    RecreateDeviceObject();
    if (parse_arg_.Parse_Arg(args) != 1) return;
    process_.status.SetSink(&progress_);
    parse_arg_.SetProgress(&progress_);
    if (parse_arg_.Prepare() == 1) {
        parse_arg_.LoadUpdateImage();
        parse_arg_.Excute_Arg();
    }
    parse_arg_.CloseDevice();
    parse_arg_.SetProgress(nullptr);
    process_.status.SetSink(nullptr);
}

CameraSummary CameraWorker::summary() const {
    CameraSummary out;
    out.port = port_;
    out.outcome = parse_arg_.outcome();
    if (device_) out.identity = device_->texts().vid_pid_rev;
    return out;
}

}  // namespace orbisk
