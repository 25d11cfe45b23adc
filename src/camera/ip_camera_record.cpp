#include "camera/ip_camera_record.h"

#include "base/logger.h"
#include "camera/usb_enumeration.h"
#include "platform/tuning_lock.h"

namespace orbisk {

int BuildIpCameraRecord(const std::string& address, TcpNetwork& network, Logger& logger,
                        DeviceLock& tuning_lock, const IpCamTimeouts& timeouts,
                        CameraDeviceRecord* record) {
    std::string host, reason;
    if (!ipcam::HostOfAddress(address, &host, &reason)) {
        logger.DebugPrint("%s\n", reason.c_str());
        return kErrorInvalidParameter;
    }
    IpCamChannel channel(address, network, logger, timeouts);
    std::optional<uint16_t> chip;
    {
        TuningLockScope lock(tuning_lock, logger, "BuildIpCameraRecord");
        if (!lock.held() || !channel.Connect()) return kErrorConnectionRefused;
        IpCamReply reply;
        if (channel.Exchange(ipcam::Request(ipcam::kChipIdentity, 0, nullptr, 0),
                             ipcam::kChipIdentityTextMax, &reply) == kOk) {
            uint16_t word = 0;
            if (ipcam::ParseChipIdentityText(reply.data.data(), reply.data.size(), &word))
                chip = word;
            else
                logger.DebugPrint("%s: the chip identity is not a hexadecimal number\n",
                                  address.c_str());
        }
    }
    *record = CameraDeviceRecord{};
    record->tag = AccessTag::kIpCamera;
    record->friendly_name = "IP Camera " + host;
    record->class_kind = 1;
    record->ip_address = address;
    record->ip_connection = channel.Release();
    record->ip_chip_identity = chip;
    return 0;
}

}  // namespace orbisk
