// `orbisk --list` as a user runs it, on the real Linux bus: the program is started under the
// emulated kernel, whose simulated cameras answer it from this process.
#include <gtest/gtest.h>

#include "platform/linux/emulated_sim_bus.h"
#include "sim/sim_fixture.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

TEST(OrbiskListTest, FindsTheEmulatedCamerasWithTheirPorts) {
    VirtualClock clock;
    EmulatedKernel kernel;
    kernel.AddHub(1, {2}, 2);
    EmulatedSimBus bus(kernel, clock);
    sim::SimSettings running;
    running.app_mode = true;
    running.ports = {1};
    bus.AddCamera(std::make_shared<sim::SimCamera>(running, sim::test::BuildImage(), clock));
    sim::SimSettings rom;
    rom.ports = {2, 3};
    bus.AddCamera(std::make_shared<sim::SimCamera>(rom, sim::test::BuildImage(), clock));

    // The program's sanitizer runtime must accept the preload library before it. The bus is
    // the emulated kernel's; the folders are the test's own.
    const TempDir own;
    const ProgramRun run = RunProgram(
        {ORBISK_BIN, "--list"},
        {"ASAN_OPTIONS=verify_asan_link_order=0", "ORBISK_HOME=" + own.path(), "HOME=" + own.path(),
         "XDG_CONFIG_HOME=" + own.path(), "XDG_CONFIG_DIRS=" + own.path()});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    // One line per camera: index, identity label, hub port, firmware version, serial number.
    auto line_with = [&](const std::string& label) {
        const size_t at = run.out.find(label);
        if (at == std::string::npos) return std::string();
        const size_t start =
            run.out.rfind('\n', at) == std::string::npos ? 0 : run.out.rfind('\n', at) + 1;
        return run.out.substr(start, run.out.find('\n', at) - start);
    };
    const std::string running_line = line_with("VID_1234&PID_5678&REV_0102");
    const std::string rom_line = line_with("VID_2C7E&PID_B016&REV_0100");
    EXPECT_NE(running_line.find("port 1 "), std::string::npos) << run.out;
    EXPECT_NE(running_line.find("0x00-0003-2A07"), std::string::npos) << run.out;
    EXPECT_NE(rom_line.find("port 3 "), std::string::npos) << run.out;
}

}  // namespace
}  // namespace orbisk::test
