// A reset into update mode and back to the code through the function library, over direct USB
// and over the kernel camera driver, with a camera that re-enumerates in 300 ms. Reports the
// virtual time one reset costs ("camera_ms": the camera's own time off the bus plus the
// transfers), next to the real time the code needs.
#include <benchmark/benchmark.h>

#include "../tests/sim/sim_fixture.h"
#include "base/logger.h"
#include "base/process.h"
#include "camera/cam_lib.h"
#include "camera/usb_transport_factory.h"

namespace {

using namespace orbisk;

void BM_ResetRoundTrip(benchmark::State& state) {
    const bool direct = state.range(0) == 0;
    double camera_ms = 0;
    for (auto _ : state) {
        VirtualClock clock;
        Logger logger(clock, nullptr);
        Process process(clock, logger);
        sim::SimUsbBus bus(clock);
        sim::SimSettings settings = sim::test::AppSettings();
        settings.direct_access = direct;
        settings.timing.reenumerate_ms = 300;
        auto camera = std::make_shared<sim::SimCamera>(settings, sim::test::BuildImage(), clock);
        bus.AddCamera(camera);
        UsbTransportFactory factory(bus, logger, OpenDeviceLock("orbisk-reset-bench"));
        CamLib lib(process, bus, factory);
        lib.CamLib_Init(0);
        uint64_t handle = lib.CamLib_OpenDevice(0);
        const uint64_t start = clock.now_ms();
        const bool in_rom = lib.CamLib_ResetToUpdateFW(&handle, 0, 0, 5000) && !camera->AppMode();
        const bool back = lib.CamLib_ResetToRomAndReconnect(&handle, 0, 5000);
        camera_ms = static_cast<double>(clock.now_ms() - start) / 2;
        if (!in_rom || !back || !camera->AppMode())
            state.SkipWithError("the camera did not go to its boot ROM and back");
    }
    RemoveDeviceLock("orbisk-reset-bench");
    state.counters["camera_ms"] = camera_ms;
}
BENCHMARK(BM_ResetRoundTrip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
