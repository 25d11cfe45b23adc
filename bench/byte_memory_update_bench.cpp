// Whole firmware downloads of simulated EEPROM and MTP cameras through the real device object
// the factory makes, function library and transports: an 8 KB EEPROM with 8-bit and with
// 16-bit word addresses over the extension unit (8-byte packets), and a 64 KB MTP over the
// second generation's vendor requests. Each camera runs an older image with its serial number.
//
// Counters per update:
//   virtual_s  the virtual time the update took
//   bound_s    a lower bound counted here from the protocol and the timing figures, never from
//              what the simulated camera charged: the EEPROM's page writes of 8 bytes (each its
//              I2C bytes at the controller's clock, nine clocks a byte, then the part's write
//              cycle, which nothing can overlap), its reads of 8 bytes (their I2C bytes and the
//              command and data transfers that carry them); the MTP's 64-byte rows programmed
//              one after another and its 4 KB transfers; the tag and its read-back; the two
//              re-enumerations (into the boot ROM and into the new code)
//   ratio      virtual_s / bound_s
//   cpu_ms     host CPU time of one update
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench_support.h"

// The scenario tests' rigs: the whole tool against one simulated camera.
#include "device/byte_memory_rig.cpp"
#include "device/flash_rig.cpp"
#include "support/recorders.cpp"
#include "support/temp_dir.cpp"
#include "support/tool_core.cpp"

namespace {

using namespace orbisk;

const test::ByteMemoryCase kKinds[] = {
    {"eeprom8", sim::MemoryKind::kEeprom8, "ORV6987", sim::Generation::kExtensionUnit, 0},
    {"eeprom16", sim::MemoryKind::kEeprom16, "ORV6987", sim::Generation::kExtensionUnit, 0},
    {"mtp", sim::MemoryKind::kMtp, "ORV6987", sim::Generation::kVendorV2, 0},
};
constexpr uint32_t kEepromImage = 0x2000;
constexpr uint32_t kMtpImage = 0x10000;

class Bound {
  public:
    explicit Bound(const sim::Timing& t) : t_(t) {}

    double Transfer(uint32_t bytes) const {
        return t_.transfer_us + std::ceil(bytes * static_cast<double>(t_.wire_ns_per_byte) / 1000);
    }
    // One I2C transfer of `data` bytes to or from an EEPROM with `word` address bytes.
    double I2c(uint32_t word, uint32_t data, bool read) const {
        return (1.0 + word + (read ? 1 : 0) + data) * 9 * 1000 / t_.eeprom_i2c_khz;
    }
    // Writes of `n` bytes in pages of 8: each page's bus time and write cycle.
    double EepromWrite(uint32_t word, uint32_t n) const {
        double us = 0;
        for (uint32_t done = 0; done < n; done += 8)
            us += I2c(word, std::min<uint32_t>(8, n - done), false) + t_.eeprom_write_us;
        return us;
    }
    // Reads of `n` bytes in chunks of 8: a command and a data packet each, and the bus time.
    double EepromRead(uint32_t word, uint32_t n) const {
        double us = 0;
        for (uint32_t done = 0; done < n; done += 8) {
            const uint32_t chunk = std::min<uint32_t>(8, n - done);
            us += Transfer(8) + Transfer(8) + I2c(word, chunk, true);
        }
        return us;
    }
    double Resets() const { return 2.0 * t_.reenumerate_ms * 1000; }

    double Eeprom16(uint32_t n) const {
        return EepromWrite(2, n) + EepromRead(2, n) + EepromWrite(2, 1) + EepromRead(2, 1) +
               Resets();
    }
    double Eeprom8(uint32_t n) const {
        // The 64-byte erase and its empty check come first.
        return EepromWrite(1, 64) + EepromRead(1, 64) + EepromWrite(1, n) + EepromRead(1, n) +
               EepromWrite(1, 1) + EepromRead(1, 1) + Resets();
    }
    double Mtp(uint32_t n) const {
        const double rows = std::ceil(n / 64.0) * t_.mtp_row_program_us;
        const double reads = std::ceil(n / 4096.0) * Transfer(4096);
        // The 64-byte erase and its check, the write (its first data must arrive before a row
        // programs), the verify, the tag (a row) and its read-back.
        return t_.mtp_row_program_us + Transfer(64) + Transfer(64) + Transfer(4096) + rows + reads +
               t_.mtp_row_program_us + Transfer(1) + Transfer(1) + Resets();
    }

  private:
    sim::Timing t_;
};

void BM_ByteMemoryDownload(benchmark::State& state) {
    const test::ByteMemoryCase& kind = kKinds[state.range(0)];
    const bool mtp = kind.memory == sim::MemoryKind::kMtp;
    const uint32_t size = mtp ? kMtpImage : kEepromImage;
    const std::vector<uint8_t> old_image = test::ByteMemoryImage(kind, test::OldFirmware(), size);
    const std::vector<uint8_t> new_image = test::ByteMemoryImage(kind, test::NewFirmware(), size);
    double virtual_s = 0, cpu_s = 0, bound_s = 0;
    for (auto _ : state) {
        state.PauseTiming();
        test::ByteMemoryRig rig(kind, old_image);
        if (!rig.OpenAndLoad(new_image)) {
            state.SkipWithError("the camera did not open");
            return;
        }
        state.ResumeTiming();

        const int result = bench::TimedRun(
            rig.clock, [&] { return rig.device->Download(); }, &virtual_s, &cpu_s);

        state.PauseTiming();
        if (result != 1 || !rig.camera->AppMode()) {
            state.SkipWithError("the update did not succeed");
            return;
        }
        const Bound bound(rig.camera->Settings().timing);
        bound_s = (mtp                                         ? bound.Mtp(size)
                   : kind.memory == sim::MemoryKind::kEeprom16 ? bound.Eeprom16(size)
                                                               : bound.Eeprom8(size)) /
                  1e6;
        state.ResumeTiming();
    }
    state.SetLabel(kind.name);
    state.counters["virtual_s"] = virtual_s;
    state.counters["bound_s"] = bound_s;
    state.counters["ratio"] = virtual_s / bound_s;
    state.counters["cpu_ms"] = cpu_s * 1e3;
}
BENCHMARK(BM_ByteMemoryDownload)
    ->ArgName("memory")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
