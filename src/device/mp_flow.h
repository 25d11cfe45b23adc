#pragma once
#include <cstdint>

#include "device/device_state.h"
#include "image/firmware_image.h"

namespace orbisk {

struct Process;
class CamLib;

// Bottom layer of the device object: the connection to the one open camera and the helpers
// every flow uses on it.
class CMpFlow {
  public:
    CMpFlow(Process& process, CamLib& camlib);
    virtual ~CMpFlow();
    CMpFlow(const CMpFlow&) = delete;
    CMpFlow& operator=(const CMpFlow&) = delete;

    // Opens enumeration index `index` after closing the open camera: one attempt.
    int MP_OpenDevice(int index);
    int MP_CloseDevice();
    // Opens the camera on the port that `node_handle` names afresh, waiting at most wait_ms for
    // it to be back on the bus: after a reset whose reconnection failed, the library may hold
    // nothing or another camera.
    int MP_ReopenCamera(uint64_t node_handle, uint32_t wait_ms);
    int MP_ReadMem(uint32_t addr, uint32_t len, uint8_t* buf);
    int MP_WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf);
    // The device information texts of the open camera for the dialogs.
    virtual int MP_GetDeviceInfo() = 0;

    DeviceConnection& connection() { return conn_; }
    DeviceTexts& texts() { return texts_; }
    ImageRecord& images() { return images_; }

  protected:
    Process& process_;
    CamLib& camlib_;
    DeviceConnection conn_;
    DeviceTexts texts_;
    ImageRecord images_;
};

}  // namespace orbisk
