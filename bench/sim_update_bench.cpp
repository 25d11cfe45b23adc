// A whole flash update of a 128 KB simulated camera over the extension unit, as the flows
// frame it (unlock, erase, write in 4 KB commands, verify, tag, reset), with 8- and 64-byte
// data packets. Reports the virtual time the camera model charges ("camera_s") next to the
// real time the model itself needs.
#include <benchmark/benchmark.h>

#include "../tests/sim/sim_fixture.h"

namespace {

using namespace orbisk;
using namespace orbisk::sim;
using namespace orbisk::sim::test;

void BM_SimFlashUpdate(benchmark::State& state) {
    const uint16_t data_size = static_cast<uint16_t>(state.range(0));
    const std::vector<uint8_t> image = BuildImage();
    double camera_seconds = 0;
    for (auto _ : state) {
        Rig rig(SimSettings{}, {});
        const uint64_t start = rig.clock.now_us();
        rig.ReleaseWpPin();
        rig.WriteSr(0x00);
        rig.WaitWhileBusy();
        rig.Command(0x02, 0x04);
        rig.WaitWhileBusy();
        rig.Command(0x00, 0x16, 0, data_size);
        std::vector<uint8_t> chunk(4096);
        for (uint32_t a = 0; a < image.size(); a += 4096) {
            std::copy_n(image.begin() + a, 4096, chunk.begin());
            if (a == 0) chunk[0x0FFE] = chunk[0x0FFF] = 0xFF;
            rig.FlashWrite(a, chunk);
        }
        for (uint32_t a = 0; a < image.size(); a += 4096) rig.FlashRead(a, 4096, chunk.data());
        rig.FlashWrite(0x0FFE, {0x55, 0xAA});
        rig.WaitWhileBusy();
        rig.Command(0x00, 0x09);
        rig.Reopen();
        camera_seconds = static_cast<double>(rig.clock.now_us() - start) / 1e6;
        if (!rig.camera->AppMode()) state.SkipWithError("the camera did not start the new image");
    }
    state.counters["camera_s"] = camera_seconds;
}
BENCHMARK(BM_SimFlashUpdate)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
