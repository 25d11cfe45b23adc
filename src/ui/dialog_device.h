#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orbisk {

class DeviceListModel;

// What the dialog shows of the camera the last device search found. Taken on the thread that
// ran the search, right when it reports, so the window never reads the device object while
// the worker uses it.
struct DeviceSnapshot {
    std::string firmware_version;  // version text of the running firmware
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint16_t rev = 0;                // USB device revision
    std::string chip_text;           // chip description of the device object
    std::string description;         // description text of the device object
    std::string serial_text[2];      // [0] with "SN Address" 0, [1] otherwise
    int32_t chip_info = 0;           // "ChipInfo" of the matched chip profile
    int32_t firmware_available = 0;  // the image fits the camera (check result)
    int32_t otp_programmed = 0;      // OTP already holds code
    std::string identity;            // identity string of the camera ("Device ID")
    // A camera in its boot ROM: what Upgrade does with it or why it is disabled; empty for a
    // camera that runs its code.
    std::string rom_notice;
    // The image file chosen with "Open image...", refused for this camera: why. Empty otherwise.
    std::string image_notice;
    // In its boot ROM without a recovery record: the operator is asked before it is written.
    bool rom_without_record = false;
    std::string port;  // port chain of the camera, "1-1.4"
};

// The operations of the device object that the dialog and its worker use, and nothing more.
// Worker-thread operations run one at a time on the worker; the window calls the others only
// while the worker is idle.
class DialogDevice {
  public:
    virtual ~DialogDevice() = default;

    // The dialog's device list and wake event, which the device search fills and signals
    // (true sets the event, false resets it).
    virtual void AttachDialog(DeviceListModel* list, std::function<void(bool)> wake) = 0;

    // Worker thread.
    virtual int GetDefaultDevice() = 0;
    virtual int GetDeviceList(int32_t flag) = 0;
    // The operator chose entry `index` with text `label` in the device list.
    virtual int ApplySelection(int index, const std::string& label) = 0;
    virtual int OpenForMultiCamera() = 0;
    virtual void CloseDevice() = 0;
    // The open camera in the form notifications name it (CameraInstanceId); empty when closed.
    virtual std::string OpenCameraId() = 0;
    virtual void ResetToRom() = 0;
    virtual void SetTransportOptions() = 0;
    virtual void SetCommandOptions(uint32_t options) = 0;
    // The download slot of the memory-type operations; 1 success, 0 failure.
    virtual int Download() = 0;
    // The operator agreed to write a camera in its boot ROM that has no recovery record.
    virtual void SetRecoverWithoutRecord(bool) {}
    virtual DeviceSnapshot Snapshot() = 0;

    // Window thread, worker idle.
    // Loads the firmware image for the camera into the device object; 1 success.
    virtual int LoadFirmware() = 0;
    virtual std::vector<uint8_t> ImageBytes() = 0;
    virtual std::string FirmwarePath() = 0;
    // The bridge memory's reserved tail read when the camera was found; empty when none.
    virtual std::vector<uint8_t> ReservedData() = 0;
    // Copies bytes over the device object's image; false (nothing written) past its end.
    virtual bool OverwriteImage(size_t offset, const uint8_t* data, size_t size) = 0;
    // Where the bridge update gets the image CRC computed in the background: waits at most
    // timeout_ms; false when none arrived.
    virtual void SetImageCrcSource(std::function<bool(uint32_t timeout_ms, uint32_t* crc)>) = 0;

    // Any thread: the camera was unplugged during an operation.
    virtual void MarkCameraGone() = 0;
};

// Creates the device object through the device factory; when `previous` is given the new
// object takes over its per-camera fields (open handle, identity, flags).
using DeviceMaker = std::function<std::unique_ptr<DialogDevice>(DialogDevice* previous)>;

}  // namespace orbisk
