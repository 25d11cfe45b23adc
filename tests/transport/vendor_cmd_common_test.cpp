#include "transport/vendor_cmd_common.h"

#include <gtest/gtest.h>

#include <vector>

namespace orbisk {
namespace {

// A transport that carries only the 16-bit EEPROM write.
class Eeprom16Only : public CVendorCmdCommon {
  public:
    HResult I2C_EEP16_Write(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback,
                            void*) override {
        writes.push_back({addr, std::vector<uint8_t>(buf, buf + len)});
        return kOk;
    }
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> writes;
};

TEST(VendorCmdCommonTest, UnsupportedOperationsAnswerNotImplemented) {
    CVendorCmdCommon none;
    uint8_t buf[8] = {};
    uint16_t value = 0;
    EXPECT_FALSE(none.DevQualify());
    EXPECT_FALSE(none.IsSecureBioByPass());
    EXPECT_EQ(none.GetDevStatus(0, buf, 8), kNotImpl);
    EXPECT_EQ(none.ReadMem(0, 8, buf, nullptr, nullptr), kNotImpl);
    EXPECT_EQ(none.I2CRead(uint8_t(1), uint32_t(2), &value), kNotImpl);
    EXPECT_EQ(none.IpCamSendFile("x"), kNotImpl);
    EXPECT_EQ(none.GetWPStatus(buf), kNotImpl);
    EXPECT_EQ(none.I2C_EEP8_WriteTag(), kNotImpl);
}

TEST(VendorCmdCommonTest, EepromTagIsTheByteA5AtAddress1ThroughTheFamilysWrite) {
    Eeprom16Only eeprom;
    EXPECT_EQ(eeprom.I2C_EEP16_WriteTag(), kOk);
    ASSERT_EQ(eeprom.writes.size(), 1u);
    EXPECT_EQ(eeprom.writes[0].first, 1u);
    EXPECT_EQ(eeprom.writes[0].second, std::vector<uint8_t>{0xA5});
    EXPECT_EQ(eeprom.I2C_EEP8_WriteTag(), kNotImpl);
}

}  // namespace
}  // namespace orbisk
