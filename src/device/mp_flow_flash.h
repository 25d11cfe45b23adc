#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "device/mp_flow_otp.h"

namespace orbisk {

// Flash-programming sequences: the update with the tag held back and written last, the erase,
// the reads for dumps and dump comparisons.
class CMpFlow_Flash : public CMpFlow_OTP {
  public:
    using CMpFlow_OTP::CMpFlow_OTP;

    int FF_UpdateEx(std::span<uint8_t> image);
    int FF_EraseEx();
    int FF_ReadEx();
    int FF_ReadExDumpCheck(uint32_t read_length);

    // The bridge flash's sequences (mp_flow_flash_7608.cpp). The update path of FF_UpdateEx
    // for the bridge: the read-back buffer, then the update with its failure reported.
    int FF_UpdateExMipi(std::span<const uint8_t> image);
    // 0 with `status` set, not yet reported.
    int FF_UpdateEx_For7608(std::span<const uint8_t> image, uint32_t& status);
    int FF_EraseEx_For7608();
    int FF_ReadEx_For7608(uint32_t read_length);
    int FF_ReadExDumpCheckFor7608();

    // Where the bridge update of dialog mode gets the image's CRC from the CRC worker: waits
    // at most timeout_ms; false when none came.
    using ImageCrcSource = std::function<bool(uint32_t timeout_ms, uint32_t* crc)>;
    void SetImageCrcSource(ImageCrcSource source) { image_crc_ = std::move(source); }

    const std::vector<uint8_t>& readback() const { return readback_; }
    uint32_t read_length() const { return read_length_; }
    void set_read_length(uint32_t length) { read_length_ = length; }
    bool dump_mismatch() const { return dump_mismatch_; }
    // Where FFU_Read saves the read-back in dialog mode.
    void set_dump_path(std::string path) { dump_path_ = std::move(path); }

  protected:
    int FF_UpdateEx_Standard(std::span<uint8_t> image, uint32_t& error);
    int StandardUpdate(std::span<uint8_t> image);
    // A camera found in its boot ROM whose memory already holds exactly this image (an earlier
    // run wrote, verified and tagged it, then failed to finish).
    bool MemoryHoldsImage(std::span<const uint8_t> image, LogScope& scope);
    // Writes the two tag bytes and reads them back; false when either fails.
    bool WriteTagChecked(std::span<uint8_t> image, uint32_t tag);
    // Lock, reset into the new code, check that it runs. With `image_written` each step is
    // retried; a failure then sets error 41736 (the image is written and verified).
    int FinishUpdate(LogScope& scope, bool image_written, uint32_t& error);
    // The comparison of a read-back with the image; the configuration-area layer provides it.
    virtual int DumpCompare() { return 0; }
    // The comparison of the bridge's dump checks; the configuration-area layer provides it.
    virtual int BridgeDumpCompare() { return 0; }
    bool AllocateReadback(uint32_t length);
    // The read and comparison of a dump check: `length` bytes read back by `read`, compared by
    // `compare`; a mismatch sets the dump-mismatch flag.
    int ReadAndCompare(LogScope& scope, uint32_t length,
                       const std::function<int(uint32_t, std::span<uint8_t>)>& read,
                       const std::function<int()>& compare);
    uint32_t TagAddress();

    std::vector<uint8_t> readback_;
    // The update set a data-control size above the 8 bytes a camera starts with.
    bool large_packets_ = false;
    uint32_t read_length_ = 0x20000;
    bool dump_mismatch_ = false;
    std::string dump_path_;
    ImageCrcSource image_crc_;
};

}  // namespace orbisk
