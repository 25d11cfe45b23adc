#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "device/byte_memory_plan.h"
#include "device/dump_compare.h"
#include "device/mp_flow_eeprom.h"

namespace orbisk {

// The configuration-area and serial-number layer: carries the camera's serial number into the
// image before it is written, and prepares and compares read-backs.
class CEepromConfigInfo : public CMpFlow_Eeprom {
  public:
    using CMpFlow_Eeprom::CMpFlow_Eeprom;

    // 1 to go on with programming; 0 with `status` 41713 when the serial number could not be
    // put into the image (the image is then unchanged).
    int PreActionForAllInOne(uint32_t& status);
    // Prepares the read-back in place and compares it with the front image.
    int DumpCompare() override;
    int BridgeDumpCompare() override;
    // Keeps a failed read-back under Fail/ in the program folder.
    void SaveFailedReadBackFile();

    const WriteBackRegion& write_back_region() const { return write_back_; }

    // The pre-update hook of every memory type: the image check of the front or rear slot.
    int PreUpdate(const uint8_t* buffer, uint32_t word) override;

  protected:
    // The information of a camera behind a MIPI bridge and its bridge's version; the tail of
    // the bridge's flash that "MIPI Reserve" keeps. Read whatever the object's class, as the
    // device search finds the camera before the device object for its memory is made.
    int ReadMipiDeviceInfo() override;
    int ReadMipiReserve(int32_t reserve) override;
    // The OTP space of an OTP camera: the text (kept in the device texts for the dialogs) and
    // the used byte count. Read whatever the object's class, as the device search finds the
    // camera before the device object for its memory is made.
    uint32_t ReadOtpSpaceUsed() override;

  public:
    size_t config_area_size() const { return config_area_size_; }

  protected:
    // The steps the EEPROM and MTP memory types share over their own read, erase and download
    // operations (byte_memory_ops.cpp). The silent family: the write with the version skip and
    // the strict chip check, the write without it, the read to a file, the comparison with a
    // file, the second image as hexadecimal text, the erase with the reset option.
    using MemoryOp = std::function<int()>;
    int SilentWriteBinWith(const std::string& path, const MemoryOp& download, LogScope& scope);
    int SilentWriteSNBinWith(const std::string& path, const MemoryOp& download, LogScope& scope);
    int SilentReadBinWith(const std::string& path, const MemoryOp& read);
    int SilentVerifyBinWith(const std::string& path, const MemoryOp& read, LogScope& scope);
    int SilentSaveHexBinWith(const std::string& path, const MemoryOp& read);
    int SilentEraseWith(int reset, const MemoryOp& erase);
    // A dump check: `length` bytes read back by `read` (its failure reported as `read_fail`),
    // compared; a pass restarts the camera when option 0x01 asks for it (`always_reset`: also
    // when it was found in its ROM) and reports 41755; a mismatch 41709, its log line only with
    // `log_mismatch`; a failed read-back is kept under Fail/.
    struct DumpCheckPlan {
        uint32_t length;
        std::function<int(uint32_t, std::span<uint8_t>)> read;
        uint32_t read_fail;
        bool always_reset;
        bool log_mismatch;
    };
    int DumpCheckWith(const DumpCheckPlan& plan, LogScope& scope);
    // The sequence of the 8-bit EEPROM and of MTP: release the pin, erase the first 64 bytes,
    // check them (the download with option 0x02), write with the tag held back, read back,
    // compare, write the tag and read it back (the update always, the download with option
    // 0x10), lock the pin, restart (the update always, the download with option 0x01). 0 with
    // `code` set on failure. `checked`: the download's option checks.
    int ByteMemorySequence(const ByteMemoryPlan& plan, std::span<const uint8_t> image, bool checked,
                           uint32_t& code, LogScope& scope);
    // The download and the update around it: open ROM, the sequence, the reports.
    int ByteMemoryDownload(const ByteMemoryPlan& plan, LogScope& scope);
    int ByteMemoryUpdate(const ByteMemoryPlan& plan, LogScope& scope);
    // The read of the process-wide read length, then the restart; the read-back saved in
    // dialog mode.
    int ByteMemoryRead(const ByteMemoryPlan& plan, LogScope& scope);
    // The stand-alone erase of the process-wide read length, with the pin released around it.
    int ByteMemoryErase(const ByteMemoryPlan& plan, LogScope& scope);
    // After a download: the record forgotten on success, the version words and text.
    int FinishByteMemoryDownload(int result, uint32_t success, LogScope& scope);
    // The end of a download in dialog mode: the serial-number state display when "SaveSN" is set.
    void ShowSerialNumberState();
    // Before the camera is switched to its boot ROM: where it runs, the serial number carried
    // into the image, the recovery record. Reports its own failure.
    bool PrepareForWriting(LogScope& scope);
    // Load, and for the writing operations parse and chip-check, the image for a silent
    // operation. Reports its own failure.
    enum class ChipCheck { kPaired, kStrict };
    bool SilentLoad(const std::string& path, bool parse_and_check, LogScope& scope,
                    ChipCheck check = ChipCheck::kPaired);
    // The silent write's skip: the camera already reports the loaded image's identity label
    // (VID, PID and REV), so it runs that image; its recovery record is done with.
    bool CameraRunsImage(LogScope& scope);
    ConfigLayout Layout();
    // What the image loader needs of the active profile and the process.
    ImageEnv MakeImageEnv();
    DumpCheckFlags CheckFlags();
    void PrepareReadback(const DumpCheckFlags& flags);

    WriteBackRegion write_back_;
    size_t config_area_size_ = 0;
};

}  // namespace orbisk
