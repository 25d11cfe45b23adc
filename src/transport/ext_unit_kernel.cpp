#include "transport/ext_unit_kernel.h"

#include "base/logger.h"

namespace orbisk {

CExtUnitKernel::CExtUnitKernel(std::shared_ptr<CameraDriverControl> control,
                               const std::vector<uint8_t>& candidate_units, Logger& logger,
                               std::shared_ptr<DeviceLock> lock, HResult* result, bool log_failures)
    : CExtUnitBase(logger, std::move(lock)), control_(std::move(control)) {
    if (control_ == nullptr) {
        if (log_failures) {
            logger.DebugPrint("CExtUnitDShow fail to get IKsControl 0x%08x\n", uint32_t(kFail));
        }
        *result = kFail;
        return;
    }
    for (const uint8_t unit : candidate_units) {
        uint16_t length = 0;
        if (control_->GetLen(unit, kCommandSelector, &length) == kOk) {
            unit_id_ = unit;
            *result = kOk;
            return;
        }
    }
    if (log_failures) logger.DebugPrint("No zorvine extension unit found");
    *result = kFail;
}

HResult CExtUnitKernel::SendCmd(const uint8_t* block) {
    if (control_ == nullptr) return kFail;
    return control_->SetCur(unit_id_, kCommandSelector, block, 8);
}

HResult CExtUnitKernel::GetCmdStatus(uint8_t* status) {
    if (control_ == nullptr) return kFail;
    return control_->GetCur(unit_id_, kCommandSelector, status, 8);
}

HResult CExtUnitKernel::GetData(uint8_t* packet) {
    if (control_ == nullptr) return kFail;
    return control_->GetCur(unit_id_, kDataSelector, packet, uint16_t(data_control_size_));
}

HResult CExtUnitKernel::SetData(const uint8_t* packet) {
    if (control_ == nullptr) return kFail;
    return control_->SetCur(unit_id_, kDataSelector, packet, uint16_t(data_control_size_));
}

bool CExtUnitKernel::ChangeDataControlSize(uint16_t* size) {
    if (*size == data_control_size_) return true;
    if (!IsUsableDataControlSize(*size)) {
        logger().DebugPrint("ChangeDataControlSize refuses size %u", *size);
        *size = uint16_t(data_control_size_);
        return false;
    }
    const HResult hr = SetCmd(xu::kChangeDataControlSize, P(0, *size));
    if (IsTransferFailure(hr)) {
        *size = uint16_t(data_control_size_);
        ReportError("ChangeDataControlSize SetCmd", hr);
        return false;
    }
    uint16_t length = 0;
    if (control_->GetLen(unit_id_, kDataSelector, &length) != kOk) {
        *size = uint16_t(data_control_size_);
        return false;
    }
    // A length of 0 would stall every packet loop, one above the transfer buffer overrun it.
    if (!IsUsableDataControlSize(length)) {
        logger().DebugPrint("ChangeDataControlSize: driver reports unusable size %u", length);
        *size = uint16_t(data_control_size_);
        return false;
    }
    data_control_size_ = length;
    return true;
}

}  // namespace orbisk
