#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/status_codes.h"
#include "catalogue/firmware_selection.h"
#include "catalogue/image_selection.h"
#include "device/dev_type_info.h"

namespace orbisk {

class CICTypeIni;
class LogScope;

// Status codes of the device flow.

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
    // The two chip identity bytes of the open camera (0, 0 without one); 0 when the read
    // failed.
    int DEV_ReadChipIdentity();
    // What is read of a camera behind a MIPI bridge when it is found: its device information
    // and the bridge's version, the first image of the program folder, the reserved tail of
    // the bridge's flash; the project type becomes 5. 1 when an image was found.
    int DEV_ReadMipiCameraInfo();

    // Cameras found in their boot ROM. Reads the open camera's status block and, when it runs
    // its boot ROM, the recovery record of its port into texts().recovery; 0 when the status
    // cannot be read.
    int DEV_CheckRecovery();
    // A camera in its boot ROM without a record is only written when the operator asked for
    // it; it then gets the image's own serial number.
    void SetRecoverWithoutRecord(bool allow) { recover_without_record_ = allow; }
    bool recover_without_record() const { return recover_without_record_; }
    // Whether the open camera may be written: it runs its code, or it is in its boot ROM with
    // a valid record, or without one on the operator's request.
    bool CameraMayBeWritten() const;
    // The carried image for the open camera into the front slot ("Load File Data"): for the
    // camera's identity, or for a camera in its boot ROM for the identity its record names (on
    // request, without a record, for any identity: the chip check decides). False when there
    // is none. `before_asking`: the operator is yet to be asked about a camera without a record
    // (the download itself still refuses it until then).
    bool DEV_LoadImageForCamera(bool before_asking = false);
    // The camera's serial number as records show it: its manufacturer string, or for a camera
    // in its boot ROM the one its recovery record keeps (the boot ROM's strings are the
    // controller's own).
    std::string SerialNumberText() const;
    // The image check for the chip identity, with the image chosen as above (a camera in its
    // ROM without a record is checked whether or not it may be written).
    int DEV_CheckImageForCamera();

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
    // What the image for the open camera is: the operator's file, else for a camera in its boot
    // ROM the file its recovery record names, else the carried image for the camera's (or the
    // record's) identity.
    ImageSelection Selection();
    // The image checks of the firmware selection for the open camera.
    // The caller's scope receives the trace of the descriptor walk.
    int CheckImageForChip(LogScope& scope);
    int FindFirstImage(LogScope& scope);

    // Messages for the operator go to the notice callback when there is one.
    void Notice(const std::string& text) override;

    // What the memory types call around an update, so that no failure strands a camera.
    // First: the camera answers, and runs its code or may be written from its boot ROM.
    // Reports its own failure (41511 no answer, 41530 a boot ROM camera without usable record).
    bool CheckCameraForWriting(LogScope& scope);
    // Before the camera leaves its code: records what the update will overwrite (a camera
    // already in its ROM keeps the record it has, with the image now written in it). False,
    // with status 41737, when the record cannot be written: nothing may be erased without it.
    bool RecordBeforeUpdate(std::span<const uint8_t> image_as_loaded, LogScope& scope,
                            uint32_t& code);
    // An image file is the camera's own (or the identity its record names): false with
    // images().problem (41714) when it is another camera's.
    bool CheckFileIdentity();
    // After a pass: the camera runs the new image, its record is done with.
    void ForgetRecovery(LogScope& scope);
    // The bridge of a camera behind one (dev_flow_bridge_recovery.cpp). When it is found: is it
    // in its boot ROM, and is there a record of the update that left it there.
    void CheckBridgeRecovery();
    // The reserved data kept with the bridge's record; false when there are none whole.
    bool ReservedDataFromRecord(std::vector<uint8_t>* data);
    // Before the bridge leaves its code: the record and the reserved data; a record already
    // there is kept, since the flash it would be taken from may be half written.
    bool RecordBridgeBeforeUpdate(std::span<const uint8_t> image, LogScope& scope, uint32_t& code);
    void ForgetBridgeRecovery(LogScope& scope);
    // The serial number to carry into the image: read from the camera now when it runs its
    // code, taken from the record when it is in its ROM; nullopt when none is to be carried (the
    // image keeps its own). False when it cannot be read or is empty: the update must stop
    // before anything is erased.
    bool SerialToCarry(std::optional<std::string>* serial, LogScope& scope);

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
    bool ReadPortPair();
    void StorePortPair();
    bool ReadIdentity();
    // The open steps after the camera answered: port, chip identity, identity, how it runs. A
    // camera lost on the way is closed again and reported as not found.
    bool IdentifyOpenedCamera(LogScope& scope, bool with_identity);
    // For a camera in its boot ROM (listed by the dialog): whether the dialog may offer it.
    int RomCameraCheck(int image_fits, int32_t ini);
    // The identity the image is chosen for.
    void ImageIdentity(uint16_t* vid, uint16_t* pid, bool* any) const;
    // The chip identity bytes read when the camera was opened, 0xFE22 in the high byte.
    uint16_t ChipIdentityWord() const;
    // "VID_…&PID_…&REV_…", or "MIPI Camera" for a bridge when MIPI cameras are enabled.
    std::string ListLabel();
    int ProbeMipi();
    // The device information step of a listed camera; whether the carried image fits it.
    int DeviceInfoForListedCamera(LogScope& scope);
    // The checks of a candidate in the default choice and the list refresh.
    int CheckCandidate(LogScope& scope, int32_t ini, int32_t bin, bool lenient_ini);
    // With an image file: the camera may be offered when the lists allow it and the file fits.
    int FileCheckResult(int allowed, int fits);
    void Report(uint32_t kind, uint32_t code, intptr_t extra = 0);
    void Fail(LogScope& scope, const char* text);

    DeviceFlowPeer own_peer_;
    DeviceFlowPeer* peer_ = &own_peer_;
    NoticeFn notice_;
    bool recover_without_record_ = false;
};

}  // namespace orbisk
