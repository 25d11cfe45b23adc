#pragma once
#include <cstdint>

#include "base/clock.h"

namespace orbisk::test {

// Polls a flash's busy bit (bit 0 of its status register) as the flows do, on the given
// (virtual) clock. `read_status(uint8_t*)` returns whether the read worked.
template <typename ReadStatus>
bool WaitWhileBusy(Clock& clock, ReadStatus read_status, int polls = 200) {
    for (int poll = 0; poll < polls; ++poll) {
        uint8_t status = 0xFF;
        if (!read_status(&status)) return false;
        if (!(status & 0x01)) return true;
        clock.sleep_ms(50);
    }
    return false;
}

}  // namespace orbisk::test
