#include "device/mp_flow.h"

#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"

namespace orbisk {

namespace {
constexpr uint32_t kOpenFailPauseMs = 128;
constexpr uint32_t kReopenPollMs = 100;
}  // namespace

CMpFlow::CMpFlow(Process& process, CamLib& camlib) : process_(process), camlib_(camlib) {}

CMpFlow::~CMpFlow() = default;

int CMpFlow::MP_OpenDevice(int index) {
    if (process_.CheckCancel()) return 0;
    if (conn_.camera_handle != 0) camlib_.CamLib_Close();
    conn_.camera_handle = 0;
    conn_.camera_handle = camlib_.CamLib_OpenDevice(index);
    if (conn_.camera_handle != 0) return 1;
    LogScope scope(process_.logger, "CMpFlow::MP_OpenDevice", 0);
    scope.Text("----------------: ");
    scope.Text("MP_OpenDevice Fail %d\n", index);
    process_.clock.sleep_ms(kOpenFailPauseMs);
    return 0;
}

int CMpFlow::MP_ReopenCamera(uint64_t node_handle, uint32_t wait_ms) {
    const uint64_t deadline = process_.clock.now_ms() + wait_ms;
    for (;;) {
        if (process_.CheckCancel()) break;
        MP_CloseDevice();
        int index = camlib_.CamLib_IndexOf(node_handle);
        if (index >= 0 && camlib_.CamLib_OpenDeviceAt(&index) == node_handle) {
            conn_.camera_handle = node_handle;
            return 1;
        }
        if (process_.clock.now_ms() >= deadline) break;
        process_.clock.sleep_ms(kReopenPollMs);
    }
    MP_CloseDevice();
    return 0;
}

int CMpFlow::MP_CloseDevice() {
    camlib_.CamLib_Close();
    conn_.camera_handle = 0;
    return 1;
}

int CMpFlow::MP_ReadMem(uint32_t addr, uint32_t len, uint8_t* buf) {
    if (conn_.camera_handle == 0) return 0;
    return camlib_.CamLib_ReadMem(conn_.camera_handle, addr, len, buf, conn_.command_options);
}

int CMpFlow::MP_WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf) {
    if (conn_.camera_handle == 0) return 0;
    return camlib_.CamLib_WriteMem(conn_.camera_handle, addr, len, buf, conn_.command_options);
}

}  // namespace orbisk
