#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "device/dev_flow.h"

namespace orbisk {

// The status codes the EEPROM and MTP memory types report (identifiers of the string table).
namespace codes {
inline constexpr uint32_t kCheckEmptyFail = 41717;         // "Check Empty Fail!"
inline constexpr uint32_t kReadEepromFail = 41802;         // "Read EERPOM Fail!"
inline constexpr uint32_t kEraseEepromFail = 41803;        // "Erase EEPROM Fail!"
inline constexpr uint32_t kUpdateEepromFail = 41804;       // "Update EEPROM Data Fail!"
inline constexpr uint32_t kReadEepromSucceed = 41851;      // "Read EEPROM Code Succeed."
inline constexpr uint32_t kEraseEepromSucceed = 41852;     // "Erase EEPROM Code Succeed."
inline constexpr uint32_t kUpdateEepromSucceed = 41853;    // "Update EEPROM Code Succeed."
inline constexpr uint32_t kDownloadEepromSucceed = 41854;  // "Download EEPROM Code Succeed."
inline constexpr uint32_t kReadMtpFail = 41902;            // "Read MTP Fail!"
inline constexpr uint32_t kEraseMtpFail = 41903;           // "Erase MTP Fail!"
inline constexpr uint32_t kUpdateMtpFail = 41904;          // "Update MTP Data Fail!"
inline constexpr uint32_t kReadMtpSucceed = 41910;         // "Read MTP Code Succeed."
inline constexpr uint32_t kEraseMtpSucceed = 41911;        // "Erase MTP Code Succeed."
inline constexpr uint32_t kUpdateMtpSucceed = 41912;       // "Update MTP Code Succeed."
inline constexpr uint32_t kDownloadMtpSucceed = 41913;     // "Download MTP Code Succeed."
}  // namespace codes

// The EEPROM and MTP image's tag: 0xA5 at address 1, which is also the magic byte of the
// configuration area that fills the memory from address 0.
inline constexpr uint32_t kByteMemoryTagAddress = 1;
inline constexpr uint8_t kByteMemoryTag = 0xA5;

// The 16-bit EEPROM update sequence and the write protection of the EEPROM's pin.
class CMpFlow_Eeprom : public CDevFlow {
  public:
    using CDevFlow::CDevFlow;

    // The 16-bit update: a fresh read-back buffer of the image's length, then the sequence;
    // a failure is reported with its code. The caller's image is left as it was.
    int EE16_UpdateEx(std::span<const uint8_t> image);
    // 0 with `code` set (not yet reported) on failure.
    int EE16_UpdateEx_Cmd2(std::span<const uint8_t> image, uint32_t& code);

    // The write-protect pin: through register 0xFF9C by GPIO byte on the "ORV6099" profile,
    // else through the GPIO registers 0xFEA0, 0xFEA6, 0xFEA1, 0xFEA7. `by_profile` false
    // always takes the GPIO registers.
    bool EepromWriteProtect(bool enable, bool by_profile);

  protected:
    // Writes the tag with `write` and reads it back with `read` (one byte at address 1): an
    // acknowledged write is not a written tag. Reports step text 41723 first.
    bool WriteTagChecked(const std::function<bool()>& write,
                         const std::function<bool(uint8_t*)>& read);
    // Reset into the new code and, when the image was written, check that the camera runs it.
    // 0, or the code of the failure (its log text `failure` for a failed reset).
    uint32_t ResetIntoWrittenCode(LogScope& scope, bool image_written, const char* failure);
    // The working copy with the tag held back: byte 1 0xFF until the comparison passed.
    static std::vector<uint8_t> WithTagHeldBack(std::span<const uint8_t> image);
    int EE16_UpdateExWrapper(std::span<const uint8_t> image);
};

}  // namespace orbisk
