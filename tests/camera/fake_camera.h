#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "camera/transport_factory.h"
#include "fake_usb.h"

namespace orbisk::test {

// What a fake camera answers. Shared by its bus entry, its probes and its transports.
struct FakeCamera {
    uint16_t vid = 0x2C7E;
    uint16_t pid = 0x6363;
    uint16_t rev = 0x0011;
    bool gen1 = false;
    bool gen2 = false;
    bool qualifies = true;
    uint8_t chip[2] = {0x10, 0x30};      // bytes at 0xFE21, 0xFE22
    uint16_t status_chip = 0x3010;       // chip identity word of the status block
    uint8_t run_mode = 1;                // 1 runs its code, 0 its ROM
    std::string mipi_signature;          // status bytes 24-31 ("MIPI IO", "MIPISIM")
    uint32_t reenumerate_ms = 300;       // time off the bus after a reset
    std::map<uint16_t, uint8_t> writes;  // last byte written per chip address
    std::vector<std::string> log;        // resets and power commands, in order
    int power_commands = 0;
    // Reads of 0xFE21 answer these pairs in turn (the last one repeats) when not empty.
    std::vector<std::array<uint8_t, 2>> chip_reads;
    size_t chip_read_count = 0;

    void FillStatus(uint8_t* out, uint32_t length) const;
    void ReadChip(uint8_t* out);
};

// A bus of fake cameras on a virtual clock: a reset takes the camera off the bus and brings it
// back `reenumerate_ms` later, announced through WaitForChange.
class FakeCameraBus : public FakeUsbBus {
  public:
    explicit FakeCameraBus(VirtualClock& clock) : clock_(clock) {}

    // Plugs a camera in at bus 1, ports `ports`.
    std::shared_ptr<FakeCamera> Plug(std::vector<uint8_t> ports, FakeCamera camera = {},
                                     std::vector<uint8_t> config = CameraConfig());
    std::shared_ptr<FakeCamera> CameraAt(uint64_t node_handle);
    bool Present(uint64_t node_handle);
    // The camera leaves now and comes back later in `run_mode`.
    void Reset(uint64_t node_handle, uint8_t run_mode);

    std::vector<UsbDeviceInfo> List() override;
    bool WaitForChange(uint32_t timeout_ms) override;

  private:
    void Arrive();
    struct Pending {
        uint64_t at_ms;
        UsbDeviceInfo info;
    };
    VirtualClock& clock_;
    std::map<uint64_t, std::shared_ptr<FakeCamera>> cameras_;
    std::vector<Pending> pending_;
    bool changed_ = false;
};

// Transports and probes over the fake cameras.
class FakeTransportFactory : public TransportFactory {
  public:
    explicit FakeTransportFactory(FakeCameraBus& bus) : bus_(bus) {}
    std::unique_ptr<CameraProbe> CreateProbe(CameraDeviceRecord& record) override;
    std::unique_ptr<CVendorCmdCommon> CreateExtUnit(CameraDeviceRecord& record,
                                                    uint8_t unit_id) override;
    std::unique_ptr<CVendorCmdCommon> CreateVendorRequestV1(CameraDeviceRecord& record,
                                                            uint8_t unit_id) override;
    std::unique_ptr<CVendorCmdCommon> CreateVendorRequestV2(CameraDeviceRecord& record) override;
    std::unique_ptr<CVendorCmdCommon> CreateKernelExtUnit(CameraDeviceRecord& record,
                                                          uint8_t unit_id,
                                                          uint32_t access) override;
    std::unique_ptr<CVendorCmdCommon> CreateMipi(CVendorCmdCommon&, CVendorCmdCommon&) override {
        return nullptr;
    }

    // Names of the transports made, in order ("XU", "V1", "V2", "KS2", "KS3").
    std::vector<std::string> made;

  private:
    std::unique_ptr<CVendorCmdCommon> Make(CameraDeviceRecord& record, const char* kind);
    FakeCameraBus& bus_;
};

}  // namespace orbisk::test
