// Resets of the simulated camera: it leaves the bus, comes back after its re-enumeration
// time, and runs the application only from a tagged image in its memory.
#include <gtest/gtest.h>

#include "sim/sim_fixture.h"

namespace orbisk::sim::test {
namespace {

TEST(SimReset, CameraLeavesTheBusAndComesBackLater) {
    Rig rig(AppSettings(), BuildImage());
    ASSERT_EQ(rig.Command(0x00, 0x07, 0), kOk);  // acknowledged, then gone
    EXPECT_TRUE(rig.bus.List().empty());
    EXPECT_EQ(rig.Status(), 0xEE);
    uint8_t block[8] = {};
    EXPECT_EQ(rig.GetCur(kCommandControl, block, 8), kDeviceGone);
    EXPECT_EQ(rig.bus.Open(rig.info.node_handle), nullptr);

    const uint64_t start = rig.clock.now_us();
    ASSERT_TRUE(rig.bus.WaitForChange(5000));  // the departure
    ASSERT_TRUE(rig.bus.WaitForChange(5000));  // the return
    EXPECT_EQ(rig.clock.now_us() - start, 300000u);
    ASSERT_EQ(rig.bus.List().size(), 1u);
    // A handle of the old enumeration stays dead.
    EXPECT_EQ(rig.GetCur(kCommandControl, block, 8), kDeviceGone);
    EXPECT_FALSE(rig.bus.WaitForChange(1000));
}

TEST(SimReset, TargetAndMemoryDecideModeIdentityAndVersion) {
    ImageRecipe no_tag;
    no_tag.tag = false;
    ImageRecipe no_marker;
    no_marker.marker_version.reset();
    no_marker.config_version = 0x1234;
    ImageRecipe other_identity;
    other_identity.vid = 0x0AB1;
    other_identity.pid = 0x0C2D;
    other_identity.serial = "XYZ";
    struct Case {
        const char* what;
        ImageRecipe image;
        uint8_t opcode;  // 07 update mode, 08 / 09 the code in memory
        bool app;
        uint16_t vid;
        const char* version;
    };
    const std::vector<Case> cases = {
        {"update mode", ImageRecipe{}, 0x07, false, 0x2C7E, "0x00-0000-0100"},
        {"code, tagged", ImageRecipe{}, 0x09, true, 0x1234, "0x00-0003-2A07"},
        {"new code, tagged", ImageRecipe{}, 0x08, true, 0x1234, "0x00-0003-2A07"},
        {"code, no tag", no_tag, 0x09, false, 0x2C7E, "0x00-0000-0100"},
        {"code, no marker", no_marker, 0x09, true, 0x1234, "0x00-0000-1234"},
        {"code, other identity", other_identity, 0x09, true, 0x0AB1, "0x00-0003-2A07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(SimSettings{}, BuildImage(c.image));
        ASSERT_EQ(rig.WriteMem(kBootSelectRegister, {1}), kOk);  // stay for the update
        ASSERT_EQ(rig.Command(0x00, c.opcode, 0), kOk);
        ASSERT_TRUE(rig.Reopen());
        EXPECT_EQ(rig.camera->AppMode(), c.app);
        EXPECT_EQ(rig.info.vid, c.vid);
        const auto block = rig.StatusBlock();
        EXPECT_EQ(block[64] & 0x0F, c.app ? 1 : 2);
        EXPECT_EQ(VersionText(block), c.version);
        if (c.app) {
            EXPECT_EQ(rig.info.pid, c.image.pid);
            EXPECT_EQ(rig.info.rev, c.image.rev);
            std::string serial;
            ASSERT_EQ(rig.handle->GetStringDescriptor(3, &serial), kOk);
            EXPECT_EQ(serial, c.image.serial);
            EXPECT_EQ(rig.info.manufacturer, c.image.manufacturer);
        }
    }
}

TEST(SimReset, UpdateModeNeedsTheSubModeAndTheRegistersTheChipLooksAt) {
    // A camera running a tagged image; where it comes back after a reset into update mode.
    using Writes = std::vector<std::pair<uint16_t, uint8_t>>;
    const Writes select = {{kBootSelectRegister, 1}};
    const Writes select_and_strap = {{kBootSelectRegister, 1}, {kBootStrapRegister, 0x24}};
    struct Case {
        const char* profile;
        Writes writes;
        uint16_t sub_mode;
        bool rom;
    };
    const Case cases[] = {
        {"ORV6363", select, 0, true},
        {"ORV6363", select, 1, true},
        {"ORV6363", select, 2, true},
        {"ORV6363", select, 3, false},  // a sub-mode of another memory
        {"ORV6363", select, 0x13, false},
        {"ORV6363", {}, 0, false},  // no boot select
        {"ORV6363", {{kBootSelectRegister, 2}}, 0, false},
        {"ORV7507", select_and_strap, 1, true},
        {"ORV7507", select, 1, false},  // no boot strap
        {"ORV7507", {{kBootStrapRegister, 0x24}}, 1, false},
        {"ORV6644", {}, 0, true},  // boots from the opcode alone
        {"ORV6644", {}, 4, false},
        {"ORV6521", {}, 1, true},
        {"ORV7971", {}, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " sub-mode " + std::to_string(c.sub_mode) + " " +
                     std::to_string(c.writes.size()) + " writes");
        SimSettings settings = AppSettings();
        settings.profile = c.profile;
        const ChipProfile& chip = *FindProfile(c.profile);
        ImageRecipe image;
        image.config_address = chip.config_address;
        image.tag_address = chip.tag_address;
        image.size = chip.memory_size;
        Rig rig(settings, BuildImage(image));
        ASSERT_TRUE(rig.camera->AppMode());
        for (const auto& [reg, value] : c.writes) ASSERT_EQ(rig.WriteMem(reg, {value}), kOk);
        ASSERT_EQ(rig.Command(0x00, 0x07, c.sub_mode), kOk);
        ASSERT_TRUE(rig.Reopen());
        EXPECT_EQ(rig.camera->AppMode(), !c.rom);
    }
    // A reset into the code without a tag stays in the ROM, whatever the registers say.
    ImageRecipe untagged;
    untagged.tag = false;
    Rig rig(SimSettings{}, BuildImage(untagged));
    ASSERT_EQ(rig.Command(0x00, 0x07, 7), kOk);
    ASSERT_TRUE(rig.Reopen());
    EXPECT_FALSE(rig.camera->AppMode());
}

TEST(SimReset, ResetRestoresPowerOnState) {
    Rig rig;
    ASSERT_EQ(rig.Command(0x00, 0x16, 0, 64), kOk);
    ASSERT_EQ(rig.WriteMem(0xFEA0, {0x01}), kOk);
    ASSERT_EQ(rig.Command(0x00, 0x07, 0), kOk);
    ASSERT_TRUE(rig.Reopen());
    EXPECT_EQ(rig.DataSize(), 8);
    uint8_t value = 0xFF;
    ASSERT_EQ(rig.ReadMem(0xFEA0, 1, &value), kOk);
    EXPECT_EQ(value, 0);
}

TEST(SimReset, AnUpdateSeenAsTheUserSeesIt) {
    // ROM camera with an old image; the host erases, writes a new image with the tag held
    // back, writes the tag, and resets into the code.
    ImageRecipe old_recipe;
    old_recipe.vid = 0x1111;
    Rig rig(SimSettings{}, BuildImage(old_recipe));
    ImageRecipe new_recipe;
    new_recipe.vid = 0x2222;
    new_recipe.marker_version = 0x01020305;
    auto image = BuildImage(new_recipe);
    image[0x0FFE] = image[0x0FFF] = 0xFF;
    ASSERT_EQ(rig.ReleaseWpPin(), kOk);
    ASSERT_EQ(rig.WriteSr(0x00), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    ASSERT_EQ(rig.Command(0x02, 0x04), kOk);
    ASSERT_TRUE(rig.WaitWhileBusy());
    ASSERT_EQ(rig.Command(0x00, 0x16, 0, 64), kOk);
    for (uint32_t a = 0; a < image.size(); a += 4096)
        ASSERT_EQ(
            rig.FlashWrite(a, std::vector<uint8_t>(image.begin() + a, image.begin() + a + 4096)),
            kOk);
    // Without the tag the camera stays in its ROM.
    ASSERT_EQ(rig.Command(0x00, 0x09), kOk);
    ASSERT_TRUE(rig.Reopen());
    EXPECT_FALSE(rig.camera->AppMode());
    ASSERT_EQ(rig.FlashWrite(0x0FFE, {0x55, 0xAA}), kOk);
    ASSERT_EQ(rig.Command(0x00, 0x09), kOk);
    ASSERT_TRUE(rig.Reopen());
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_EQ(rig.info.vid, 0x2222);
    EXPECT_EQ(VersionText(rig.StatusBlock()), "0x00-0102-0305");
}

}  // namespace
}  // namespace orbisk::sim::test
