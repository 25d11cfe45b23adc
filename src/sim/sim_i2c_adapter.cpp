#include "sim/sim_i2c_adapter.h"

#include <cerrno>

#include "sim/sim_i2c.h"

namespace orbisk::sim {

HResult SimBridgeI2cAdapter::Transfer(std::span<I2cMessage> messages) {
    const uint16_t address = SimBridge::kSlave >> 1;
    const HResult nak = ResultFromErrno(ENXIO);
    if (messages.empty() || messages[0].read || messages[0].length < 2 ||
        messages[0].address != address)
        return nak;
    const uint8_t* head = messages[0].data;
    const uint16_t reg = static_cast<uint16_t>(head[0] << 8 | head[1]);
    if (messages.size() == 1) {
        const uint64_t us = NsToUs(I2cWriteNs(messages[0].length - 2u, khz_));
        const bool acked =
            bridge_.Write(clock_.now_us() + us, reg, head + 2, messages[0].length - 2u);
        clock_.sleep_us(us);
        return acked ? kOk : nak;
    }
    const I2cMessage& in = messages[1];
    if (messages.size() != 2 || messages[0].length != 2 || !in.read || in.address != address)
        return nak;
    const uint64_t us = NsToUs(I2cReadNs(in.length, khz_));
    const bool acked = bridge_.Read(clock_.now_us() + us, reg, in.data, in.length);
    clock_.sleep_us(us);
    return acked ? kOk : nak;
}

}  // namespace orbisk::sim
