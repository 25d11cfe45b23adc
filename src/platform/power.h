#pragma once
#include <cstdint>
#include <memory>

namespace orbisk {

// The power facts an update checks before it writes: whether mains power is connected and how
// full the battery is. The values keep the meaning the update check was written for.
struct PowerStatus {
    static constexpr uint8_t kAcOffline = 0;
    static constexpr uint8_t kAcOnline = 1;
    static constexpr uint8_t kUnknown = 255;
    uint8_t ac_line = kUnknown;
    // 0..100, or kUnknown when there is no battery or its charge cannot be told.
    uint8_t battery_percent = kUnknown;
};

class PowerSource {
  public:
    virtual ~PowerSource() = default;
    virtual PowerStatus Query() = 0;
};

// A source that answers what it was given; for tests and for systems without a power query.
class FixedPowerSource final : public PowerSource {
  public:
    explicit FixedPowerSource(PowerStatus status = {PowerStatus::kAcOnline, PowerStatus::kUnknown})
        : status_(status) {}
    PowerStatus Query() override { return status_; }
    void Set(PowerStatus status) { status_ = status; }

  private:
    PowerStatus status_;
};

// The power query of the system the program runs on.
std::unique_ptr<PowerSource> CreateNativePowerSource();

}  // namespace orbisk
