#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/status_codes.h"
#include "device/mp_flow5.h"
#include "device/otp_tables.h"

namespace orbisk {

// Status codes of the OTP flows.

// OTP programming: every part of an image becomes a new block appended behind the blocks
// already written and listed in the VD table; bytes that do not program are repaired with ECC
// records; blocks that are superseded or failed are made dead by setting all their bits.
class CMpFlow_OTP : public CMpFlow5 {
  public:
    using CMpFlow5::CMpFlow5;

    // One part as a new block: write, verify through the ECC view, commit its VD entry,
    // retire the older blocks of its kind. `part` is the working copy.
    int OTP_UpdateEx_Cmd2(std::span<const uint8_t> part);
    int MP_OTPWrite(uint32_t len, std::span<uint8_t> data);
    int MP_OTPWriteWithRetry(uint32_t addr, uint32_t len, unsigned budget,
                             std::span<const uint8_t> data);
    int MP_OTPAnalyzeECC(uint32_t addr, std::span<const uint8_t> chunk);
    int MP_OTPReduant();
    // 0 written, 1 the record failed and was made dead, 3 locked, 4 no record left.
    int MP_OTPReduantDetail(uint16_t addr, uint8_t value);
    int MP_OTPWriteBlock(uint32_t len);
    int MP_OTPReduantVDFlag(int index);

    int MP_CheckVDNUM();
    int MP_CheckVDInfo(uint32_t len);
    int MP_OTPBlockValid(int index);
    int MP_OTPBlockValidAndSet(int index);
    int MP_CheckOTPWriteInValid(uint32_t start);

    int MP_OTPInit();
    int MP_OTPGetTotalErrorNum(uint32_t start, uint32_t len);
    int MP_OTPConvertBinaryData(uint32_t start, uint32_t len, std::span<uint8_t> data);
    int MP_OTPReduceErrNum(uint16_t addr, uint8_t value);

    int MP_OTPClearECC();
    int MP_OTPECCBelongToVDCode(uint16_t addr);
    int MP_OTPECCBelongToVDConfig(uint16_t addr);
    int MP_OTPClearPreVDBlock();
    int MP_OTPClearPrePreVDBlock();
    int MP_OTPFailAction(uint32_t len);
    int MP_OTPWriteBlockFail(uint16_t cur_addr, uint32_t len);
    int MP_OTPClearCurECC(uint16_t cur_addr, uint32_t len);

    int OTP_ReadEx_Cmd2(uint32_t addr, uint32_t len, uint8_t* buf, bool progress);
    int OTP_Veriry_Cmd2(uint32_t addr, uint32_t len, uint8_t* buf);
    int MP_OTPGetCorrectCodeData(uint32_t start, uint32_t len, uint8_t* buf);
    // 1 when the OTP may be programmed, 0 when it is locked or the lock cannot be read (then
    // lock_unknown() tells).
    int MP_OTPWriteEnale();
    bool lock_unknown() const { return lock_unknown_; }

    // The tables as the camera holds them now; false when they cannot be read.
    bool ReadOtpTables(otp::VdTable* vd, otp::EccTable* ecc);

    // Working state, for the logs and for tests.
    int sel_block() const { return m_iSelBlock; }
    int pre_sel_block() const { return m_iPreSelBlock; }
    uint16_t cur_addr() const { return m_wCurAddr; }
    unsigned exec_ecc_num() const { return m_uExecECCNum; }
    uint32_t block_start() const { return block_start_; }

  protected:
    // Every failure of the OTP flows is reported through here, so a run can tell whether its
    // failure has a code yet.
    void ReportFailure(uint32_t code) {
        failure_reported_ = true;
        process_.Report(kReportFailure, code);
    }
    // One OTP write of table bytes (ECC budget 8) and its program-fail report. 1 when it was
    // sent and the report read, with `failed` telling whether the report shows a failure.
    int WriteTable(uint32_t addr, std::span<const uint8_t> bytes, bool* failed);
    // A table byte made dead: its complement written over it.
    int KillBytes(uint32_t addr, uint32_t len);
    bool ReadFailReport(otp::FailReport* report);
    bool ReadOtp(uint32_t addr, uint32_t len, uint8_t* out);
    // Locked: 41918 reported. False when the OTP may not be written.
    bool Writable(LogScope& scope);
    int FirstFreeSlot() const;
    bool SlotHolds(uint16_t addr) const;
    bool IsCodePart() const { return process_.otp_code_part != 0; }
    // The previous block and the new block's start from the tables as they are now.
    void PlaceBlock(const otp::VdTable& vd, const otp::EccTable& ecc, LogScope& scope, int sel);
    int RetireEntries(int below, const char* scope_name);

    // Failed bytes waiting for an ECC record.
    std::array<uint16_t, otp::kFailSlots> m_wFailAddr{};
    std::array<uint8_t, otp::kFailSlots> m_byFailValue{};
    std::array<bool, otp::kFailSlots> m_bFailUsed{};
    unsigned m_uCurErrorNum = 0;
    unsigned m_uTotalErrorNum = 0;
    unsigned m_uExecECCNum = 0;
    unsigned m_uActualECCNum = otp::kFailSlots;
    unsigned m_uVirtualECCNum = 0;
    unsigned m_uSubECCNum = 0;
    std::vector<int> old_records_;
    uint16_t m_wCurAddr = 0xFFFF;
    unsigned m_uVDFlagNum = 0;
    int m_iSelBlock = 0;
    int m_iPreSelBlock = 0;
    uint16_t prev_addr_ = 0;
    uint16_t prev_len_ = 0;
    uint32_t block_start_ = 0;
    uint32_t block_len_ = 0;
    std::array<uint8_t, otp::kVdEntrySize> pending_entry_{};
    uint32_t write_started_ = 0;
    std::array<uint8_t, otp::kVdTableSize> vd_copy_{};
    std::array<uint8_t, otp::kEccTableSize> ecc_copy_{};
    // The part being written, as it must read back.
    std::span<const uint8_t> working_;
    bool failure_reported_ = false;
    bool lock_unknown_ = false;
};

}  // namespace orbisk
