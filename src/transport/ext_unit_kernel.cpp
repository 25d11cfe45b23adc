#include "transport/ext_unit_kernel.h"

#include <cerrno>

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
    // A size the driver refused is given back before the next command; not before the abort
    // block, which has to close the failed data phase first.
    if (size_to_restore_ != 0 && block[0] != xu::kAbort.group) {
        const uint8_t restore[8] = {
            xu::kChangeDataControlSize.group, xu::kChangeDataControlSize.opcode, 0, 0,
            uint8_t(size_to_restore_),        uint8_t(size_to_restore_ >> 8),    0, 0};
        if (control_->SetCur(unit_id_, kCommandSelector, restore, 8) == kOk) {
            data_control_size_ = size_to_restore_;
            size_to_restore_ = 0;
        }
    }
    return control_->SetCur(unit_id_, kCommandSelector, block, 8);
}

HResult CExtUnitKernel::GetCmdStatus(uint8_t* status) {
    if (control_ == nullptr) return kFail;
    return control_->GetCur(unit_id_, kCommandSelector, status, 8);
}

HResult CExtUnitKernel::GetData(uint8_t* packet) {
    if (control_ == nullptr) return kFail;
    return AfterDataPacket(
        control_->GetCur(unit_id_, kDataSelector, packet, uint16_t(data_control_size_)));
}

HResult CExtUnitKernel::SetData(const uint8_t* packet) {
    if (control_ == nullptr) return kFail;
    return AfterDataPacket(
        control_->SetCur(unit_id_, kDataSelector, packet, uint16_t(data_control_size_)));
}

HResult CExtUnitKernel::AfterDataPacket(HResult result) {
    // The camera driver learns the data control's length when it first meets the control and
    // refuses every other size (ENOBUFS) before the camera sees the packet. A size changed
    // after that cannot be used: the camera goes back to the size it had before the change, and
    // the transport keeps that one. The operation fails this once; the caller's retry runs at
    // the kept size.
    if (result == ResultFromErrno(ENOBUFS) && size_before_change_ != 0 &&
        size_before_change_ != data_control_size_ && size_to_restore_ == 0) {
        refused_size_ = data_control_size_;
        size_to_restore_ = size_before_change_;
        logger().DebugPrint("ChangeDataControlSize: the camera driver keeps size %u, not %u",
                            size_to_restore_, refused_size_);
    }
    return result;
}

bool CExtUnitKernel::ChangeDataControlSize(uint16_t* size) {
    if (*size == data_control_size_) return true;
    if (!IsUsableDataControlSize(*size) || *size == refused_size_) {
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
    size_before_change_ = data_control_size_;
    data_control_size_ = length;
    return true;
}

}  // namespace orbisk
