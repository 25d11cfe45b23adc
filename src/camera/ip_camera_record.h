#pragma once
#include <string>

#include "camera/camera_records.h"
#include "platform/device_lock.h"
#include "transport/ip_cam_channel.h"

namespace orbisk {

class Logger;

// Operating-system codes of a record that could not be built.
inline constexpr int kErrorNotSupported = 50;
inline constexpr int kErrorConnectionRefused = 1225;

// Builds the "IPCD" record of the camera at `address` ("rtsp://host:port/…"): the host is
// checked, the camera connected on port 6666 and asked for its chip identity (command 15),
// under the tuning lock. The connection stays in the record for the camera's transport.
// 0 on success; kErrorInvalidParameter for an address that names no camera ("RTSP address is
// wrong!" in the trace), kErrorConnectionRefused when the camera cannot be reached. A camera
// that gives no usable chip identity is still opened (its capability then names 0x3901).
int BuildIpCameraRecord(const std::string& address, TcpNetwork& network, Logger& logger,
                        DeviceLock& tuning_lock, const IpCamTimeouts& timeouts,
                        CameraDeviceRecord* record);

}  // namespace orbisk
