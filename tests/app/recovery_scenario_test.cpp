// An update of a simulated camera with a fault at each of its steps, then the same update again
// without the fault: no failure may cost the camera its serial number or leave it where the
// next run cannot bring it back, and no run may pass with anything but the new image and the
// camera's own serial number in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/update_rig.h"
#include "image/demo_image.h"
#include "support/temp_dir.h"

namespace orbisk::test {
namespace {

constexpr const char* kSerial = "SN-ORIG-0042";
constexpr const char* kConfig = "[Orbisk Config]\nSaveSN=1\n";
// The serial number the carried image brings itself.
constexpr const char* kImageSerial = "Orbisk";
constexpr uint32_t kNewVersion = 0x1060;

enum class Fault {
    kFailOnce,      // one transfer fails
    kDisconnect,    // the camera is unplugged at the transfer
    kDeadFrom,      // every transfer from there on fails, the camera stays on the bus
    kNoReturn,      // the camera does not come back after its first reset
    kBusyStuck,     // the flash stays busy
    kStuckBit,      // one bit of the new image never reads back as written
    kDropTagWrite,  // the tag's program command is acknowledged but not done
};

enum class At { kFirst, kMiddle, kLast };

struct Row {
    const char* step;
    Fault fault;
    At at;
    uint32_t status;  // the first run's status code; 0: it passes (the fault is retried away)
};

std::string FaultName(Fault fault) {
    switch (fault) {
        case Fault::kFailOnce:
            return "fail-once";
        case Fault::kDisconnect:
            return "disconnect";
        case Fault::kDeadFrom:
            return "dead-from";
        case Fault::kNoReturn:
            return "no-return";
        case Fault::kBusyStuck:
            return "busy-stuck";
        case Fault::kStuckBit:
            return "stuck-bit";
        case Fault::kDropTagWrite:
            return "drop-tag-write";
    }
    return "?";
}

// The first and last transfer of a step in a clean update.
struct Span {
    uint32_t first = 0;
    uint32_t last = 0;
};

// The clean update every row is measured against: where each step's transfers lie, and what
// a passing update leaves in the camera.
struct Reference {
    std::map<std::string, Span> steps;
    StoredCamera updated;
};

const Reference& Clean() {
    static const Reference reference = [] {
        TempDir home;
        Reference r;
        r.updated = OldDemoCamera(kSerial);
        const UpdateRun run = RunOrbisk(r.updated, home.path(), kConfig);
        EXPECT_EQ(run.exit_code, 0) << run.Trace();
        auto at = [&](const char* text) {
            const auto count = run.TransfersAt(text);
            EXPECT_TRUE(count.has_value()) << text;
            return count.value_or(0);
        };
        auto scope = [&](const char* name) {
            const std::string prefix = std::string(name) + ":> ";
            return Span{at((prefix + "START").c_str()) + 1, at((prefix + "EXIT").c_str())};
        };
        r.steps["open"] = scope("CDevFlow::DEV_OpenDeviceByICIni");
        r.steps["identity read"] = scope("CMpFlow::MP_GetDeviceInfo");
        r.steps["serial read"] = scope("CEepromConfigInfo::PreActionForAllInOne");
        r.steps["reset to ROM"] = scope("CMpFlow4::MP_OpenRomDevice");
        r.steps["unlock"] = scope("CMpFlow2::MP_DisableSPIWriteProtect");
        r.steps["erase"] = scope("CMpFlow2::MP_EraseSPIFlash");
        r.steps["empty check"] = scope("CMpFlow2::MP_CheckSPIFlashEmpty");
        r.steps["write"] = {at("report 1047 41721") + 1, at("report 1047 41722")};
        r.steps["verify"] = {at("report 1047 41722") + 1, at("writing the tag")};
        r.steps["tag"] = {at("writing the tag") + 1,
                          at("CMpFlow2::MP_EnableSPIWriteProtect:> START")};
        r.steps["lock"] = scope("CMpFlow2::MP_EnableSPIWriteProtect");
        r.steps["reset to new code"] = {at("report 1047 41724") + 1, run.transfers};
        // The status read that confirms the new code runs ends the update.
        r.steps["final status"] = {run.transfers, run.transfers};
        return r;
    }();
    return reference;
}

uint32_t TransferOf(const Span& span, At at) {
    switch (at) {
        case At::kFirst:
            return span.first;
        case At::kMiddle:
            return span.first + (span.last - span.first) / 2;
        case At::kLast:
            return span.last;
    }
    return span.first;
}

void PlaceFault(StoredCamera& camera, const Row& row, uint32_t transfer) {
    sim::Faults& f = camera.settings.faults;
    switch (row.fault) {
        case Fault::kFailOnce:
            f.fail_transfer = transfer;
            break;
        case Fault::kDisconnect:
            f.disconnect_at = transfer;
            break;
        case Fault::kDeadFrom:
            f.fail_from = transfer;
            break;
        case Fault::kNoReturn:
            f.no_return = true;
            break;
        case Fault::kBusyStuck:
            f.busy_stuck = true;
            break;
        case Fault::kStuckBit: {
            // A bit the new image clears reads as set: the erased flash still looks empty, the
            // written image does not read back.
            const std::vector<uint8_t>& image = Clean().updated.memory;
            uint32_t address = 0x2000;
            while (address < image.size() && (image[address] & 0x01) != 0) ++address;
            f.stuck_bit = true;
            f.stuck_address = address;
            f.stuck_mask = 0x01;
            f.stuck_value = true;
            break;
        }
        case Fault::kDropTagWrite: {
            // One program command per 4 KB block that is not all 0xFF (the tag held back as
            // 0xFF) writes the image; the tag is the next one.
            std::vector<uint8_t> image = Clean().updated.memory;
            image[DemoLayout::kTagAddress] = image[DemoLayout::kTagAddress + 1] = 0xFF;
            uint32_t commands = 0;
            for (size_t at = 0; at < image.size(); at += 4096)
                commands += std::any_of(image.begin() + at, image.begin() + at + 4096,
                                        [](uint8_t b) { return b != 0xFF; });
            f.drop_write = commands + 1;
            break;
        }
    }
}

// The camera runs the new image with its own serial number, exactly as a clean update leaves it.
void ExpectUpdated(const StoredCamera& camera, const std::string& serial) {
    const CameraFacts facts = FactsOf(camera);
    EXPECT_TRUE(facts.app_mode);
    EXPECT_TRUE(facts.tagged);
    EXPECT_EQ(facts.version, kNewVersion);
    EXPECT_EQ(facts.manufacturer, serial);
    if (serial == kSerial) {
        EXPECT_TRUE(camera.memory == Clean().updated.memory);
    }
}

class RecoveryScenarioTest : public ::testing::TestWithParam<Row> {};

TEST_P(RecoveryScenarioTest, FaultThenRunAgain) {
    const Row& row = GetParam();
    const Span span = Clean().steps.at(row.step);
    const uint32_t transfer = TransferOf(span, row.at);
    SCOPED_TRACE(std::string(row.step) + ", " + FaultName(row.fault) + " at transfer " +
                 std::to_string(transfer));
    TempDir home;
    StoredCamera camera = OldDemoCamera(kSerial);
    PlaceFault(camera, row, transfer);

    const UpdateRun first = RunOrbisk(camera, home.path(), kConfig);
    EXPECT_EQ(first.status, row.status) << first.Trace();
    if (first.exit_code == 0) {
        ExpectUpdated(camera, kSerial);
    } else {
        // A camera stays in its old code or its boot ROM. A tagged new image in it is the
        // complete, verified one: the run says so, or could not read the tag back.
        const CameraFacts facts = FactsOf(camera);
        if (facts.app_mode) {
            EXPECT_EQ(facts.manufacturer, kSerial);
        }
        if (facts.tagged && facts.version == kNewVersion) {
            EXPECT_TRUE(first.status == 41736u || first.status == 41712u) << first.status;
            EXPECT_TRUE(camera.memory == Clean().updated.memory);
        }
    }
    const bool in_rom = !camera.settings.app_mode;
    const StoredCamera after_first = camera;

    // The next run, without the fault, brings the camera to the new image with its serial.
    const UpdateRun second = RunOrbisk(camera, home.path(), kConfig);
    EXPECT_EQ(second.exit_code, 0) << second.Trace();
    ExpectUpdated(camera, kSerial);
    EXPECT_FALSE(FileExists(home.File("Recovery/1-1.ini")));
    if (!in_rom) return;
    EXPECT_TRUE(second.Traced("from the recovery record")) << second.Trace();

    // Without its recovery record a camera in its boot ROM is refused, and untouched...
    TempDir bare;
    StoredCamera lost = after_first;
    const UpdateRun refused = RunOrbisk(lost, bare.path(), kConfig);
    EXPECT_EQ(refused.status, 41530u);
    EXPECT_TRUE(lost.memory == after_first.memory);
    // ...until the operator asks: it then gets the image's own serial number, and is told so.
    const UpdateRun recovered = RunOrbisk(lost, bare.path(), kConfig, {"-s", "--recover"});
    EXPECT_EQ(recovered.exit_code, 0) << recovered.Trace();
    EXPECT_TRUE(recovered.Traced("the serial number cannot be restored"));
    ExpectUpdated(lost, kImageSerial);
    EXPECT_FALSE(FileExists(bare.File("Recovery/1-1.ini")));
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name = std::string(info.param.step) + "_" + FaultName(info.param.fault) + "_" +
                       std::to_string(info.index);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, RecoveryScenarioTest,
    ::testing::Values(Row{"open", Fault::kFailOnce, At::kFirst, 0},
                      Row{"open", Fault::kDisconnect, At::kLast, 41511},
                      Row{"identity read", Fault::kFailOnce, At::kMiddle, 0},
                      Row{"identity read", Fault::kDisconnect, At::kFirst, 41511},
                      Row{"serial read", Fault::kFailOnce, At::kLast, 41713},
                      Row{"serial read", Fault::kDisconnect, At::kLast, 41713},
                      Row{"reset to ROM", Fault::kFailOnce, At::kMiddle, 0},
                      Row{"reset to ROM", Fault::kDisconnect, At::kMiddle, 41512},
                      Row{"reset to ROM", Fault::kDeadFrom, At::kLast, 41512},
                      Row{"reset to ROM", Fault::kNoReturn, At::kFirst, 41512},
                      Row{"unlock", Fault::kFailOnce, At::kFirst, 41710},
                      Row{"unlock", Fault::kDisconnect, At::kMiddle, 41710},
                      Row{"unlock", Fault::kBusyStuck, At::kFirst, 41710},
                      Row{"erase", Fault::kFailOnce, At::kFirst, 0},
                      Row{"erase", Fault::kDisconnect, At::kFirst, 41705},
                      Row{"empty check", Fault::kFailOnce, At::kMiddle, 0},
                      Row{"empty check", Fault::kDisconnect, At::kMiddle, 41717},
                      Row{"write", Fault::kFailOnce, At::kMiddle, 0},
                      Row{"write", Fault::kDisconnect, At::kMiddle, 41706},
                      Row{"write", Fault::kDeadFrom, At::kFirst, 41706},
                      Row{"verify", Fault::kFailOnce, At::kLast, 0},
                      Row{"verify", Fault::kDisconnect, At::kMiddle, 41704},
                      Row{"verify", Fault::kStuckBit, At::kFirst, 41709},
                      Row{"tag", Fault::kFailOnce, At::kFirst, 0},
                      Row{"tag", Fault::kDisconnect, At::kLast, 41712},
                      Row{"tag", Fault::kDropTagWrite, At::kFirst, 41712},
                      Row{"lock", Fault::kFailOnce, At::kMiddle, 0},
                      Row{"lock", Fault::kDisconnect, At::kFirst, 41736},
                      Row{"lock", Fault::kDeadFrom, At::kFirst, 41736},
                      Row{"reset to new code", Fault::kFailOnce, At::kFirst, 0},
                      Row{"reset to new code", Fault::kDisconnect, At::kFirst, 41736},
                      Row{"reset to new code", Fault::kDeadFrom, At::kMiddle, 41736},
                      Row{"final status", Fault::kFailOnce, At::kLast, 0},
                      Row{"final status", Fault::kDisconnect, At::kLast, 41736}),
    RowName);

}  // namespace
}  // namespace orbisk::test
