#pragma once
#include <cstdint>

#include "base/clock.h"
#include "platform/i2c_adapter.h"
#include "sim/sim_bridge.h"

namespace orbisk::sim {

// A host I2C adapter with a simulated MIPI bridge on it, as a camera on a host adapter has:
// register writes (one message) and register reads (write then read) to the bridge's 7-bit
// address; each transfer takes its bus time on the clock. Anything else is answered as the
// kernel answers a device that does not acknowledge (ENXIO).
class SimBridgeI2cAdapter final : public I2cAdapter {
  public:
    SimBridgeI2cAdapter(SimBridge& bridge, Clock& clock, uint32_t khz = 400)
        : bridge_(bridge), clock_(clock), khz_(khz) {}
    HResult Transfer(std::span<I2cMessage> messages) override;

  private:
    SimBridge& bridge_;
    Clock& clock_;
    uint32_t khz_;
};

}  // namespace orbisk::sim
