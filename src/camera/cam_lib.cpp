#include "camera/cam_lib.h"

#include <cstring>

#include "base/process.h"
#include "camera/capabilities.h"
#include "camera/config_descriptor.h"
#include "camera/orv_cam.h"

namespace orbisk {

CamLib::CamLib(Process& process, UsbBus& bus, TransportFactory& factory)
    : process_(process), enumeration_(bus, process.clock), factory_(factory) {}

CamLib::~CamLib() {
    CamLib_Close();
}

int CamLib::CamLib_Init(int requested) {
    switch (requested) {
        case 0: {
            // Direct USB only when this process may open every camera; else the kernel driver.
            lib_type_ = 0;
            for (const auto& entry : enumeration_.ListCameras(kClassSetImaging)) {
                if (enumeration_.bus().CanOpenDirectly(entry.node_handle)) continue;
                if (lib_type_ == 0)
                    process_.logger.DebugPrint(
                        "Lib Type 0: no access to the USB device of %s, using Lib Type 1\n",
                        entry.name.c_str());
                lib_type_ = 1;
            }
            return 1;
        }
        case 1:
        case 2:
            lib_type_ = requested;
            return 1;
        default:
            return 0;
    }
}

void CamLib::CamLib_Uninit() {
    CamLib_Close();
}

uint8_t CamLib::CamLib_GetDeviceCount() {
    return enumeration_.DeviceCount();
}

COrvCam* CamLib::orv() {
    return dynamic_cast<COrvCam*>(camera_.get());
}

bool CamLib::OpenEntry(const CameraListEntry& entry) {
    auto record = std::make_unique<CameraDeviceRecord>();
    int error = 0;
    if (lib_type_ == 0) {
        error = enumeration_.BuildProxyRecord(entry, record.get());
    } else {
        error = enumeration_.BuildKernelRecord(
            entry, lib_type_ == 2 ? AccessTag::kMediaFound : AccessTag::kDirectShow, record.get());
    }
    if (error != 0) return false;
    {
        auto probe = factory_.CreateProbe(*record);
        if (!FillCapabilities(record.get(), probe.get(), true)) return false;
    }
    if (record->capability->supported)
        camera_ = std::make_unique<COrvCam>(std::move(record), factory_);
    else
        camera_ = std::make_unique<CCamDev>(std::move(record));
    // The kernel-driver paths need the driver's face of the camera.
    if (lib_type_ != 0 && !camera_->SelectExtUnitTransport(lib_type_)) {
        camera_.reset();
        return false;
    }
    return true;
}

uint64_t CamLib::CamLib_OpenDeviceAt(int* index) {
    handle_ = 0;
    camera_.reset();
    const auto entries = enumeration_.ListCameras(kClassSetImaging);
    const size_t position = static_cast<size_t>(*index);
    if (*index >= 0 && position >= entries.size() &&
        position - entries.size() < ip_addresses_.size())
        return OpenIpCamera(position - entries.size());
    if (*index < 0 || position >= entries.size()) {
        *index = -1;
        return 0;
    }
    const CameraListEntry& entry = entries[static_cast<size_t>(*index)];
    if (!OpenEntry(entry)) return 0;
    if (!CamLib_DevQualify(entry.node_handle)) {
        camera_.reset();
        return 0;
    }
    handle_ = entry.node_handle;
    return handle_;
}

int CamLib::CamLib_IndexOf(uint64_t node_handle) {
    const auto entries = enumeration_.ListCameras(kClassSetImaging);
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].node_handle == node_handle) return static_cast<int>(i);
    return -1;
}

uint64_t CamLib::CamLib_OpenDevice(int index) {
    if (camera_ && handle_ != 0) return handle_;
    return CamLib_OpenDeviceAt(&index);
}

int CamLib::CamLib_Close() {
    camera_.reset();
    handle_ = 0;
    return 1;
}

int CamLib::CamLib_GetPortLocation(uint64_t node_handle, uint32_t* port, uint64_t* hub) {
    auto location = enumeration_.GetPortLocation(node_handle);
    if (!location) return 0;
    *port = location->port;
    *hub = location->hub;
    return 1;
}

int CamLib::CamLib_GetVidPidRev(uint16_t* vid, uint16_t* pid, uint16_t* rev) {
    if (!camera_ || !camera_->capability()) return 0;
    const CameraCapabilityRecord& cap = *camera_->capability();
    *vid = cap.vid();
    *pid = cap.pid();
    *rev = cap.rev();
    return 1;
}

namespace {

// A string of the open camera: through its own device, or, on the kernel-driver paths, as
// the bus reported it. A camera without the string answers an empty one; false only when the
// read failed.
bool ReadCameraString(CCamDev& camera, UsbEnumeration& enumeration, bool serial,
                      std::string* text) {
    text->clear();
    const CameraCapabilityRecord* cap = camera.capability();
    CameraDeviceRecord& record = camera.record();
    if (record.usb && cap) {
        const uint8_t index = serial ? cap->serial_index() : cap->manufacturer_index();
        return index == 0 || record.usb->GetStringDescriptor(index, text) == kOk;
    }
    for (const UsbDeviceInfo& info : enumeration.bus().List()) {
        if (info.node_handle != record.node_handle) continue;
        *text = serial ? info.serial : info.manufacturer;
        return true;
    }
    return false;
}

}  // namespace

int CamLib::CamLib_GetIdentity(uint16_t* vid, uint16_t* pid, uint16_t* rev,
                               std::string* manufacturer) {
    if (!CamLib_GetVidPidRev(vid, pid, rev)) return 0;
    // The manufacturer string is where these modules keep their serial number: a failed read
    // fails the identity, rather than passing an empty number on.
    return ReadCameraString(*camera_, enumeration_, false, manufacturer) ? 1 : 0;
}

int CamLib::CamLib_GetManufacturerString(std::string* text) {
    return camera_ && ReadCameraString(*camera_, enumeration_, false, text) ? 1 : 0;
}

int CamLib::CamLib_GetSerialString(std::string* text) {
    return camera_ && ReadCameraString(*camera_, enumeration_, true, text) ? 1 : 0;
}

int CamLib::CamLib_GetFriendlyName(std::string* text) {
    if (!camera_) return 0;
    *text = camera_->record().friendly_name;
    return 1;
}

}  // namespace orbisk
