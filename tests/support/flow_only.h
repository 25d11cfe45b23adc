#pragma once
#include "device/dev_flow.h"

namespace orbisk::test {

// The device flow with the information steps of the layers above it left out.
class FlowOnly : public CDevFlow {
  public:
    using CDevFlow::CDevFlow;
    int MP_GetDeviceInfo() override { return 1; }

  protected:
    int ReadMipiDeviceInfo() override { return 1; }
    int ReadMipiReserve(int32_t) override { return 1; }
    uint32_t ReadOtpSpaceUsed() override { return 0; }
};

}  // namespace orbisk::test
