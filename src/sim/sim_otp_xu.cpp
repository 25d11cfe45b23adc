// The OTP commands of the extension unit's storage group, from the device side: write (0x97,
// p1 address, p2 length, p3 the host's ECC budget), read (0xD7) and the program-fail report
// (0xDC, p2 bytes). Any other storage command is unknown to an OTP camera.
#include <algorithm>

#include "sim/sim_camera.h"

namespace orbisk::sim {

uint8_t SimCamera::OtpStart(const Command& c) {
    const auto in_range = [&] { return uint32_t{c.p1} + c.p2 <= kOtpSize; };
    switch (c.opcode) {
        case 0x97:
            if (!StorageAllowed()) return kStsUnknownSubCmd;
            if (!in_range()) return kStsErrOutRange;
            expected_ = c.p2;
            return kStsNoErr;
        case 0xD7:
            if (!in_range()) return kStsErrOutRange;
            buffer_.assign(c.p2, 0);
            expected_ = c.p2;
            otp_->Read(c.p1, c.p2, buffer_.data());
            return kStsNoErr;
        case 0xDC: {
            buffer_.assign(c.p2, 0);
            expected_ = c.p2;
            const auto& report = otp_->report();
            std::copy_n(report.begin(), std::min<size_t>(report.size(), c.p2), buffer_.begin());
            return kStsNoErr;
        }
        default:
            return kStsUnknownSubCmd;
    }
}

uint8_t SimCamera::OtpFinishOut() {
    if (command_.opcode != 0x97) return kStsUnknownSubCmd;
    otp_->Program(command_.p1, buffer_.data(), command_.p2, command_.p3);
    return kStsNoErr;
}

}  // namespace orbisk::sim
