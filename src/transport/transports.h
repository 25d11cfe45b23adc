#pragma once
// The device command layer as the camera object sees it.
//
// Every transport is a CVendorCmdCommon; an operation it does not carry answers kNotImpl (and
// DevQualify false) without touching the device. Results: 0 success, 1 device lock not taken,
// kInvalidArg before anything was sent, 0x8007nnnn for operating-system error nnnn
// (kDeviceGone when the camera left), other negative values as the platform gave them.
//
// Creating them ("Lib Type" 0 reaches the device handle, 1 and 2 the kernel camera driver):
//
//   auto lock = OpenDeviceLock();  // "ICOperateSync_2014_3_28", shared by all tools
//   CExtUnit xu(*handle, unit_id, vc_interface, logger, lock);       // probes for MIPI I/O
//   CVendorRequestV1 v1(*handle, unit_id, vc_interface, logger, lock);
//   CVendorRequestV2 v2(*handle, logger);                            // takes no lock
//   HResult result;
//   CExtUnitDShow ks(bus.OpenCameraDriver(node), extension_units, logger, lock, &result);
//   // result != 0: no usable extension unit; discard the object.
//
// The device handle belongs to the camera record and must outlive the transports made on it.
// Extension-unit transports take the device lock for every operation (recursive per thread)
// and own a packet-sized transfer buffer: one object must not be used from two threads without
// that lock, which every operation takes itself.
//
// Before a camera object exists, enumeration and reset use driver_requests.h: the request
// helpers, the extension-unit exchanges ExtUnit_* (8-byte packets, true on success) and the
// vendor probes of both request generations.
#include "platform/device_lock.h"
#include "transport/driver_requests.h"
#include "transport/ext_unit.h"
#include "transport/ext_unit_kernel.h"
#include "transport/vendor_cmd_common.h"
#include "transport/vendor_request_v1.h"
#include "transport/vendor_request_v2.h"
