#pragma once
// One-time-programmable memory as the part behaves, and what the camera's boot ROM makes of
// it. The camera's own reading of the tables, kept apart from the tool's on purpose.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/clock.h"
#include "sim/sim_image.h"
#include "sim/sim_settings.h"

namespace orbisk::sim {

inline constexpr uint32_t kOtpSize = 0x4000;
inline constexpr uint32_t kOtpReportSize = 19;
// The OTP lock: bit 3 of this controller register; a set bit refuses all programming.
inline constexpr uint16_t kOtpLockRegister = 0xFD0C;
inline constexpr uint8_t kOtpLockBit = 0x08;

// 16 KB that read 0x00 blank; programming only sets bits. Every byte of a write is programmed;
// weak bits (a fault) never set. After each write the part keeps a program-fail report: the
// number of bytes that did not take all their bits, then up to nine of their addresses,
// big-endian.
class SimOtp {
  public:
    SimOtp(std::vector<uint8_t> bytes, const Faults& faults, Clock& clock, const Timing& timing);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    bool Locked() const { return faults_.otp_locked; }
    void Read(uint32_t address, uint32_t length, uint8_t* out) const;
    // `budget` is the host's count of ECC records the write may still use; the part programs
    // the whole chunk whatever it says.
    void Program(uint32_t address, const uint8_t* data, uint32_t length, uint16_t budget);
    const std::array<uint8_t, kOtpReportSize>& report() const { return report_; }
    uint32_t writes() const { return writes_; }

  private:
    uint8_t WeakMask(uint32_t address) const;

    std::vector<uint8_t> bytes_;
    const Faults& faults_;
    Clock& clock_;
    const Timing& timing_;
    std::array<uint8_t, kOtpReportSize> report_{};
    uint32_t writes_ = 0;
};

// What the boot ROM finds: it starts the application only from the newest valid code block
// (VD flag 0x55, its entry not patched by an active ECC record, its bytes read through the
// active ECC records and carrying a configuration header of its own length). The identity and
// version come from that block joined with the newest valid configuration block.
struct OtpBoot {
    bool bootable = false;
    int code_entry = -1;
    int config_entry = -1;
    std::vector<uint8_t> image;  // the joined blocks, as the application sees them
    ImageFacts facts;
};
OtpBoot ReadOtpBoot(const std::vector<uint8_t>& otp);

// An OTP memory as the factory programs it: the image's code record (the extended 0x27 record
// right after the 0x2F and 0x08 records) as the code block at 0, the other records as the
// configuration block behind it, VD entries 0 and 1. An image without a code record becomes one
// configuration block. Empty with `error` when the image has no configuration chain at 0 or
// does not fit.
std::vector<uint8_t> LayOutOtpImage(const std::vector<uint8_t>& image, std::string* error);

// The VD table and the ECC records in words, one line each, for `orbisk-sim show`.
std::vector<std::string> DescribeOtpTables(const std::vector<uint8_t>& otp);

}  // namespace orbisk::sim
