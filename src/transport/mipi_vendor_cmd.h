#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "transport/vendor_cmd_common.h"

namespace orbisk {

class Logger;

// The MIPI bridge's first mailbox, reached over the sensor I2C path of another transport: a
// command block goes to the bridge's command register, the bridge is waited for, its status
// checked, and a read's reply taken from a reply register. Memory access, the sensor's
// registers and four queries travel this way. The mailbox operations answer 0 on success and
// 1 on any failure; the bridge's error code is logged, not returned.
class CMipiVendorCmd : public CVendorCmdCommon {
  public:
    static constexpr uint16_t kSlave = 0x78;
    static constexpr uint16_t kCommandRegister = 0x9D00;
    static constexpr uint16_t kShortReply = 0x9D04;
    static constexpr uint16_t kLongReply = 0x9D08;
    static constexpr uint16_t kStatusRegister = 0x0200;
    // The reply areas behind the two reply registers.
    static constexpr uint32_t kShortReplyMax = 260;
    static constexpr uint32_t kLongReplyMax = 256;

    // `ext_unit`: the camera's extension unit, for power control. `underlying`: the transport
    // whose I2C long read and write reach the bridge (the second vendor-request generation,
    // else the first, else the extension unit). Either may be null; both outlive this object.
    CMipiVendorCmd(CVendorCmdCommon* ext_unit, CVendorCmdCommon* underlying, Logger& logger);

    HResult ReadMem(uint32_t addr, uint32_t len, uint8_t* buf, ProgressCallback progress,
                    void* context) override;
    HResult WriteMem(uint32_t addr, uint32_t len, const uint8_t* buf, ProgressCallback progress,
                     void* context) override;
    using CVendorCmdCommon::I2CRead;
    using CVendorCmdCommon::I2CWrite;
    // Sensor register: width 1 answers the second reply byte, otherwise both, first high.
    HResult I2CRead(uint8_t width, uint32_t reg, uint16_t* value) override;
    HResult I2CWrite(uint8_t width, uint32_t reg, uint16_t value) override;
    HResult I2CLongRead(uint16_t slave, uint16_t reg, uint32_t len, uint8_t* buf,
                        ProgressCallback progress, void* context) override;
    HResult I2CLongWrite(uint16_t slave, uint16_t reg, uint32_t piece_size, uint32_t len,
                         const uint8_t* buf, ProgressCallback progress, void* context) override;
    HResult SetPowerMipi(uint8_t state) override;

    // 0 when the bridge is idle; 1 when it stays busy for 10,001 polls of 20 ms.
    int GetIdle();
    // 0 when the status shows no error, 1 otherwise (the code is logged).
    int GetStatus();
    HResult GetFormatList(uint8_t index, uint16_t len, uint8_t* out);
    HResult GetPropSptBitmap(uint8_t index, uint16_t len, uint8_t* out);
    HResult MIPI_ZalExtGetCTE(uint16_t len, uint8_t* out);
    HResult MIPI_ZalExtGet3AStatus(uint16_t len, uint8_t* out);

  protected:
    Logger& logger_;

  private:
    // One mailbox command: `label` names the operation, `name` the command in the log texts.
    // A reply of reply_len bytes is read from reply_register into `reply` (none when 0).
    HResult Mailbox(const char* label, const char* name, const std::vector<uint8_t>& block,
                    uint16_t reply_register, uint8_t* reply, uint32_t reply_len);
    HResult Query(const char* label, const char* name, const std::vector<uint8_t>& block,
                  uint32_t len, uint8_t* out);
    // The status byte; a failed read leaves 0xFF as the last value.
    uint8_t ReadStatusByte();

    CVendorCmdCommon* ext_unit_;
    CVendorCmdCommon* underlying_;
    uint8_t status_ = 0xFF;
};

}  // namespace orbisk
