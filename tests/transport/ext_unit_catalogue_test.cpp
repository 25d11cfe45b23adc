// The command blocks and data phases of the extension-unit catalogue, as the device sees them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "base/clock.h"
#include "base/logger.h"
#include "support/recorders.h"
#include "support/table_row.h"
#include "transport/ext_unit.h"
#include "transport/mock_usb.h"

namespace orbisk {
namespace {

using test::Bytes;
using test::Hex;
using test::WireRequest;

struct Row {
    const char* name;
    std::function<HResult(CExtUnit&)> call;
    const char* command;
    // Data packets: 'r' read, 'w' written (first packet given), '-' none.
    char phase;
    int packets;
    const char* first_written = "";
};

class ExtUnitCatalogueTest : public ::testing::Test {
  protected:
    ExtUnitCatalogueTest()
        : lock_name_("orbisk-test-cat-" + std::to_string(getpid())),
          logger_(clock_, &log_),
          lock_(OpenDeviceLock(lock_name_)),
          unit_(device_, 1, 0, logger_, lock_, 1000) {
        device_.requests.clear();
    }
    ~ExtUnitCatalogueTest() override { RemoveDeviceLock(lock_name_); }

    std::string lock_name_;
    VirtualClock clock_;
    test::RecordingLogSink log_;
    Logger logger_;
    std::shared_ptr<DeviceLock> lock_;
    test::MockUsbDevice device_;
    CExtUnit unit_;
};

uint8_t b[64] = {};
uint8_t v = 0;
uint16_t w = 0, h = 0;
uint32_t u = 0;
const uint8_t data4[4] = {0xA1, 0xA2, 0xA3, 0xA4};

TEST_F(ExtUnitCatalogueTest, EachOperationSendsItsTemplateAndDataPhase) {
    const Row rows[] = {
        {"ResetToUpdateFW", [](CExtUnit& x) { return x.ResetToUpdateFW(0x0102); },
         "00 07 02 01 00 00 00 00", '-', 0},
        {"ResetToNewCode", [](CExtUnit& x) { return x.ResetToNewCode(3); },
         "00 08 03 00 00 00 00 00", '-', 0},
        {"ResetToRom", [](CExtUnit& x) { return x.ResetToRom(); }, "00 09 00 00 00 00 00 00", '-',
         0},
        {"ReadIMem", [](CExtUnit& x) { return x.ReadIMem(0x12345, 9, b, nullptr, nullptr); },
         "00 C1 45 23 09 00 00 00", 'r', 2},
        {"ReadCode", [](CExtUnit& x) { return x.ReadCode(0x12345, 8, b, nullptr, nullptr); },
         "00 C3 45 23 08 00 00 00", 'r', 1},
        {"ReadPhy", [](CExtUnit& x) { return x.ReadPhy(0xFFFF, 1, b); }, "00 CC FF FF 01 00 00 00",
         'r', 1},
        {"WritePhy", [](CExtUnit& x) { return x.WritePhy(0x10, 1, data4); },
         "00 8C 10 00 01 00 00 00", 'w', 1, "A1 00 00 00 00 00 00 00"},
        {"NorFlash_Erase", [](CExtUnit& x) { return x.NorFlash_Erase(); },
         "00 04 00 00 00 00 00 00", '-', 0},
        {"NorFlash_Read",
         [](CExtUnit& x) { return x.NorFlash_Read(0x10020, 4, b, nullptr, nullptr); },
         "00 C5 20 00 04 00 00 00", 'r', 1},
        {"NorFlash_Write",
         [](CExtUnit& x) { return x.NorFlash_Write(0x20, 4, data4, nullptr, nullptr); },
         "00 85 20 00 04 00 00 00", 'w', 1, "A1 A2 A3 A4 00 00 00 00"},
        {"NorFlash_WriteTag", [](CExtUnit& x) { return x.NorFlash_WriteTag(); },
         "00 06 00 00 00 00 00 00", '-', 0},
        {"SPI_SF_ReadID", [](CExtUnit& x) { return x.SPI_SF_ReadID(b); }, "02 C1 00 00 08 00 00 00",
         'r', 1},
        {"SPI_SF_FastRead 2",
         [](CExtUnit& x) { return x.SPI_SF_FastRead(0x30000, 8, b, 2, nullptr, nullptr); },
         "02 D5 00 00 08 00 03 00", 'r', 1},
        {"SPI_SF_FastRead 7",
         [](CExtUnit& x) { return x.SPI_SF_FastRead(0, 8, b, 7, nullptr, nullptr); },
         "02 C2 00 00 08 00 00 00", 'r', 1},
        {"SPI_SF_Write",
         [](CExtUnit& x) { return x.SPI_SF_Write(0x30004, 4, data4, nullptr, nullptr); },
         "02 82 04 00 04 00 03 00", 'w', 1, "A1 A2 A3 A4 00 00 00 00"},
        {"SPI_SF_ReadSr", [](CExtUnit& x) { return x.SPI_SF_ReadSr(&v); },
         "02 C3 00 00 01 00 00 00", 'r', 1},
        {"SPI_SF_WriteSr", [](CExtUnit& x) { return x.SPI_SF_WriteSr(0x9C); },
         "02 83 00 00 01 00 00 00", 'w', 1, "9C 00 00 00 00 00 00 00"},
        {"SPI_SF_EraseChip", [](CExtUnit& x) { return x.SPI_SF_EraseChip(77); },
         "02 04 00 00 00 00 00 00", '-', 0},
        {"SPI_SF_WriteTag", [](CExtUnit& x) { return x.SPI_SF_WriteTag(); },
         "02 13 00 00 00 00 00 00", '-', 0},
        {"I2C_EEP8_Read",
         [](CExtUnit& x) { return x.I2C_EEP8_Read(0x100, 2, b, nullptr, nullptr); },
         "02 CB 00 01 02 00 00 00", 'r', 1},
        {"I2C_EEP8_Erase", [](CExtUnit& x) { return x.I2C_EEP8_Erase(20); },
         "02 8B 00 00 14 00 00 00", 'w', 3, "FF FF FF FF FF FF FF FF"},
        {"I2C_EEP16_WriteTag", [](CExtUnit& x) { return x.I2C_EEP16_WriteTag(); },
         "02 91 01 00 01 00 00 00", 'w', 1, "A5 00 00 00 00 00 00 00"},
        {"I2C_EEP16_Read",
         [](CExtUnit& x) { return x.I2C_EEP16_Read(0x100, 2, b, nullptr, nullptr); },
         "02 D1 00 01 02 00 00 00", 'r', 1},
        {"I2CRead slave", [](CExtUnit& x) { return x.I2CRead(uint8_t(0x1A2), uint16_t(8), b); },
         "00 EA A2 00 08 00 00 00", 'r', 1},
        {"I2CGenRead", [](CExtUnit& x) { return x.I2CGenRead(0x42, 20, b); },
         "00 EA 42 00 14 00 00 00", 'r', 3},
        {"I2CWrite slave",
         [](CExtUnit& x) { return x.I2CWrite(uint8_t(0x42), uint16_t(2), data4); },
         "00 AA 42 00 02 00 00 00", 'w', 1, "A1 A2 00 00 00 00 00 00"},
        {"I2CWrite reg",
         [](CExtUnit& x) { return x.I2CWrite(uint8_t(2), uint32_t(0x123456), uint16_t(0xBEEF)); },
         "00 8A 56 34 02 00 12 00", 'w', 1, "EF BE 00 00 00 00 00 00"},
        {"I2CRandomRead", [](CExtUnit& x) { return x.I2CRandomRead(0x42, 3, b); },
         "00 F1 42 00 03 00 00 00", 'r', 1},
        {"I2CSuperWrite", [](CExtUnit& x) { return x.I2CSuperWrite(0x42, 4, data4); },
         "00 B2 42 00 04 00 00 00", 'w', 1, "A1 A2 A3 A4 00 00 00 00"},
        {"SetPowerMipi", [](CExtUnit& x) { return x.SetPowerMipi(1); }, "00 B3 00 00 01 00 00 00",
         'w', 1, "01 00 00 00 00 00 00 00"},
        {"OTP_Write", [](CExtUnit& x) { return x.OTP_Write(0x40, 4, 2, data4, 0, 0); },
         "02 97 40 00 04 00 02 00", 'w', 1, "A1 A2 A3 A4 00 00 00 00"},
        {"OTP_AllBlankCheck", [](CExtUnit& x) { return x.OTP_AllBlankCheck(0x10, 16, b, 0, 0); },
         "02 DF 10 00 08 00 10 00", 'r', 2},
        {"OTP_ReadProgramFailAdr", [](CExtUnit& x) { return x.OTP_ReadProgramFailAdr(4, b); },
         "02 DC 00 00 13 00 00 00", 'r', 1},
        {"GetIRResolution", [](CExtUnit& x) { return x.GetIRResolution(&w, &h, &v); },
         "00 FB 00 00 05 00 00 00", 'r', 1},
        {"IsSupportUVTag", [](CExtUnit& x) { return x.IsSupportUVTag(&u); },
         "00 FB 00 00 06 00 00 00", 'r', 1},
        {"GetWPStatus", [](CExtUnit& x) { return x.GetWPStatus(&v); }, "00 FC 00 00 01 00 00 00",
         'r', 1},
        {"SWWriteProtect", [](CExtUnit& x) { return x.SWWriteProtect(0x5A); },
         "00 BD 00 00 01 00 00 00", 'w', 1, "5A 00 00 00 00 00 00 00"},
        {"SecureBioByPass", [](CExtUnit& x) { return x.SecureBioByPass(data4, 4); },
         "00 BC 00 00 08 00 00 00", 'w', 1, "A1 A2 A3 A4 00 00 00 00"},
        {"MDIORead2", [](CExtUnit& x) { return x.MDIORead2(0x33, 10, b); },
         "00 F9 33 00 0A 00 00 00", 'r', 2},
        {"SetMode", [](CExtUnit& x) { return x.SetMode(7, 9); }, "00 93 00 00 02 00 00 00", 'w', 1,
         "07 09 00 00 00 00 00 00"},
        {"SetGOPVal", [](CExtUnit& x) { return x.SetGOPVal(0x11); }, "03 9B 00 00 01 00 00 00", 'w',
         1, "11 00 00 00 00 00 00 00"},
        {"SetJpegQTableScale", [](CExtUnit& x) { return x.SetJpegQTableScale(0x22); },
         "01 9B 00 00 01 00 00 00", 'w', 1, "22 00 00 00 00 00 00 00"},
        {"SetH264VSCMDRate", [](CExtUnit& x) { return x.SetH264VSCMDRate(0x33); },
         "03 9F 00 00 01 00 00 00", 'w', 1, "33 00 00 00 00 00 00 00"},
        {"SetH264MaxQP", [](CExtUnit& x) { return x.SetH264MaxQP(0x44); },
         "03 A1 00 00 01 00 00 00", 'w', 1, "44 00 00 00 00 00 00 00"},
        {"SetH264BitRate", [](CExtUnit& x) { return x.SetH264BitRate(data4); },
         "03 A4 00 00 04 00 00 00", 'w', 1, "A1 A2 A3 A4 00 00 00 00"},
        {"SetOSDTIME", [](CExtUnit& x) { return x.SetOSDTIME(data4, 3); },
         "03 84 00 00 03 00 00 00", 'w', 1, "A1 A2 A3 00 00 00 00 00"},
        {"StopBackGroundMTD", [](CExtUnit& x) { return x.StopBackGroundMTD(); },
         "03 1E 00 00 00 00 00 00", '-', 0},
        {"MeRangeSet", [](CExtUnit& x) { return x.MeRangeSet(1, 2); }, "03 AA 00 00 02 00 00 00",
         'w', 1, "01 02 00 00 00 00 00 00"},
        {"VD3AVersionGet", [](CExtUnit& x) { return x.VD3AVersionGet(5, b); },
         "01 DD 05 00 03 00 00 00", 'r', 1},
        {"GetTouch2ASize", [](CExtUnit& x) { return x.GetTouch2ASize(b, 2); },
         "01 DA 00 00 02 00 00 00", 'r', 1},
        {"Shale_Crop_Start_Get", [](CExtUnit& x) { return x.Shale_Crop_Start_Get(4, b); },
         "04 C1 00 00 04 00 00 00", 'r', 1},
        {"Shale_Denoise_Set", [](CExtUnit& x) { return x.Shale_Denoise_Set(3); },
         "04 83 00 00 01 00 00 00", 'w', 1, "03 00 00 00 00 00 00 00"},
        {"SetSrcSwap", [](CExtUnit& x) { return x.SetSrcSwap(2, 1); }, "06 80 02 00 01 00 00 00",
         'w', 1, "01 00 00 00 00 00 00 00"},
        {"AudioHWVersionGet", [](CExtUnit& x) { return x.AudioHWVersionGet(&v); },
         "06 C2 00 00 01 00 00 00", 'r', 1},
        {"OTPWriteTest", [](CExtUnit& x) { return x.OTPWriteTest(0x40, 2, 1, data4); },
         "02 9A 40 00 02 00 01 00", 'w', 1, "A1 A2 00 00 00 00 00 00"},
    };
    for (const Row& row : rows) {
        TRACE_ROW(rows, row);
        device_.requests.clear();
        ASSERT_EQ(row.call(unit_), kOk) << row.name;
        ASSERT_FALSE(device_.requests.empty()) << row.name;
        EXPECT_EQ(Hex(device_.requests[0].data), row.command) << row.name;
        int packets = 0;
        for (const WireRequest& r : device_.requests) {
            if (r.selector() != 11) continue;
            ++packets;
            EXPECT_EQ(r.in(), row.phase == 'r') << row.name;
            EXPECT_EQ(r.length, 8) << row.name;
            if (packets == 1 && row.phase == 'w') {
                EXPECT_EQ(Hex(r.data), row.first_written) << row.name;
            }
        }
        EXPECT_EQ(packets, row.packets) << row.name;
    }
}

TEST_F(ExtUnitCatalogueTest, RepliesAreDecodedFromTheDocumentedBytes) {
    device_.QueueReply(Bytes("80 02 E0 01 07 00 00 00"));
    ASSERT_EQ(unit_.GetIRResolution(&w, &h, &v), kOk);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(v, 7);
    device_.QueueReply(Bytes("00 00 00 00 00 01 00 00"));
    ASSERT_EQ(unit_.IsSupportUVTag(&u), kOk);
    EXPECT_EQ(u, 1u);
    device_.QueueReply(Bytes("34 12"));
    ASSERT_EQ(unit_.I2CRead(uint8_t(1), uint32_t(0x10), &w), kOk);
    EXPECT_EQ(w, 0x34);  // 8-bit register: high byte cleared
    device_.QueueReply(Bytes("4B 4F 42 49 45 00 00 00"));
    EXPECT_TRUE(unit_.IsSecureBioByPass());
    device_.QueueReply(Bytes("4B 4F 42 49 46 00 00 00"));
    EXPECT_FALSE(unit_.IsSecureBioByPass());
    EXPECT_TRUE(log_.Contains("Not SecureBioByPass mode"));
    // The single-packet I2C forms hold no more than one packet.
    device_.requests.clear();
    EXPECT_EQ(unit_.I2CRead(uint8_t(0x42), uint16_t(9), b), kInvalidArg);
    EXPECT_EQ(unit_.I2CRandomWrite(0x42, 65, b), kInvalidArg);
    EXPECT_TRUE(device_.requests.empty());
}

TEST_F(ExtUnitCatalogueTest, OperationsOutsideTheProtocolAreNotImplementedAndSendNothing) {
    CVendorCmdCommon& x = unit_;
    EXPECT_EQ(x.MTP_Write(0, 4, data4, 3, nullptr, nullptr), kNotImpl);
    EXPECT_EQ(x.MTP_Erase(16), kNotImpl);
    EXPECT_EQ(x.SPI_SF_ReadAlt(0, 4, b, 0, nullptr, nullptr), kNotImpl);
    EXPECT_EQ(x.VendorWrite52(1), kNotImpl);
    EXPECT_EQ(x.VendorCommand4F(), kNotImpl);
    EXPECT_EQ(x.IpCamGet20(1, &u), kNotImpl);
    EXPECT_TRUE(device_.requests.empty());
}

TEST_F(ExtUnitCatalogueTest, OtpWriteStartsWithACleanLastStatus) {
    device_.status_code = 7;
    device_.FailNext(1);
    EXPECT_EQ(unit_.ResetToRom(), test::kGenFailure);
    EXPECT_EQ(unit_.GetLastCmdStatus(), 7);
    ASSERT_EQ(unit_.OTP_Write(0, 4, 0, data4, 0, 0), kOk);
    EXPECT_EQ(unit_.GetLastCmdStatus(), 0);
}

}  // namespace
}  // namespace orbisk
