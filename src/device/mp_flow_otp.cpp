// The write path of an OTP block: data in chunks, failed bytes collected, ECC records written.
#include "device/mp_flow_otp.h"

#include <algorithm>

#include "base/status_codes.h"

namespace orbisk {

namespace {

constexpr uint32_t kChunk = 4096;
constexpr unsigned kTableBudget = 8;
constexpr uint32_t kLockRegister = 0xFD0C;
constexpr uint8_t kLockBit = 0x08;

}  // namespace

// ---- Device access --------------------------------------------------------------------------

bool CMpFlow_OTP::ReadOtp(uint32_t addr, uint32_t len, uint8_t* out) {
    // Every address computed from the tables is checked against the memory before use.
    if (!HasCamera() || uint64_t{addr} + len > otp::kSize) return false;
    return camlib_.CamLib_OTP_Read(conn_.camera_handle, static_cast<uint16_t>(addr),
                                   static_cast<uint16_t>(len), out, 0, 0) != 0;
}

bool CMpFlow_OTP::ReadFailReport(otp::FailReport* report) {
    uint8_t bytes[otp::kReportSize] = {};
    if (!HasCamera() ||
        !camlib_.CamLib_OTP_ReadProgramFailAdr(conn_.camera_handle, otp::kReportSize, bytes))
        return false;
    *report = otp::ParseFailReport(bytes);
    return true;
}

bool CMpFlow_OTP::ReadOtpTables(otp::VdTable* vd, otp::EccTable* ecc) {
    if (!ReadOtp(otp::kVdBase, otp::kVdTableSize, vd_copy_.data()) ||
        !ReadOtp(otp::kEccTableStart, otp::kEccTableSize, ecc_copy_.data()))
        return false;
    *vd = otp::ParseVdTable(vd_copy_);
    *ecc = otp::ParseEccTable(ecc_copy_);
    return true;
}

int CMpFlow_OTP::WriteTable(uint32_t addr, std::span<const uint8_t> bytes, bool* failed) {
    *failed = false;
    if (!HasCamera() || addr < otp::kDataEnd || addr + bytes.size() > otp::kSize) return 0;
    if (!camlib_.CamLib_OTP_Write(conn_.camera_handle, static_cast<uint16_t>(addr), kTableBudget,
                                  static_cast<uint16_t>(bytes.size()), bytes.data(), 0, 0))
        return 0;
    otp::FailReport report;
    if (!ReadFailReport(&report)) return 0;
    *failed = report.count != 0;
    return 1;
}

int CMpFlow_OTP::KillBytes(uint32_t addr, uint32_t len) {
    std::vector<uint8_t> bytes(len);
    if (!ReadOtp(addr, len, bytes.data())) return 0;
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(~b);
    bool failed = false;
    return WriteTable(addr, bytes, &failed);
}

int CMpFlow_OTP::MP_OTPWriteEnale() {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPWriteEnale");
    // The controller wants a moment between the previous command and the lock read.
    process_.clock.sleep_us(1);
    uint8_t value = 0;
    lock_unknown_ = !MP_ReadMem(kLockRegister, 1, &value);
    if (lock_unknown_) {
        scope.Text("Read OTP Lock Fail\n");
        return 0;
    }
    if (value & kLockBit) {
        scope.Text("Lock\n");
        return 0;
    }
    scope.Text("Not Lock\n");
    return 1;
}

bool CMpFlow_OTP::Writable(LogScope& scope) {
    if (MP_OTPWriteEnale()) return true;
    // A lock that cannot be read is no lock: the run's failure is the lost camera.
    if (lock_unknown_) return false;
    scope.Section("OTP Locked,Can't Program!\n");
    ReportFailure(kStatusOtpLocked);
    return false;
}

// ---- Failure slots ----------------------------------------------------------------------------

int CMpFlow_OTP::FirstFreeSlot() const {
    for (unsigned i = 0; i < otp::kFailSlots; ++i)
        if (!m_bFailUsed[i]) return static_cast<int>(i);
    return -1;
}

bool CMpFlow_OTP::SlotHolds(uint16_t addr) const {
    for (unsigned i = 0; i < otp::kFailSlots; ++i)
        if (m_bFailUsed[i] && m_wFailAddr[i] == addr) return true;
    return false;
}

int CMpFlow_OTP::MP_OTPInit() {
    m_wFailAddr.fill(0xFFFF);
    m_byFailValue.fill(0);
    m_bFailUsed.fill(false);
    old_records_.clear();
    return 1;
}

int CMpFlow_OTP::MP_OTPGetTotalErrorNum(uint32_t start, uint32_t len) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPGetTotalErrorNum");
    otp::VdTable vd;
    otp::EccTable ecc;
    if (!ReadOtpTables(&vd, &ecc)) return 0;
    for (const otp::EccRecord& r : ecc)
        scope.Text("ECC Data 0x%x  %d %d\n", r.address, r.value, r.flag);
    const otp::EccCounts counts = otp::CountEcc(ecc, start, len);
    m_uActualECCNum = counts.actual;
    m_uVirtualECCNum = counts.virtual_;
    m_uSubECCNum = counts.sub;
    old_records_ = counts.old_records;
    return 1;
}

int CMpFlow_OTP::MP_OTPReduceErrNum(uint16_t addr, uint8_t value) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPReduceErrNum");
    const int slot = FirstFreeSlot();
    // More reserved bytes than slots: the block cannot be repaired.
    if (slot < 0) return 0;
    if (m_uExecECCNum > 0) --m_uExecECCNum;
    ++m_uTotalErrorNum;
    m_wFailAddr[slot] = addr;
    m_byFailValue[slot] = value;
    m_bFailUsed[slot] = true;
    scope.Text("Record ECC m_wFailAddr 0x%04x m_byFailValue 0x%02x\n", addr, value);
    return 1;
}

int CMpFlow_OTP::MP_OTPConvertBinaryData(uint32_t start, uint32_t len, std::span<uint8_t> data) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPConvertBinaryData");
    const otp::EccTable ecc = otp::ParseEccTable(ecc_copy_);
    for (int k : otp::ReservedInBlock(ecc, start, len)) {
        const uint16_t addr = ecc[k - 1].address;
        scope.Text("ErrAddr 0x%04x\n", addr);
        uint8_t held = 0;
        if (!ReadOtp(addr, 1, &held)) return 0;
        const uint8_t image = data[addr - start];
        for (int bit = 0; bit < 8; ++bit)
            if (held & (1 << bit)) scope.Text("byTestBit TRUE\n");
        if (!MP_OTPReduceErrNum(addr, image)) {
            scope.Section("Error Num Exceed 8!\n");
            ReportFailure(kStatusOtpErrorExceed);
            return 0;
        }
        data[addr - start] = otp::ChangeBinaryData(image, held);
        scope.Text("Change Data\n");
    }
    return 1;
}

// ---- The block write ------------------------------------------------------------------------

int CMpFlow_OTP::MP_OTPWrite(uint32_t len, std::span<uint8_t> data) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPWrite");
    m_wCurAddr = 0xFFFF;
    m_uTotalErrorNum = 0;
    write_started_ = 0;
    if (!MP_CheckVDNUM() || !MP_CheckVDInfo(len)) return 0;
    const uint32_t s = block_start_;
    if (MP_CheckOTPWriteInValid(s)) {
        scope.Text("Last OTP Write Operation Abnomal\n");
        ReportFailure(kStatusOtpLastWriteAbnormal);
        return 0;
    }
    write_started_ = 1;
    block_len_ = len;
    scope.Text("wStartAddr is 0x%x\n", s);
    scope.Text("wTotalLen  is 0x%x\n", 0);
    scope.Text("wLen  is 0x%x\n", len);
    MP_OTPInit();
    if (!MP_OTPGetTotalErrorNum(s, len)) return 0;
    m_uExecECCNum = otp::ExecEccNum(m_uVirtualECCNum, m_uSubECCNum);
    if (m_uExecECCNum == 0) scope.Text("0 == m_uExecECCNum\n");
    if (!MP_OTPConvertBinaryData(s, len, data)) return 0;
    process_.Report(kReportStepText, kStatusStepDownload);
    if (len == 0) return 0;
    for (uint32_t done = 0; done < len;) {
        if (process_.CheckCancel()) {
            ReportFailure(kStatusResetDeviceFail);
            return 0;
        }
        const uint32_t piece = std::min(kChunk, len - done);
        if (!MP_OTPWriteWithRetry(s + done, piece, m_uExecECCNum, data.subspan(done, piece))) {
            scope.Text("MP_OTPWriteWithRetry Fail 0x%x\n", s + done);
            return 0;
        }
        done += piece;
        if (IsCodePart()) process_.Report(kReportProgress, 10 + done * 80 / len);
    }
    m_wCurAddr = 0xFFFF;
    const int result = MP_OTPReduant();
    if (!result) scope.Text("MP_OTPReduant Fail\n");
    return result;
}

int CMpFlow_OTP::MP_OTPWriteWithRetry(uint32_t addr, uint32_t len, unsigned budget,
                                      std::span<const uint8_t> data) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPWriteWithRetry");
    if (!Writable(scope)) return 0;
    if (!HasCamera() || uint64_t{addr} + len > otp::kDataEnd) return 0;
    if (!camlib_.CamLib_OTP_Write(conn_.camera_handle, static_cast<uint16_t>(addr),
                                  static_cast<uint16_t>(budget), static_cast<uint16_t>(len),
                                  data.data(), 0, 0))
        return 0;
    return MP_OTPAnalyzeECC(addr, data.first(len));
}

int CMpFlow_OTP::MP_OTPAnalyzeECC(uint32_t addr, std::span<const uint8_t> chunk) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPAnalyzeECC");
    otp::FailReport report;
    if (!ReadFailReport(&report)) return 0;
    // A count above the nine listed addresses is taken as nine.
    m_uCurErrorNum = static_cast<unsigned>(report.addresses.size());
    scope.Text("Before m_uCurErrorNum is %d\n", m_uCurErrorNum);
    for (unsigned i = 0; i < otp::kFailSlots; ++i) {
        if (!m_bFailUsed[i]) continue;
        if (std::find(report.addresses.begin(), report.addresses.end(), m_wFailAddr[i]) ==
            report.addresses.end())
            continue;
        scope.Text("Reduant Addr Again\n");
        if (m_uCurErrorNum > 0) --m_uCurErrorNum;
    }
    scope.Text("After m_uCurErrorNum is %d\n", m_uCurErrorNum);
    if (m_uCurErrorNum == 0) {
        scope.Text("No Error Num\n");
        return 1;
    }
    // The failed write programmed every byte of the chunk: what a dead block must cover.
    const uint16_t chunk_end = static_cast<uint16_t>(addr + chunk.size());
    const auto exceeded = [&](const char* why) {
        m_wCurAddr = chunk_end;
        scope.Text("%s", why);
        scope.Text("m_wCurAddr is 0x%x\n", m_wCurAddr);
        ReportFailure(kStatusOtpErrorExceed);
        return 0;
    };
    if (m_uCurErrorNum > m_uExecECCNum) return exceeded("m_uCurErrorNum > m_uExecECCNum\n");
    scope.Text("m_uExecECCNum is %d\n", m_uExecECCNum);
    m_uExecECCNum -= m_uCurErrorNum;
    scope.Text("m_uExecECCNum is %d\n", m_uExecECCNum);
    scope.Text("m_uTotalErrorNum is %d\n", m_uTotalErrorNum);
    m_uTotalErrorNum += m_uCurErrorNum;
    scope.Text("m_uTotalErrorNum is %d\n", m_uTotalErrorNum);
    for (size_t j = 0; j < report.addresses.size() && m_uCurErrorNum > 0; ++j) {
        const uint16_t failed = report.addresses[j];
        if (SlotHolds(failed)) continue;
        const int i = FirstFreeSlot();
        // Only a byte of this chunk can have failed here: anything else is a report to distrust,
        // and its value would lie outside the chunk.
        if (failed < addr || failed >= addr + chunk.size() || i < 0) {
            scope.Text("Invalid Addr\n");
            return exceeded("");
        }
        scope.Text("index i is %d\n", i);
        scope.Text("index j is %d\n", static_cast<int>(j));
        m_wFailAddr[i] = failed;
        m_byFailValue[i] = chunk[failed - addr];
        m_bFailUsed[i] = true;
        scope.Text("Record ECC m_wFailAddr 0x%04x m_byFailValue 0x%02x\n", failed,
                   m_byFailValue[i]);
        --m_uCurErrorNum;
    }
    return 1;
}

// ---- ECC records ------------------------------------------------------------------------------

int CMpFlow_OTP::MP_OTPReduant() {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPReduant");
    for (unsigned i = 0; i < otp::kFailSlots;) {
        if (!m_bFailUsed[i]) {
            scope.Text("index is %d\n", i);
            ++i;
            continue;
        }
        scope.Text("wErrAddr is 0x%x, byValue is %d\n", m_wFailAddr[i], m_byFailValue[i]);
        const int result = MP_OTPReduantDetail(m_wFailAddr[i], m_byFailValue[i]);
        if (result == 0) {
            scope.Text("MP_OTPReduantDetail Success\n");
            if (m_uVirtualECCNum > 0) --m_uVirtualECCNum;
            if (m_uTotalErrorNum > 0) --m_uTotalErrorNum;
            ++i;
        } else if (result == 1) {
            scope.Text("MP_OTPReduantDetail Fail Extern\n");
            if (m_uVirtualECCNum > 0) --m_uVirtualECCNum;
        } else if (result == 3) {
            return 0;
        } else if (result == 4) {
            m_uVirtualECCNum = 0;
        } else {
            scope.Text("MP_OTPReduant Fail\n");
            ReportFailure(kStatusOtpReduantFail);
            return 0;
        }
        if (m_uTotalErrorNum == 0) {
            scope.Text("m_uCurErrorNum become zero\n");
            return 1;
        }
        if (m_uTotalErrorNum > m_uVirtualECCNum || m_uVirtualECCNum == 0) {
            scope.Text("m_uVirtualECCNum lower m_uCurErrorNum\n");
            ReportFailure(kStatusOtpEccLower);
            return 0;
        }
    }
    scope.Text("FailFlag Exceed 7 Condition2\n");
    return 1;
}

int CMpFlow_OTP::MP_OTPReduantDetail(uint16_t addr, uint8_t value) {
    LogScope scope(process_.logger, "CMpFlow_OTP::MP_OTPReduantDetail");
    if (!ReadOtp(otp::kEccTableStart, otp::kEccTableSize, ecc_copy_.data())) return 2;
    const otp::EccTable ecc = otp::ParseEccTable(ecc_copy_);
    if (!MP_OTPWriteEnale()) {
        if (lock_unknown_) return 2;
        ReportFailure(kStatusOtpLocked);
        return 3;
    }
    const int k = otp::RecordForRepair(ecc, addr);
    if (k == 0) {
        // No record left: the byte stays wrong, so the write must fail.
        scope.Text("No ECC Record Left\n");
        return 4;
    }
    otp::EccRecord record{addr, value, otp::kEccActive};
    if (ecc[k - 1].Reserved()) {
        const uint32_t offset = uint32_t{addr} - block_start_;
        if (offset >= working_.size()) return 2;
        record.value = working_[offset];
        scope.Text("Write ECC Condition 1 %d byValue %d\n", k, record.value);
    } else {
        scope.Text("Write ECC Condition 2 %d byValue %d\n", k, record.value);
    }
    const uint32_t at = otp::EccRecordAddress(k);
    bool failed = false;
    if (!WriteTable(at, otp::EncodeEccRecord(record), &failed)) return 2;
    int result = 0;
    if (failed) {
        scope.Text("Fail HW Error\n");
        if (!KillBytes(at + 3, 1)) return 2;
        result = 1;
    } else {
        scope.Text("Success\n");
    }
    uint8_t back[otp::kEccRecordSize] = {};
    if (!ReadOtp(at, otp::kEccRecordSize, back)) return 2;
    return result;
}

}  // namespace orbisk
