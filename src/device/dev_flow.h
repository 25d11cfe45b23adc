#pragma once
#include <cstdint>
#include <string>

#include "catalogue/firmware_selection.h"
#include "device/dev_type_info.h"

namespace orbisk {

class CICTypeIni;
class LogScope;

// Status codes of the device flow.
inline constexpr uint32_t kStatusNotSupport = 41500;
inline constexpr uint32_t kStatusDetectDeviceFail = 41511;
inline constexpr uint32_t kStatusVidPidMismatch = 41714;
inline constexpr uint32_t kStatusDeviceInfoSucceed = 41906;

// The layer of the device object that turns the plugged-in cameras into one open, identified
// camera: lists them for the dialog, chooses the default one, opens one for the command line,
// and closes it again. Every list operation leaves no camera open.
class CDevFlow : public CDevTypeInfo {
  public:
    CDevFlow(Process& process, CamLib& camlib, CICTypeIni& profiles);
    ~CDevFlow() override;

    // The dialog (or command-line object) the flow reports its choices to; without one the
    // flow keeps its own.
    void SetPeer(DeviceFlowPeer* peer) { peer_ = peer ? peer : &own_peer_; }
    DeviceFlowPeer& peer() { return *peer_; }
    void SetNotice(NoticeFn notice) { notice_ = std::move(notice); }

    int DEV_OpenDeviceByICIni(int index);
    int DEV_OpenMIPIDevice();
    int DEV_OpenDeviceByVIDPID();
    int DEV_GetDeviceInfo();
    void DEV_CloseDevice();
    int DEV_GetDefaultDeviceForAllInOne();
    int DEV_GetDeviceListForAllInOne(int32_t flag);
    int DEV_GetDeviceListAfterReset();
    int Dev_OpenDeviceForMultiCamera();
    // Runs the memory operation named by the letter ('W': write the image file).
    int DEV_RunCommand(char letter, const std::string& path);
    // Download options, reset kind and GPIO reset from the configuration.
    void DEV_SetTransportOptions();
    // The two chip identity bytes of the open camera (0, 0 without one).
    int DEV_ReadChipIdentity();
    // What is read of a camera behind a MIPI bridge when it is found: its device information
    // and the bridge's version, the first image of the program folder, the reserved tail of
    // the bridge's flash; the project type becomes 5.
    void DEV_ReadMipiCameraInfo();

    // The memory-type operations, in slot order; the memory-type classes provide them.
    virtual int PreUpdate(const uint8_t* buffer, uint32_t word);
    virtual int Read();
    virtual int Erase();
    virtual int Update();
    virtual int Download();
    virtual int DumpCheck();
    virtual int SilenceWriteBin(const std::string& path);
    virtual int SilenceWriteSNBin(const std::string& path);
    virtual int SilenceReadBin(const std::string& path);
    virtual int SilenceVerifyBin(const std::string& path);
    virtual int SilenceSaveHexBin(const std::string& path);
    virtual int SilenceErase(int reset_flag);
    virtual int SilenceDumpCheck(const std::string& path);

    int32_t selected_index = -1;
    int32_t check_result = 1;
    uint32_t otp_space_used = 0;

  protected:
    // The image checks of the firmware selection for the open camera.
    int CheckImageForChip();
    int FindFirstImage();

    // Messages for the operator go to the notice callback when there is one.
    void Notice(const std::string& text) override;

    // Steps of the neighbouring layers: the MIPI-bridge and OTP information.
    virtual int ReadMipiDeviceInfo() = 0;
    virtual int ReadMipiReserve(int32_t reserve) = 0;
    virtual uint32_t ReadOtpSpaceUsed() = 0;

  private:
    struct ListPass;
    // A list operation examines every camera, so each later one overwrites the object's
    // identity; these keep the selected camera's and put it back once the walk is done.
    void KeepSelected(ListPass& pass);
    void RestoreSelected(const ListPass& pass);
    void ReadPortPair();
    void StorePortPair();
    void ReadIdentity();
    // "VID_…&PID_…&REV_…", or "MIPI Camera" for a bridge when MIPI cameras are enabled.
    std::string ListLabel();
    int ProbeMipi();
    void DeviceInfoForListedCamera();
    // The checks of a candidate in the default choice and the list refresh.
    int CheckCandidate(int32_t ini, int32_t bin, bool lenient_ini);
    void Report(uint32_t kind, uint32_t code, intptr_t extra = 0);
    void Fail(LogScope& scope, const char* text);

    DeviceFlowPeer own_peer_;
    DeviceFlowPeer* peer_ = &own_peer_;
    NoticeFn notice_;
};

}  // namespace orbisk
