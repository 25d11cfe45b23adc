// The simulated camera under arbitrary host traffic: whatever a (faulty) host sends, the
// model must answer within its buffers. The input is a generation byte, then records of
// bmRequestType, bRequest, wValue (2), wIndex (2), wLength (1) and, for host-to-device
// requests, wLength data bytes. bmRequestType 0xFF instead lets wValue milliseconds pass and
// opens the camera again (after a reset). The image reader also reads the input as a memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../tests/sim/sim_fixture.h"

using namespace orbisk;
using namespace orbisk::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<uint8_t> memory(data, data + size);
    ReadImageFacts(memory, 0, size > 2 ? static_cast<uint32_t>(size - 2) : 0);

    SimSettings settings;
    settings.generation = static_cast<Generation>(data[0] % 3);
    settings.app_allows_flash_write = (data[0] & 0x80) != 0;
    test::Rig rig(settings, test::BuildImage());
    size_t at = 1;
    uint8_t buffer[256];
    while (at + 7 <= size) {
        const uint8_t type = data[at];
        const uint8_t request = data[at + 1];
        const uint16_t value = static_cast<uint16_t>(data[at + 2] | (data[at + 3] << 8));
        const uint16_t index = static_cast<uint16_t>(data[at + 4] | (data[at + 5] << 8));
        const uint8_t length = data[at + 6];
        at += 7;
        if (type == 0xFF) {
            rig.clock.sleep_ms(value);
            rig.Reopen();
            continue;
        }
        if (!rig.handle) break;
        if (!(type & 0x80)) {
            if (at + length > size) break;
            std::copy_n(data + at, length, buffer);
            at += length;
        }
        uint32_t got = 0;
        rig.handle->ControlTransfer(type, request, value, index, buffer, length, 5000, &got);
        if (got > length) __builtin_trap();
    }
    return 0;
}
