#include "transport/ext_unit.h"

#include <cstring>

#include "base/logger.h"
#include "transport/driver_requests.h"

namespace orbisk {

CExtUnit::CExtUnit(UsbDeviceHandle& device, uint8_t unit_id, uint8_t interface_number,
                   Logger& logger, std::shared_ptr<DeviceLock> lock, uint32_t lock_timeout_ms)
    : CExtUnitBase(logger, std::move(lock)),
      device_(device),
      unit_id_(unit_id),
      interface_number_(interface_number) {
    set_lock_timeout_ms(lock_timeout_ms);
    // Class requests to the video-control interface need it; a refusal shows up again as the
    // failure of the first request.
    const HResult claimed = device_.ClaimInterface(interface_number_);
    if (claimed != kOk) {
        this->logger().DebugPrint("ClaimInterface %u failed %x", interface_number_,
                                  uint32_t(claimed));
    }
    ProbeMipiIO();
}

HResult CExtUnit::Request(const char* what, uint8_t type_bits, uint8_t request, uint8_t selector,
                          uint8_t* data, uint16_t length) {
    const HResult hr = ClassRequest(device_, type_bits, request, selector, unit_id_,
                                    interface_number_, data, length, kRequestTimeoutMs);
    if (hr != kOk) logger().DebugPrint("%s failed %d\n", what, OsErrorOf(hr));
    return hr;
}

HResult CExtUnit::SendCmd(const uint8_t* block) {
    uint8_t copy[8];
    std::memcpy(copy, block, 8);
    return Request("SetCmd", kClassSetType, kSetCur, kCommandSelector, copy, 8);
}

HResult CExtUnit::GetCmdStatus(uint8_t* status) {
    return Request("GetCmdStatus", kClassGetType, kGetCur, kCommandSelector, status, 8);
}

HResult CExtUnit::GetData(uint8_t* packet) {
    return Request("GetData", kClassGetType, kGetCur, kDataSelector, packet,
                   uint16_t(data_control_size_));
}

HResult CExtUnit::SetData(const uint8_t* packet) {
    // Packets come from the caller's buffer or the transfer buffer; the request only reads them.
    uint8_t copy[kTransferBufferSize];
    std::memcpy(copy, packet, data_control_size_);
    return Request("SetData", kClassSetType, kSetCur, kDataSelector, copy,
                   uint16_t(data_control_size_));
}

bool CExtUnit::ChangeDataControlSize(uint16_t* size) {
    if (*size == data_control_size_) return true;
    bool failed = true;
    CSyncOperate sync(lock(), failed, "CExtUnit::ChangeDataControlSize", logger(),
                      lock_timeout_ms());
    if (failed) return false;
    if (!IsUsableDataControlSize(*size)) {
        logger().DebugPrint("ChangeDataControlSize refuses size %u", *size);
        *size = uint16_t(data_control_size_);
        return false;
    }
    const uint16_t requested = *size;
    HResult hr = SetCmd(xu::kChangeDataControlSize, P(0, requested));
    if (hr != kOk) {
        *size = uint16_t(data_control_size_);
        ReportError("ChangeDataControlSize SetCmd", hr);
        return false;
    }
    uint8_t reply[2] = {};
    hr = ClassRequest(device_, kClassGetType, kGetLen, kDataSelector, unit_id_, interface_number_,
                      reply, 2, kRequestTimeoutMs);
    if (hr != kOk) {
        *size = uint16_t(data_control_size_);
        ReportError("ChangeDataControlSize SetCmd", hr);
        return false;
    }
    const uint16_t length = uint16_t(reply[0] | (reply[1] << 8));
    // A length of 0 would stall every packet loop, one above the transfer buffer overrun it.
    if (!IsUsableDataControlSize(length)) {
        logger().DebugPrint("ChangeDataControlSize: device reports unusable size %u", length);
        *size = uint16_t(data_control_size_);
        return false;
    }
    data_control_size_ = length;
    if (length == requested) return true;
    *size = length;
    return false;
}

}  // namespace orbisk
