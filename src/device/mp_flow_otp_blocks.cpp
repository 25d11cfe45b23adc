// Blocks and the VD table: placement of a new block, its VD entry, verification, retiring the
// superseded blocks and cleaning up after a failed write.
#include <algorithm>

#include "base/status_codes.h"
#include "device/mp_flow_otp.h"

namespace orbisk {

namespace {

constexpr uint32_t kChunk = 4096;
constexpr uint32_t kAbnormalWindow = 256;

}  // namespace

int CMpFlow_OTP::OTP_UpdateEx_Cmd2(std::span<const uint8_t> part) {
    LogScope scope(process_.logger, "CMpFlow_OTP::OTP_UpdateEx_Cmd2");
    if (process_.CheckCancel()) {
        ReportFailure(kStatusResetDeviceFail);
        return 0;
    }
    const uint32_t n = static_cast<uint32_t>(part.size());
    working_ = part;
    std::vector<uint8_t> readback(n);
    std::vector<uint8_t> data(part.begin(), part.end());
    if (!MP_OTPWrite(n, data)) {
        MP_OTPFailAction(n);
        return 0;
    }
    if (!OTP_Veriry_Cmd2(block_start_, n, readback.data()) ||
        !MP_OTPGetCorrectCodeData(block_start_, n, readback.data())) {
        scope.Text("Read OTP Code Fail\n");
        ReportFailure(kStatusOtpReadFail);
        MP_OTPFailAction(n);
        return 0;
    }
    if (!std::equal(readback.begin(), readback.end(), part.begin())) {
        scope.Text("Compare OTP Code Fail\n");
        ReportFailure(kStatusCompareFail);
        MP_OTPFailAction(n);
        return 0;
    }
    if (!MP_OTPWriteBlock(n)) {
        MP_OTPClearCurECC(m_wCurAddr, n);
        ReportFailure(kStatusOtpWriteBlockFail);
        scope.Text("MP_OTPWriteBlock Fail\n");
        return 0;
    }
    if (m_iSelBlock != m_iPreSelBlock) {
        MP_OTPClearECC();
        uint8_t entry[otp::kVdEntrySize] = {};
        if (ReadOtp(otp::VdEntryAddress(m_iPreSelBlock), otp::kVdEntrySize, entry) &&
            (entry[4] == otp::kFlagCode || entry[4] == otp::kFlagConfig))
            MP_OTPClearPreVDBlock();
        else
            MP_OTPClearPrePreVDBlock();
    }
    return 1;
}

// ---- Table checks ---------------------------------------------------------------------------

int CMpFlow_OTP::MP_CheckVDNUM() {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_CheckVDNUM");
    if (!ReadOtp(otp::kVdBase, otp::kVdTableSize, vd_copy_.data())) return 0;
    m_uVDFlagNum = static_cast<unsigned>(otp::CountFreeEntries(otp::ParseVdTable(vd_copy_)));
    if (m_uVDFlagNum == 0) {
        scope.Text("0 == m_uVDFlagNum\n");
        ReportFailure(kStatusOtpNotEnoughVd);
        return 0;
    }
    return 1;
}

int CMpFlow_OTP::MP_OTPBlockValid(int index) {
    if (!ReadOtp(otp::kEccTableStart, otp::kEccTableSize, ecc_copy_.data())) return 0;
    return otp::EntryValid(otp::ParseEccTable(ecc_copy_), index) ? 1 : 0;
}

int CMpFlow_OTP::MP_OTPBlockValidAndSet(int index) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPBlockValidAndSet");
    if (!ReadOtp(otp::kEccTableStart, otp::kEccTableSize, ecc_copy_.data())) return 0;
    const int k = otp::PatchingRecord(otp::ParseEccTable(ecc_copy_), index);
    if (k == 0) return 1;
    // An entry that needs repair cannot be trusted: it and its record become dead.
    if (MP_OTPWriteEnale()) {
        KillBytes(otp::VdEntryAddress(index) + 4, 1);
        KillBytes(otp::EccRecordAddress(k) + 3, 1);
    }
    return 0;
}

void CMpFlow_OTP::PlaceBlock(const otp::VdTable& vd, const otp::EccTable& ecc, LogScope& scope,
                             int sel) {
    prev_addr_ = prev_len_ = 0;
    const std::optional<int> previous = otp::PreviousBlockEntry(vd, ecc);
    if (sel == 0) {
        scope.Text("VD Flag Initial\n");
    } else if (!previous) {
        scope.Text("VD Flag Second\n");
    } else {
        scope.Text("Find VD Flag %d\n", *previous);
    }
    // Behind the furthest block any entry names, dead blocks included: whatever a write left
    // in the memory must never lie inside a new block.
    if (previous) {
        prev_addr_ = vd[*previous].address;
        prev_len_ = vd[*previous].length;
    }
    block_start_ = uint32_t{prev_addr_} + prev_len_;
}

int CMpFlow_OTP::MP_CheckVDInfo(uint32_t len) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_CheckVDInfo");
    otp::VdTable vd;
    otp::EccTable ecc;
    if (!ReadOtpTables(&vd, &ecc)) return 0;
    m_iPreSelBlock = otp::PreSelBlock(vd, ecc);
    for (int i = 0; i < otp::kVdEntries; ++i) {
        const otp::VdEntry& e = vd[i];
        scope.Text("MP_CheckVDInfo 0x%x 0x%x 0x%x 0x%x 0x%x\n", e.address >> 8, e.address & 0xFF,
                   e.length >> 8, e.length & 0xFF, e.flag);
        MP_OTPBlockValidAndSet(i);
    }
    // The kills above changed the tables.
    if (!ReadOtpTables(&vd, &ecc)) return 0;
    m_iSelBlock = otp::FirstFreeEntry(vd, ecc);
    if (m_iSelBlock < 0) {
        m_iSelBlock = m_iPreSelBlock;
        scope.Text("Not Find Sel Block\n");
        ReportFailure(kStatusOtpNoVdBlock);
        return 0;
    }
    scope.Text("Find Sel Block\n");
    PlaceBlock(vd, ecc, scope, m_iSelBlock);
    if (uint64_t{block_start_} + len > otp::kDataEnd) {
        scope.Text("Exceed Code Length\n");
        m_iSelBlock = m_iPreSelBlock;
        ReportFailure(kStatusOtpExceedLength);
        return 0;
    }
    return 1;
}

int CMpFlow_OTP::MP_CheckOTPWriteInValid(uint32_t start) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_CheckOTPWriteInValid");
    if (start >= otp::kDataEnd) return 0;
    const uint32_t len = std::min(kAbnormalWindow, otp::kDataEnd - start);
    std::vector<uint8_t> bytes(len);
    // Unreadable counts as abnormal: nothing may be written over bytes not seen.
    if (!ReadOtp(start, len, bytes.data())) return 1;
    if (const auto at = otp::FindAbnormalRun(bytes, start)) {
        scope.Text("OTP wAddr 0x%x abnormal\n", *at);
        return 1;
    }
    return 0;
}

// ---- The VD entry ---------------------------------------------------------------------------

int CMpFlow_OTP::MP_OTPWriteBlock(uint32_t len) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPWriteBlock");
    const otp::VdEntry entry{static_cast<uint16_t>(block_start_), static_cast<uint16_t>(len),
                             IsCodePart() ? otp::kFlagCode : otp::kFlagConfig};
    pending_entry_ = otp::EncodeVdEntry(entry);
    if (!Writable(scope)) return 0;
    bool failed = false;
    if (!WriteTable(otp::VdEntryAddress(m_iSelBlock), pending_entry_, &failed)) return 0;
    return failed ? MP_OTPReduantVDFlag(m_iSelBlock) : 1;
}

int CMpFlow_OTP::MP_OTPReduantVDFlag(int index) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPReduantVDFlag");
    for (int i = index;;) {
        scope.Text("MP_OTPReduantVDFlag index %d\n", i);
        if (MP_OTPWriteEnale()) KillBytes(otp::VdEntryAddress(i), otp::kVdEntrySize);
        // The next entry that is free and trusted; one in use is never written over.
        otp::VdTable vd;
        otp::EccTable ecc;
        if (!ReadOtpTables(&vd, &ecc)) return 0;
        for (++i; i < otp::kVdEntries && !vd[i].Free(); ++i) {
        }
        m_iSelBlock = i;
        if (i >= otp::kVdEntries) {
            scope.Text("MP_OTPReduantVDFlag Exceed 15\n");
            return 0;
        }
        if (!MP_OTPWriteEnale()) return 0;
        if (!otp::EntryValid(ecc, i)) continue;
        bool failed = false;
        if (!WriteTable(otp::VdEntryAddress(i), pending_entry_, &failed)) return 0;
        if (!failed) return 1;
        scope.Text("MP_OTPReduantVDFlag %d Reduant\n", i);
    }
}

// ---- Retiring superseded blocks ---------------------------------------------------------------

int CMpFlow_OTP::MP_OTPECCBelongToVDCode(uint16_t addr) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPECCBelongToVDCode");
    bool same_start = false;
    if (!otp::BelongsToKind(otp::ParseVdTable(vd_copy_), addr, otp::kFlagCode, &same_start))
        return 0;
    scope.Text(same_start ? "ECC Exist VD Code 1\n" : "ECC Exist VD Code 2\n");
    return 1;
}

int CMpFlow_OTP::MP_OTPECCBelongToVDConfig(uint16_t addr) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPECCBelongToVDConfig");
    bool same_start = false;
    if (!otp::BelongsToKind(otp::ParseVdTable(vd_copy_), addr, otp::kFlagConfig, &same_start))
        return 0;
    scope.Text(same_start ? "ECC Exist VD Config 1\n" : "ECC Exist VD Config 2\n");
    return 1;
}

int CMpFlow_OTP::MP_OTPClearECC() {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPClearECC");
    if (!ReadOtp(otp::kVdBase, otp::kVdTableSize, vd_copy_.data())) return 0;
    for (int k : old_records_) {
        if (k < 1 || k > otp::kEccRecords) continue;
        scope.Text("byECCNo is %d\n", k);
        if (!MP_OTPWriteEnale()) continue;
        uint8_t bytes[otp::kEccRecordSize] = {};
        if (!ReadOtp(otp::EccRecordAddress(k), otp::kEccRecordSize, bytes)) continue;
        const uint16_t addr = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
        const bool belongs =
            IsCodePart() ? MP_OTPECCBelongToVDCode(addr) : MP_OTPECCBelongToVDConfig(addr);
        if (belongs) KillBytes(otp::EccRecordAddress(k) + 3, 1);
    }
    return 1;
}

int CMpFlow_OTP::RetireEntries(int below, const char* scope_name) {
    LogScope scope(process_.logger, scope_name);
    if (!ReadOtp(otp::kVdBase, otp::kVdTableSize, vd_copy_.data())) return 0;
    const otp::VdTable vd = otp::ParseVdTable(vd_copy_);
    const uint8_t kind = IsCodePart() ? otp::kFlagCode : otp::kFlagConfig;
    for (int i = 0; i < below && i < otp::kVdEntries; ++i) {
        // The new block's own entry is never retired, wherever it lies.
        if (i == m_iSelBlock || vd[i].flag != kind) continue;
        if (!MP_OTPWriteEnale()) return 0;
        KillBytes(otp::VdEntryAddress(i) + 4, 1);
    }
    return 1;
}

int CMpFlow_OTP::MP_OTPClearPreVDBlock() {
    return RetireEntries(m_iSelBlock, "CMpFlow_OTP::MP_OTPClearPreVDBlock");
}

int CMpFlow_OTP::MP_OTPClearPrePreVDBlock() {
    return RetireEntries(m_iPreSelBlock, "CMpFlow_OTP::MP_OTPClearPrePreVDBlock");
}

// ---- After a failed block ---------------------------------------------------------------------

int CMpFlow_OTP::MP_OTPFailAction(uint32_t len) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPFailAction");
    scope.Text("MP_OTPWrite Fail\n");
    if (!write_started_) return 1;
    if (!MP_OTPWriteBlockFail(m_wCurAddr, len)) scope.Text("MP_OTPWriteBlock Fail\n");
    MP_OTPClearCurECC(m_wCurAddr, len);
    return 1;
}

int CMpFlow_OTP::MP_OTPWriteBlockFail(uint16_t cur_addr, uint32_t len) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPWriteBlockFail");
    const uint32_t s = block_start_;
    // The dead block covers what the failed write consumed: up to the end of its last chunk,
    // never before the block start nor past its length.
    uint32_t consumed = len;
    if (cur_addr != 0xFFFF && cur_addr > s) consumed = std::min<uint32_t>(cur_addr - s, len);
    const otp::VdEntry dead{static_cast<uint16_t>(s), static_cast<uint16_t>(consumed),
                            otp::kFlagDead};
    pending_entry_ = otp::EncodeVdEntry(dead);
    if (!Writable(scope)) return 0;
    bool failed = false;
    if (!WriteTable(otp::VdEntryAddress(m_iSelBlock), pending_entry_, &failed)) return 0;
    return failed ? MP_OTPReduantVDFlag(m_iSelBlock) : 1;
}

int CMpFlow_OTP::MP_OTPClearCurECC(uint16_t cur_addr, uint32_t len) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPClearCurECC");
    const uint32_t s = block_start_;
    const uint32_t end = cur_addr == 0xFFFF ? s + len : cur_addr;
    if (!ReadOtp(otp::kEccTableStart, otp::kEccTableSize, ecc_copy_.data())) return 0;
    const otp::EccTable ecc = otp::ParseEccTable(ecc_copy_);
    unsigned killed = 0;
    for (int k = 1; k <= otp::kEccRecords && killed < otp::kFailSlots; ++k) {
        const otp::EccRecord& r = ecc[k - 1];
        if (!r.Active() || r.address < s || r.address >= end) continue;
        scope.Text("byECCNo is %d\n", k);
        if (!MP_OTPWriteEnale()) return 0;
        KillBytes(otp::EccRecordAddress(k) + 3, 1);
        ++killed;
    }
    return 1;
}

// ---- Reads -------------------------------------------------------------------------------------

int CMpFlow_OTP::OTP_ReadEx_Cmd2(uint32_t addr, uint32_t len, uint8_t* buf, bool progress) {
    LogScope scope(process_.logger, "CMpFlow_OTP::OTP_ReadEx_Cmd2");
    process_.Report(kReportStepText, kStatusStepRead);
    for (uint32_t done = 0; done < len;) {
        if (process_.CheckCancel()) return 0;
        const uint32_t piece = std::min(kChunk, len - done);
        if (!ReadOtp(addr + done, piece, buf + done)) return 0;
        done += piece;
        if (progress) process_.Report(kReportProgress, 10 + done * 80 / len);
    }
    return 1;
}

int CMpFlow_OTP::OTP_Veriry_Cmd2(uint32_t addr, uint32_t len, uint8_t* buf) {
    return OTP_ReadEx_Cmd2(addr, len, buf, false);
}

int CMpFlow_OTP::MP_OTPGetCorrectCodeData(uint32_t start, uint32_t len, uint8_t* buf) {
    if (!ReadOtp(otp::kEccTableStart, otp::kEccTableSize, ecc_copy_.data())) return 0;
    otp::ApplyEcc(otp::ParseEccTable(ecc_copy_), start, std::span<uint8_t>(buf, len));
    return 1;
}

}  // namespace orbisk
