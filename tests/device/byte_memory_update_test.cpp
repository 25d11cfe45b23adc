// Whole updates of simulated EEPROM (8-bit and 16-bit word addresses, both write-protect
// wirings) and MTP cameras through the device object the factory makes, as the command line
// runs them.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/file_io.h"
#include "device/byte_memory_rig.h"
#include "device/mp_flow_eeprom.h"
#include "device/recovery_record.h"
#include "sim/sim_eeprom.h"

namespace orbisk::test {
namespace {

constexpr uint8_t kOptProgram = 0x10;

class ByteMemoryScenarioTest : public ::testing::TestWithParam<ByteMemoryCase> {
  protected:
    bool Mtp() const { return GetParam().memory == sim::MemoryKind::kMtp; }
    bool Wide() const { return GetParam().memory == sim::MemoryKind::kEeprom16; }
    std::vector<uint8_t> NewImage() const { return ByteMemoryImage(GetParam(), NewFirmware()); }
    std::vector<uint8_t> OldImage() const { return ByteMemoryImage(GetParam(), OldFirmware()); }
    uint32_t DownloadSucceed() const { return Mtp() ? 41913 : 41854; }
    // The memory's first bytes, as long as the image.
    static std::vector<uint8_t> Head(const std::vector<uint8_t>& memory, size_t n) {
        return {memory.begin(), memory.begin() + static_cast<std::ptrdiff_t>(n)};
    }
};

INSTANTIATE_TEST_SUITE_P(Memories, ByteMemoryScenarioTest, ::testing::ValuesIn(kByteMemoryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(ByteMemoryScenarioTest, DownloadWritesTheImageKeepsTheSerialAndStartsTheNewCode) {
    ByteMemoryRig rig(GetParam());
    ASSERT_TRUE(rig.OpenAndLoad(NewImage()));
    rig.sink.clear();

    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();

    // The memory holds the new image with the camera's serial number carried over, tagged; the
    // image the tool holds is left as it was loaded (its tag included).
    const std::vector<uint8_t>& image = rig.device->images().front;
    ASSERT_EQ(image.size(), NewImage().size());
    EXPECT_EQ(image[1], 0xA5);
    EXPECT_EQ(Head(rig.Memory(), image.size()), image);
    const sim::ImageFacts facts = sim::ReadByteMemoryFacts(rig.Memory());
    EXPECT_TRUE(facts.tagged);
    EXPECT_EQ(facts.identity.manufacturer, "SN-CAM-000042");
    // The camera came back running the new code with the same serial number.
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_EQ(rig.camera->CurrentIdentity().manufacturer, "SN-CAM-000042");
    EXPECT_EQ(rig.camera->CurrentIdentity().rev, NewFirmware().rev);
    EXPECT_EQ(rig.camera->Settings().running_version, NewFirmware().version);

    // Reports: the steps in order, one success, no failure, a status code of 0.
    const std::vector<uint32_t> steps =
        Wide() ? std::vector<uint32_t>{41718, 41721, 41722, 41723, 41724}
               : std::vector<uint32_t>{41718, 41720, 41721, 41735, 41723, 41724};
    EXPECT_EQ(rig.StepTexts(), steps);
    EXPECT_EQ(rig.sink.codes(kReportProgress).back(), 100u);
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{DownloadSucceed()});
    EXPECT_TRUE(rig.sink.codes(kReportFailure).empty());
    EXPECT_EQ(rig.process.status.Code(), 0u);
    // No recovery record is left behind.
    EXPECT_FALSE(FileExists(RecoveryRecordPath(rig.folder.path(), "1-1")));
}

TEST_P(ByteMemoryScenarioTest, WithoutProgramAndVerifyNothingIsWritten) {
    ByteMemoryRig rig(GetParam());
    const std::vector<uint8_t> old_memory = rig.Memory();
    ASSERT_TRUE(rig.OpenAndLoad(NewImage()));
    rig.process.download_options &= static_cast<uint8_t>(~kOptProgram);
    rig.sink.clear();

    EXPECT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{DownloadSucceed()});
    const std::vector<uint8_t> memory = rig.Memory();
    if (Wide()) {
        // The 16-bit sequence only releases and locks the pin and restarts the camera.
        EXPECT_EQ(memory, old_memory);
        EXPECT_TRUE(rig.camera->AppMode());
        EXPECT_EQ(rig.StepTexts(), (std::vector<uint32_t>{41718, 41724}));
    } else {
        // The others erase the first 64 bytes (the header with its tag) and check them.
        EXPECT_TRUE(
            std::all_of(memory.begin(), memory.begin() + 64, [](uint8_t b) { return b == 0xFF; }));
        EXPECT_TRUE(std::equal(memory.begin() + 64, memory.end(), old_memory.begin() + 64));
        EXPECT_FALSE(rig.camera->AppMode());
        EXPECT_EQ(rig.StepTexts(), (std::vector<uint32_t>{41718, 41720, 41724}));
    }
}

// A fault of the camera, set up before the download; the code each kind of memory ends with.
struct FaultCase {
    const char* name;
    std::function<void(ByteMemoryRig&)> arrange;
    uint32_t eeprom8, eeprom16, mtp;
};

// A fault at a transfer in the middle of the image's write: the second of the MTP's 4 KB
// writes, the fifth 8-byte EEPROM write (eight transfers each on the extension unit).
std::function<void(ByteMemoryRig&)> AtTheWrite(std::function<void(sim::Faults&, uint32_t)> set) {
    return [set](ByteMemoryRig& rig) {
        rig.hook.on_step = [&rig, set](uint32_t step) {
            if (step != 41721) return;
            const uint32_t later = rig.kind.memory == sim::MemoryKind::kMtp ? 2 : 40;
            rig.AddFaults([&](sim::Faults& f) { set(f, rig.camera->TransferCount() + later); });
        };
    };
}

std::function<void(ByteMemoryRig&)> Faulted(std::function<void(sim::Faults&)> set) {
    return [set](ByteMemoryRig& rig) { rig.AddFaults(set); };
}

// Address 2 holds the chip model (bits 3-7) of the configuration header: bit 0 clear, bit 4 set.
const FaultCase kFaults[] = {
    {"a bit stuck at 1", Faulted([](sim::Faults& f) {
         f.stuck_bit = true, f.stuck_address = 2, f.stuck_mask = 0x01, f.stuck_value = true;
     }),
     41709, 41709, 41709},
    {"a bit stuck at 0", Faulted([](sim::Faults& f) {
         f.stuck_bit = true, f.stuck_address = 2, f.stuck_mask = 0x10, f.stuck_value = false;
     }),
     41717, 41709, 41717},
    {"a dropped write", Faulted([](sim::Faults& f) { f.drop_write = 2; }), 41709, 41709, 41709},
    {"every write dropped", Faulted([](sim::Faults& f) { f.drop_all_writes = true; }), 41717, 41709,
     41717},
    {"a part that never acknowledges", Faulted([](sim::Faults& f) { f.busy_stuck = true; }), 41803,
     41804, 41903},
    {"a disconnect in the middle of the write",
     AtTheWrite([](sim::Faults& f, uint32_t at) { f.disconnect_at = at; }), 41804, 41804, 41904},
    {"a transfer that fails always",
     AtTheWrite([](sim::Faults& f, uint32_t at) { f.fail_from = at; }), 41804, 41804, 41904},
};

TEST_P(ByteMemoryScenarioTest, FaultsEndWithTheirCodeAndNoTaggedImageThatDiffers) {
    for (const FaultCase& c : kFaults) {
        SCOPED_TRACE(c.name);
        ByteMemoryRig rig(GetParam());
        const std::vector<uint8_t> old_memory = rig.Memory();
        ASSERT_TRUE(rig.OpenAndLoad(NewImage()));
        c.arrange(rig);
        rig.sink.clear();

        EXPECT_EQ(rig.device->Download(), 0);
        const uint32_t code = Mtp() ? c.mtp : Wide() ? c.eeprom16 : c.eeprom8;
        EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{code}) << rig.log.Joined();
        EXPECT_EQ(rig.process.status.Code(), code);
        EXPECT_TRUE(rig.sink.codes(kReportSuccess).empty());
        // A tagged memory holds the old image or the whole new one, never a mix.
        const std::vector<uint8_t> memory = rig.Memory();
        if (sim::ReadByteMemoryFacts(memory).tagged) {
            EXPECT_TRUE(memory == old_memory);
        }
        // The recovery record of the camera stays for the next run.
        EXPECT_TRUE(FileExists(RecoveryRecordPath(rig.folder.path(), "1-1")));
        EXPECT_EQ(rig.device->images().front[1], 0xA5);
    }
}

// The cameras with an EEPROM, whose write-protect pin the update must release.
std::vector<ByteMemoryCase> EepromCases() {
    std::vector<ByteMemoryCase> cases;
    for (const ByteMemoryCase& c : kByteMemoryCases)
        if (c.memory != sim::MemoryKind::kMtp) cases.push_back(c);
    return cases;
}

class EepromPinTest : public ByteMemoryScenarioTest {};

INSTANTIATE_TEST_SUITE_P(Eeproms, EepromPinTest, ::testing::ValuesIn(EepromCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(EepromPinTest, PinNotReleasedLeavesTheMemoryAsItWas) {
    // The write-protect pin on the other GPIO than the tool drives (0xFF9C), or not wired to
    // the GPIO registers the tool drives: every write is taken and ignored.
    const ByteMemoryCase c = GetParam();
    ByteMemoryRig rig(c);
    const std::vector<uint8_t> old_memory = rig.Memory();
    if (std::string(c.profile) == "ORV6099")
        rig.process.config.SetValue(kConfigSection, "GPIO", c.wp_gpio ? "0" : "1");
    ASSERT_TRUE(rig.OpenAndLoad(NewImage()));
    if (std::string(c.profile) != "ORV6099") {
        // Released, then one of the two GPIOs driven high again: the pin stays protected, and
        // a write in the boot ROM is taken and ignored.
        auto& device = dynamic_cast<CMpFlow_Eeprom&>(*rig.device);
        ASSERT_TRUE(device.MP_OpenRomDevice());
        ASSERT_TRUE(device.EepromWriteProtect(false, false));
        const uint8_t high = 0x02;
        ASSERT_TRUE(device.MP_WriteMem(0xFEA7, 1, &high));
        std::vector<uint8_t> blank(64, 0x00);
        const uint64_t h = rig.device->connection().camera_handle;
        const uint32_t o = rig.device->connection().command_options;
        const bool wide = c.memory == sim::MemoryKind::kEeprom16;
        EXPECT_TRUE(
            wide ? rig.camlib.CamLib_I2C_EEP16_Write(h, 0, 64, blank.data(), nullptr, nullptr, o)
                 : rig.camlib.CamLib_I2C_EEP8_Write(h, 0, 64, blank.data(), o));
        EXPECT_EQ(rig.Memory(), old_memory);
        return;
    }
    rig.sink.clear();
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41709});
    EXPECT_EQ(rig.Memory(), old_memory);
}

TEST_P(ByteMemoryScenarioTest, CameraLeftInItsBootRomIsRecoveredWithItsSerialNumber) {
    ByteMemoryRig rig(GetParam());
    ASSERT_TRUE(rig.OpenAndLoad(NewImage()));
    AtTheWrite([](sim::Faults& f, uint32_t at) { f.fail_from = at; })(rig);
    ASSERT_EQ(rig.device->Download(), 0);
    rig.hook.on_step = nullptr;
    rig.camera->SetFaults({});
    ASSERT_FALSE(sim::ReadByteMemoryFacts(rig.Memory()).tagged);

    // Powered up again, the camera stays in its boot ROM; the next run takes the serial number
    // from the record and finishes the update.
    ByteMemoryRig again(GetParam(), rig.Memory());
    again.process.program_folder = rig.folder.path();
    ASSERT_FALSE(again.camera->AppMode());
    ASSERT_TRUE(again.OpenAndLoad(NewImage()));
    EXPECT_EQ(again.device->texts().recovery.rom, RecoveryState::Rom::kWithRecord);
    ASSERT_EQ(again.device->Download(), 1) << again.log.Joined();
    EXPECT_TRUE(again.camera->AppMode());
    EXPECT_EQ(again.camera->CurrentIdentity().manufacturer, "SN-CAM-000042");
    EXPECT_FALSE(FileExists(RecoveryRecordPath(rig.folder.path(), "1-1")));
}

}  // namespace
}  // namespace orbisk::test

namespace orbisk::test {
namespace {

// The other slots after a download: the dump check (a mismatch kept under Fail/), the read into
// a file, the erase.
TEST_P(ByteMemoryScenarioTest, DumpCheckReadAndEraseWorkOnTheWrittenMemory) {
    ByteMemoryRig rig(GetParam());
    ASSERT_TRUE(rig.OpenAndLoad(NewImage()));
    ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
    const uint32_t size = static_cast<uint32_t>(rig.device->images().front.size());
    rig.device->set_read_length(size);

    rig.sink.clear();
    EXPECT_EQ(rig.device->DumpCheck(), 1) << rig.log.Joined();
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
    // A byte of the identity that reads wrong fails the check and keeps the read-back.
    rig.AddFaults([](sim::Faults& f) {
        f.stuck_bit = true, f.stuck_address = 18, f.stuck_mask = 0x80, f.stuck_value = true;
    });
    rig.sink.clear();
    EXPECT_EQ(rig.device->DumpCheck(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41709});
    EXPECT_TRUE(FileExists(rig.folder.File("Fail")));
    rig.camera->SetFaults({});

    const std::string file = rig.folder.File("read.bin");
    ASSERT_EQ(rig.device->SilenceReadBin(file), 1) << rig.log.Joined();
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(file, &bytes, nullptr), FileRead::kOk);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), Head(rig.Memory(), size));

    rig.sink.clear();
    ASSERT_EQ(rig.device->SilenceErase(1), 1) << rig.log.Joined();
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{Mtp() ? 41911u : 41852u});
    const std::vector<uint8_t> erased = Head(rig.Memory(), size);
    EXPECT_TRUE(std::all_of(erased.begin(), erased.end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_FALSE(rig.camera->AppMode());
}

}  // namespace
}  // namespace orbisk::test
