#pragma once
#include <string>

#include "platform/power.h"

namespace orbisk {

// Reads the kernel's power-supply class: every entry of the folder has a "type" (Mains, USB,
// Battery, …), mains-like supplies an "online" flag, batteries a "capacity" and a "status".
class SysfsPowerSource final : public PowerSource {
  public:
    explicit SysfsPowerSource(std::string root = "/sys/class/power_supply")
        : root_(std::move(root)) {}
    PowerStatus Query() override;

  private:
    std::string root_;
};

}  // namespace orbisk
