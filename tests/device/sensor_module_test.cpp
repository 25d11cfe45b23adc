// A two-camera module whose images come from the module maker's folder, chosen by the probe ID
// each camera's sensor answers on the controller's sensor bus.
#include <gtest/gtest.h>

#include <filesystem>

#include "device/farrow_flash_info_usb.h"
#include "device/flash_rig.h"
#include "support/table_row.h"

namespace orbisk::test {
namespace {

// The front camera's chip reads 0x00 0xF0 (chip model 13, 64 KB), the rear one's 0x10 0x10
// (chip model 15, 128 KB).
FlashImageLayout FrontLayout() {
    return {0x10000, 0xEE00, 0xEE00, 512, 0xEFFE, 13};
}
FlashImageLayout RearLayout() {
    return {0x20000, 0xAE00, 0xAE00, 512, 0x1EFFE, 15};
}

std::vector<uint8_t> Image(const FlashImageLayout& layout, const std::string& product,
                           uint32_t version) {
    DemoImageRecipe recipe;
    recipe.product = product;
    recipe.version = version;
    return MakeFlashDemoImage(recipe, layout);
}

sim::SimSettings Camera(const char* profile, std::optional<uint8_t> fe22, uint8_t port,
                        std::vector<sim::SimSensor> sensors) {
    sim::SimSettings settings = FlashRig::DefaultSettings();
    settings.profile = profile;
    settings.chip_id_fe22 = fe22;
    settings.ports = {port};
    settings.sensors = std::move(sensors);
    return settings;
}

struct ModuleRig : FlashRig {
    ModuleRig(std::vector<sim::SimSensor> front_sensors, std::vector<sim::SimSensor> rear_sensors)
        : FlashRig(Camera("ORV7507", 0xF0, 1, std::move(front_sensors)),
                   Image(FrontLayout(), "Old Front", 0x1050)) {
        rear = std::make_shared<sim::SimCamera>(
            Camera("ORV6521", std::nullopt, 2, std::move(rear_sensors)),
            Image(RearLayout(), "Old Rear", 0x1050), camera_clock);
        sim_bus.AddCamera(rear);
        device = std::make_unique<CFarrowFlashInfo_USB>(process, camlib, profiles);
        process.config.SetValue(kConfigSection, "MultiCamera", "3");
        process.config.SetValue(kConfigSection, "SensorID", "1");
        // Each maker's folder holds an image for either camera; the chip check tells them apart.
        for (const char* maker : {"Larkvale", "Ostrey"}) {
            const std::string folder = this->folder.File(maker);
            std::filesystem::create_directory(folder);
            for (const auto& [name, layout] :
                 {std::pair{"front", FrontLayout()}, std::pair{"rear", RearLayout()}}) {
                const std::vector<uint8_t> image =
                    Image(layout, std::string(maker) + " " + name, 0x1060);
                WriteFile(folder + "/" + name + ".rfw", std::string(image.begin(), image.end()));
            }
        }
    }
    CFarrowFlashInfo_USB& farrow() { return static_cast<CFarrowFlashInfo_USB&>(*device); }
    std::shared_ptr<sim::SimCamera> rear;
};

sim::SimSensor Sensor(uint8_t address, std::map<uint16_t, uint16_t> words) {
    return {address, std::move(words)};
}

TEST(SensorModuleTest, EachCameraGetsTheImageOfTheMakerItsSensorNames) {
    struct Case {
        std::vector<sim::SimSensor> front, rear;
        uint16_t front_id, rear_id;
        const char* front_maker;
        const char* rear_maker;
    } const cases[] = {
        // Both sensors answer the known IDs at 0x300A, each at its own bus address.
        {{Sensor(0x6C, {{0x300A, 0x2722}})},
         {Sensor(0x20, {{0x300A, 0x6737}})},
         0x2722,
         0x6737,
         "Larkvale",
         "Larkvale"},
        // Other sensors: the ID comes from 0x0000 (front) and 0x3000 (rear) at address 0x6C,
        // high byte first; the rear camera has nothing at 0x20.
        {{Sensor(0x6C, {{0x300A, 0x5640}, {0x0000, 0x0856}})},
         {Sensor(0x6C, {{0x3000, 0x0230}})},
         0x0856,
         0x0230,
         "Ostrey",
         "Ostrey"},
        // The known front ID at the fallback register is still that maker's.
        {{Sensor(0x6C, {{0x0000, 0x2722}})},
         {Sensor(0x20, {{0x300A, 0x6737}})},
         0x2722,
         0x6737,
         "Larkvale",
         "Larkvale"},
    };
    for (const Case& c : cases) {
        TRACE_ROW(cases, c);
        ModuleRig rig(c.front, c.rear);
        ASSERT_EQ(rig.device->Download(), 1) << rig.log.Joined();
        EXPECT_EQ(rig.farrow().sensor_probe_ids(),
                  (std::array<uint16_t, 2>{c.front_id, c.rear_id}));
        // Both cameras run their maker's new image.
        EXPECT_TRUE(rig.camera->AppMode());
        EXPECT_TRUE(rig.rear->AppMode());
        EXPECT_EQ(rig.camera->CurrentIdentity().product, std::string(c.front_maker) + " front");
        EXPECT_EQ(rig.rear->CurrentIdentity().product, std::string(c.rear_maker) + " rear");
        EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41755});
        EXPECT_TRUE(rig.log.Contains("SensorID:1,ProbeID:0x" +
                                     [&] {
                                         char id[8];
                                         std::snprintf(id, sizeof id, "%04X", c.rear_id);
                                         return std::string(id);
                                     }() +
                                     ",Rear FW:"))
            << rig.log.Joined();
    }
}

TEST(SensorModuleTest, ASensorBusThatDoesNotAnswerStopsBeforeAnythingIsErased) {
    ModuleRig rig({}, {});
    const std::vector<uint8_t> before = rig.Memory();
    EXPECT_EQ(rig.device->Download(), 0);
    EXPECT_EQ(rig.sink.codes(kReportFailure), std::vector<uint32_t>{41512});
    EXPECT_TRUE(rig.log.Contains("Read Sensor ID Fail")) << rig.log.Joined();
    EXPECT_EQ(rig.Memory(), before);
    EXPECT_EQ(rig.rear->Memory(), Image(RearLayout(), "Old Rear", 0x1050));
}

}  // namespace
}  // namespace orbisk::test
