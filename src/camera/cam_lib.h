#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/cam_dev.h"
#include "camera/transport_factory.h"
#include "camera/usb_enumeration.h"

namespace orbisk {

struct Process;
class COrvCam;
class CIpCamVendorCmd;

// Command option bits of the library calls.
inline constexpr uint32_t kOptionForceExtUnit = 0x20;
inline constexpr uint32_t kOptionMediaClass = 0x40;  // ROM reset: look for the media function
inline constexpr uint32_t kOptionUseGiven = 0x01;    // ROM reset: trust the capability record

// Reset opcodes of the proxy-level reset.
inline constexpr uint8_t kResetOpcodeUpdate = 7;
inline constexpr uint8_t kResetOpcodeRom = 9;
inline constexpr uint32_t kResetTimeoutMs = 15000;

// The camera function library: holds the one open camera and forwards each request to the
// transport that suits it. The camera handle is the camera's device-node handle; 0 is none.
class CamLib {
  public:
    CamLib(Process& process, UsbBus& bus, TransportFactory& factory);
    ~CamLib();
    CamLib(const CamLib&) = delete;
    CamLib& operator=(const CamLib&) = delete;

    // Access method: 0 direct USB, 1 and 2 the kernel camera driver.
    int CamLib_Init(int requested);
    void CamLib_Uninit();
    int CamLib_GetLibType() const { return lib_type_; }

    uint8_t CamLib_GetDeviceCount();
    uint64_t CamLib_OpenDevice(int index);
    // Same without the already-open shortcut; an index past the end becomes -1.
    uint64_t CamLib_OpenDeviceAt(int* index);
    // The enumeration index of the camera with this device-node handle; -1 when it is not on
    // the bus.
    int CamLib_IndexOf(uint64_t node_handle);
    int CamLib_Close();
    uint64_t handle() const { return handle_; }
    CCamDev* camera() { return camera_.get(); }

    // IP cameras, listed after the USB imaging cameras: enumeration index = number of USB
    // cameras + position in `addresses` ("rtsp://host:port/…"). Only callers that mean IP
    // cameras name them, so an update of a USB camera never reaches one.
    void CamLib_SetIpCameras(std::vector<std::string> addresses);
    size_t CamLib_GetIpCameraCount() const { return ip_addresses_.size(); }
    // The open camera's IP transport; null when no IP camera is open.
    CIpCamVendorCmd* CamLib_IpCamera();
    // The file upload to the open IP camera, with progress (bytes sent): the transport's
    // result (0 success, the camera's status, 1 when the transfer failed), kFail without one.
    HResult CamLib_IpCamSendFile(uint64_t handle, const std::string& path,
                                 ProgressCallback progress, void* context);

    int CamLib_ResetToUpdateFW(uint64_t* handle, uint16_t arg, uint32_t options, uint32_t wait_ms);
    int CamLib_ResetToRomAndReconnect(uint64_t* handle, uint32_t options, uint32_t wait_ms);

    int CamLib_GetPortLocation(uint64_t node_handle, uint32_t* port, uint64_t* hub);
    int CamLib_GetVidPidRev(uint16_t* vid, uint16_t* pid, uint16_t* rev);
    int CamLib_GetIdentity(uint16_t* vid, uint16_t* pid, uint16_t* rev, std::string* manufacturer);
    int CamLib_GetManufacturerString(std::string* text);
    int CamLib_GetSerialString(std::string* text);
    int CamLib_GetFriendlyName(std::string* text);

    // Forwarding functions (1 success, 0 failure or no camera).
    int CamLib_ReadMem(uint64_t handle, uint32_t addr, uint32_t len, uint8_t* buf,
                       uint32_t options);
    int CamLib_WriteMem(uint64_t handle, uint32_t addr, uint32_t len, const uint8_t* buf,
                        uint32_t options);
    // The status records from `first_record` to the last one, at the start of `out`; the bytes
    // past them are left as they were.
    int CamLib_GetDevStatus(uint64_t handle, uint8_t* out /* 104 */, uint32_t options,
                            uint16_t first_record = 0);
    // `count` bytes of the status block from its 8-byte record `first_record` on.
    int CamLib_GetDevStatusRecords(uint64_t handle, uint16_t first_record, uint8_t* out,
                                   uint32_t count, uint32_t options);
    int CamLib_ResetToRom(uint64_t handle);
    int CamLib_SetPowerMipi(uint64_t handle, uint8_t state, uint32_t options);
    int CamLib_DevQualify(uint64_t handle);
    // 1 for the bridge signature "MIPI IO", 2 for "MIPISIM", 0 otherwise.
    int CamLib_ProbeMipiBridge(uint64_t handle);
    int CamLib_HasBulkEndpoint(uint64_t handle);
    void CamLib_NotifyDeviceArrival(uint64_t handle);
    int CamLib_ReadDeviceProperties(uint64_t handle, int flag, uint8_t* out /* 104 */,
                                    uint32_t options);

    // Program memories.
    int CamLib_SPI_SF_ReadID(uint64_t handle, uint8_t* id /* 8 */, uint32_t options);
    int CamLib_SPI_SF_ReadSr(uint64_t handle, uint8_t* status, uint32_t options);
    int CamLib_SPI_SF_WriteSr(uint64_t handle, uint8_t value, uint32_t options);
    int CamLib_SPI_SF_EraseChip(uint64_t handle, uint32_t options);
    int CamLib_SPI_SF_Read(uint64_t handle, uint32_t addr, uint32_t len, uint8_t* buf,
                           ProgressCallback progress, void* context, uint32_t options);
    int CamLib_SPI_SF_Write(uint64_t handle, uint32_t addr, uint32_t len, const uint8_t* buf,
                            ProgressCallback progress, void* context, uint32_t options);
    int CamLib_SPI_SF_WriteTag(uint64_t handle, uint32_t options);
    int CamLib_NorFlash_Erase(uint64_t handle, uint32_t options);
    int CamLib_NorFlash_Write(uint64_t handle, uint32_t addr, uint32_t len, const uint8_t* buf,
                              uint32_t options);
    int CamLib_NorFlash_WriteTag(uint64_t handle, uint32_t options);
    int CamLib_I2C_EEP8_Read(uint64_t handle, uint32_t addr, uint32_t len, uint8_t* buf,
                             uint32_t options);
    int CamLib_I2C_EEP8_Write(uint64_t handle, uint32_t addr, uint32_t len, const uint8_t* buf,
                              uint32_t options);
    int CamLib_I2C_EEP8_WriteTag(uint64_t handle, uint32_t options);
    int CamLib_I2C_EEP8_Erase(uint64_t handle, uint32_t len, uint32_t options);
    int CamLib_I2C_EEP16_Read(uint64_t handle, uint32_t addr, uint32_t len, uint8_t* buf,
                              ProgressCallback progress, void* context, uint32_t options);
    int CamLib_I2C_EEP16_Write(uint64_t handle, uint32_t addr, uint32_t len, const uint8_t* buf,
                               ProgressCallback progress, void* context, uint32_t options);
    int CamLib_I2C_EEP16_WriteTag(uint64_t handle, uint32_t options);
    int CamLib_I2C_EEP16_Erase(uint64_t handle, uint32_t len, uint32_t options);
    int CamLib_I2CLongRead(uint64_t handle, uint16_t slave, uint16_t reg, uint32_t len,
                           uint8_t* buf, uint32_t options);
    int CamLib_ReadCode(uint64_t handle, uint32_t addr, uint32_t len, uint8_t* buf);
    int CamLib_MTP_Read(uint64_t handle, uint32_t addr, uint32_t len, uint8_t* buf,
                        ProgressCallback progress, void* context);
    int CamLib_MTP_Write(uint64_t handle, uint32_t addr, uint32_t len, const uint8_t* buf,
                         ProgressCallback progress, void* context);
    int CamLib_MTP_Erase(uint64_t handle, uint32_t len);
    int CamLib_MTP_WriteTag(uint64_t handle);
    // The OTP write keeps the transport's last command status for the OTP flow.
    int CamLib_OTP_Write(uint64_t handle, uint16_t addr, uint16_t bank, uint16_t len,
                         const uint8_t* buf, uint32_t ignored1, uint32_t ignored2);
    int CamLib_OTP_Read(uint64_t handle, uint16_t addr, uint16_t len, uint8_t* buf,
                        uint32_t ignored1, uint32_t ignored2);
    int CamLib_OTP_ReadProgramFailAdr(uint64_t handle, uint16_t len, uint8_t* buf);
    uint8_t last_otp_status() const { return last_otp_status_; }
    int CamLib_ChangeDataControlSize(uint64_t handle, uint16_t* size);
    // 1 when the commands `options` select carry their data in data-control packets.
    int CamLib_DataInPackets(uint64_t handle, uint32_t options);

    // The MIPI bridge's functions (cam_lib_bridge.cpp): its two mailboxes over the I2C long
    // read and write, flash programming pipelined over both. 1 success, 0 failure.
    int CamLib_Bridge_SetParams(uint64_t handle, uint32_t piece_size, uint32_t options);
    // The low nibble of the mode register (1 boot ROM, 2 application); with `flag` a 1 reads
    // as 2; 0 when the read fails.
    int CamLib_Bridge_GetMode(uint64_t handle, int flag);
    int CamLib_Bridge_WaitMode1(uint64_t handle);
    int CamLib_Bridge_WaitMode2(uint64_t handle);
    int CamLib_Bridge_ReadMem(uint64_t handle, uint16_t addr, uint8_t len, uint8_t* buf);
    int CamLib_Bridge_WriteMem(uint64_t handle, uint16_t addr, uint8_t len, const uint8_t* data);
    int CamLib_Bridge_FlashRead(uint64_t handle, uint32_t addr, uint32_t len, uint8_t* buf);
    // Posts a program command of at most 256 bytes; its outcome is collected by the next
    // command on its mailbox or by CamLib_Bridge_FlashProgramWait.
    int CamLib_Bridge_FlashProgram(uint64_t handle, uint32_t addr, uint32_t len,
                                   const uint8_t* data);
    int CamLib_Bridge_FlashProgramWait(uint64_t handle);
    int CamLib_Bridge_FlashChecksum(uint64_t handle, uint32_t addr, uint32_t len,
                                    uint8_t* out /* 4 */);
    int CamLib_Bridge_FlashReadStatus(uint64_t handle, uint8_t* status);
    int CamLib_Bridge_FlashWriteStatus(uint64_t handle, uint8_t value);
    int CamLib_Bridge_FlashCommand07(uint64_t handle);
    int CamLib_Bridge_FlashErase08(uint64_t handle, uint32_t addr);
    int CamLib_Bridge_FlashCommand09(uint64_t handle);
    int CamLib_Bridge_Command0507(uint64_t handle, uint8_t value);
    int CamLib_Bridge_Command0508(uint64_t handle);
    int CamLib_Bridge_ReadInfo(uint64_t handle, uint8_t* out /* 32 */);
    // Pipelined programming (the default); switched off, each program command waits for its
    // own end, as an ordinary command does.
    void SetBridgePipelining(bool on) { bridge_.pipelined = on; }

  private:
    COrvCam* orv();
    // "XU or general": option 0x20 takes the access method's extension unit.
    CVendorCmdCommon* XuOrGeneral(uint32_t options);
    // "proxy XU or general": option 0x20 takes the proxy extension unit itself.
    CVendorCmdCommon* ProxyXuOrGeneral(uint32_t options);
    // Option 0x20: the extension unit; else the access method's extension-unit transport.
    CVendorCmdCommon* ExtUnitOrSelected(uint32_t options);
    bool OpenEntry(const CameraListEntry& entry);
    uint64_t OpenIpCamera(size_t position);
    // The proxy-level reset and reconnect: 0 or an operating-system code.
    int ProxyResetAndReconnect(uint16_t arg, uint8_t opcode, bool use_given, bool force_ext_unit,
                               uint32_t wait_ms);
    int KernelResetAndReconnect(bool update, uint16_t arg, uint32_t wait_ms);
    int AfterProxyReset(int error, uint64_t* handle);
    // Waits until a device shows up again at `location` (cut at "#USBMI("), at most wait_ms.
    void WaitForArrival(const std::string& location, uint32_t wait_ms);

    // The bridge's settings and what the library knows of its mailboxes.
    struct BridgeState {
        uint32_t piece_size = 64;
        uint32_t options = 0;
        bool pipelined = true;
        bool good[2] = {true, true};    // the last finished command had no error bit
        bool used[2] = {false, false};  // a program command was started on it
    };
    CVendorCmdCommon* BridgeCommandTransport();
    CVendorCmdCommon* BridgeStatusTransport();
    bool BridgeStatus(int mailbox, uint8_t* status);
    bool BridgeWrite(int mailbox, const std::vector<uint8_t>& block);
    // Reads the mailbox's status until it is not busy, at most `reads` times; records the
    // outcome in good[]. False on a time-out.
    bool BridgeWaitMailbox(int mailbox, uint32_t reads);
    // An ordinary command: a free mailbox, the block, its end, its reply (long or short).
    int BridgeCommand(const std::vector<uint8_t>& block, bool long_reply, uint8_t* reply,
                      uint32_t reply_len);
    int BridgeWaitMode(int mode);
    BridgeState bridge_;

    Process& process_;
    UsbEnumeration enumeration_;
    TransportFactory& factory_;
    int lib_type_ = 0;
    std::unique_ptr<CCamDev> camera_;
    uint64_t handle_ = 0;
    uint8_t last_otp_status_ = 0;
    std::vector<std::string> ip_addresses_;
};

}  // namespace orbisk
