// Whole updates of a simulated OTP camera through the OTP memory type, as the command line
// runs them: blocks, VD entries, ECC repair, retiring, failures and what the camera boots.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/otp_rig.h"
#include "device/otp_rules.h"
#include "sim/sim_otp.h"

namespace orbisk::test {
namespace {

namespace rules = otp_rules;

// The VD entry i as the memory holds it: start, length, flag.
std::array<uint32_t, 3> Entry(const std::vector<uint8_t>& otp, int i) {
    const uint8_t* p = &otp[0x3F70 + 5 * i];
    return {uint32_t(p[0] << 8 | p[1]), uint32_t(p[2] << 8 | p[3]), p[4]};
}

// ECC record k (1..16): address, value, flag.
std::array<uint32_t, 3> Record(const std::vector<uint8_t>& otp, int k) {
    const uint8_t* p = &otp[0x3FBC + 4 * k];
    return {uint32_t(p[0] << 8 | p[1]), p[2], p[3]};
}

std::vector<std::string> Broken(const std::vector<uint8_t>& before,
                                const std::vector<uint8_t>& after, bool committed,
                                const std::vector<uint8_t>& image, bool clean = true) {
    return rules::Check(before, after, {clean, committed, image});
}

// One update on a fresh tool against the memory `otp`; the memory afterwards.
struct Outcome {
    int result = 0;
    std::vector<uint32_t> failures;
    std::vector<uint8_t> otp;
    bool boots = false;
    sim::OtpBoot boot;
};

Outcome UpdateOnce(const std::vector<uint8_t>& otp, const std::vector<uint8_t>& image,
                   sim::Faults faults = {}) {
    OtpRig rig(otp, faults);
    Outcome run;
    if (!rig.Open()) return run;
    run.result = rig.Download(image);
    run.failures = rig.Failures();
    run.otp = rig.Otp();
    run.boot = sim::ReadOtpBoot(run.otp);
    run.boots = rig.camera->AppMode();
    return run;
}

TEST(OtpUpdateTest, AnEmptyOtpTakesTheFirstDownloadAndBootsIt) {
    OtpRig rig;
    ASSERT_TRUE(rig.Open());
    const std::vector<uint8_t> image = OtpImage(0x1060);
    const std::vector<uint8_t> before = rig.Otp();
    ASSERT_EQ(rig.Download(image), 1) << rig.log.Joined();

    const std::vector<uint8_t> otp = rig.Otp();
    // Code block at 0 (VD entry 0), configuration block behind it (entry 1).
    const auto code = Entry(otp, 0);
    const auto config = Entry(otp, 1);
    EXPECT_EQ(code[0], 0u);
    EXPECT_EQ(code[2], 0x55u);
    EXPECT_EQ(config[0], code[1]);
    EXPECT_EQ(config[2], 0xAAu);
    EXPECT_EQ(code[1] + config[1] - 15, image.size());
    EXPECT_EQ(Entry(otp, 2), (std::array<uint32_t, 3>{0, 0, 0}));
    EXPECT_TRUE(Broken(before, otp, true, image).empty());
    EXPECT_TRUE(rig.log.Contains("VD Flag Initial"));

    // The camera came back running the new firmware with its identity.
    EXPECT_TRUE(rig.camera->AppMode());
    EXPECT_EQ(rig.camera->CurrentIdentity().pid, 0x6099);
    EXPECT_EQ(rig.camera->CurrentIdentity().rev, 0x1060);
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41931});
    EXPECT_TRUE(rig.Failures().empty());
    EXPECT_EQ(rig.process.status.Code(), 0u);
    const std::vector<uint32_t> progress = rig.sink.codes(kReportProgress);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100u);

    // Reading the OTP gives the image back.
    rig.sink.clear();
    ASSERT_TRUE(rig.Open());
    ASSERT_EQ(rig.device->Read(), 1) << rig.log.Joined();
    EXPECT_EQ(rig.device->readback(), image);
    EXPECT_EQ(rig.sink.codes(kReportSuccess), std::vector<uint32_t>{41929});
}

// Weak bits where `image` has a bit set: (address, the lowest such bit), `count` of them from
// `from` on, every `step` bytes.
std::vector<std::pair<uint16_t, uint8_t>> WeakBits(const std::vector<uint8_t>& image, uint32_t from,
                                                   int count, uint32_t step = 7) {
    std::vector<std::pair<uint16_t, uint8_t>> weak;
    for (uint32_t a = from; a < image.size() && static_cast<int>(weak.size()) < count; a += step)
        if (image[a] != 0) weak.emplace_back(a, static_cast<uint8_t>(image[a] & -image[a]));
    return weak;
}

TEST(OtpUpdateTest, UpdatesAppendAndRetireUntilTheSpaceRunsOut) {
    std::vector<uint8_t> otp(0x4000, 0);
    std::vector<uint8_t> last;
    int good = 0;
    for (uint32_t version = 0x1000;; ++version) {
        const std::vector<uint8_t> image = OtpImage(version, 3000);
        const rules::Layout before = rules::Read(otp);
        const Outcome run = UpdateOnce(otp, image);
        if (run.result != 1) {
            // The code block would pass the end of the data area.
            EXPECT_EQ(run.failures, std::vector<uint32_t>{41917});
            EXPECT_GT(before.end + 15 + 3008, 0x3F60u);
            EXPECT_EQ(run.otp, otp) << "a refused update writes nothing";
            EXPECT_EQ(sim::ReadOtpBoot(run.otp).image, last);
            break;
        }
        ++good;
        EXPECT_TRUE(Broken(otp, run.otp, true, image).empty())
            << ::testing::PrintToString(Broken(otp, run.otp, true, image));
        EXPECT_TRUE(run.boots);
        EXPECT_EQ(run.boot.image, image);
        // The new blocks start where the old ones ended; the old entries are dead now.
        const rules::Layout after = rules::Read(run.otp);
        EXPECT_EQ(Entry(run.otp, after.code_entry)[0], before.end);
        for (int i = 0; i < after.code_entry; ++i) EXPECT_EQ(Entry(run.otp, i)[2], 0xFFu);
        otp = run.otp;
        last = image;
    }
    // 16,224 bytes hold five images of 3,100 bytes and their headers.
    EXPECT_EQ(good, 5);
}

TEST(OtpUpdateTest, UpdatesStopWhenTheVdTableIsFull) {
    std::vector<uint8_t> otp(0x4000, 0);
    int good = 0;
    for (uint32_t version = 0x2000; good < 20; ++version) {
        const Outcome run = UpdateOnce(otp, OtpImage(version, 400));
        if (run.result != 1) {
            EXPECT_EQ(run.failures, std::vector<uint32_t>{41916});
            EXPECT_EQ(run.otp, otp);
            EXPECT_TRUE(sim::ReadOtpBoot(run.otp).bootable);
            break;
        }
        ++good;
        otp = run.otp;
    }
    // Two entries per update, sixteen entries.
    EXPECT_EQ(good, 8);
}

TEST(OtpUpdateTest, WeakBitsAreRepairedByEccRecordsAndRetiredWithTheirBlock) {
    const std::vector<uint8_t> image = OtpImage(0x1060, 2000);
    const std::vector<uint8_t> empty(0x4000, 0);
    // What the memory holds after a clean download: where the weak bits go.
    const std::vector<uint8_t> clean = UpdateOnce(empty, image).otp;
    sim::Faults faults;
    faults.otp_weak = WeakBits(clean, 0x40, 3, 0x90);
    // One in the configuration block too.
    const auto tail = WeakBits(clean, Entry(clean, 1)[0] + 40, 1, 1);
    faults.otp_weak.insert(faults.otp_weak.end(), tail.begin(), tail.end());
    const Outcome run = UpdateOnce(empty, image, faults);
    ASSERT_EQ(run.result, 1) << ::testing::PrintToString(run.failures);
    EXPECT_TRUE(Broken(empty, run.otp, true, image).empty());
    EXPECT_TRUE(run.boots);
    int active = 0;
    for (const auto& [address, mask] : faults.otp_weak) {
        EXPECT_EQ(run.otp[address], clean[address] & ~mask) << "the raw byte lacks its weak bit";
        for (int k = 1; k <= 16; ++k) {
            const auto r = Record(run.otp, k);
            if (r[0] == address && r[2] == 0x5A) {
                EXPECT_EQ(r[1], clean[address]);
                ++active;
            }
        }
    }
    EXPECT_EQ(active, 4);

    // The next update retires the old blocks and their records.
    const std::vector<uint8_t> next = OtpImage(0x1061, 2000);
    const Outcome second = UpdateOnce(run.otp, next, faults);
    ASSERT_EQ(second.result, 1);
    EXPECT_TRUE(Broken(run.otp, second.otp, true, next).empty());
    for (int k = 1; k <= 16; ++k) {
        const auto r = Record(second.otp, k);
        if (r[2] == 0x5A) {
            EXPECT_GE(r[0], Entry(second.otp, 2)[0]) << "record " << k;
        }
    }
}

TEST(OtpUpdateTest, MoreFailuresThanTheBudgetLeaveADeadChunkTheNextUpdateSkips) {
    const std::vector<uint8_t> image = OtpImage(0x1060, 5000);
    sim::Faults faults;
    // Nine weak bytes in the first 4,096-byte chunk: one more than eight records.
    faults.otp_weak = WeakBits(image, 0x200, 9, 0x100);
    const std::vector<uint8_t> empty(0x4000, 0);
    const Outcome failed = UpdateOnce(empty, image, faults);
    EXPECT_EQ(failed.result, 0);
    EXPECT_EQ(failed.failures, std::vector<uint32_t>{41919});
    // The dead block covers the whole chunk the write programmed, and no record of it is
    // left active.
    EXPECT_EQ(Entry(failed.otp, 0), (std::array<uint32_t, 3>{0, 4096, 0xFF}));
    for (int k = 1; k <= 16; ++k) EXPECT_NE(Record(failed.otp, k)[2], 0x5Au);
    EXPECT_TRUE(Broken(empty, failed.otp, false, image).empty());
    EXPECT_FALSE(failed.boots);

    // The next update starts behind the chunk and succeeds.
    const std::vector<uint8_t> next = OtpImage(0x1061, 2000);
    const Outcome second = UpdateOnce(failed.otp, next, faults);
    ASSERT_EQ(second.result, 1) << ::testing::PrintToString(second.failures);
    EXPECT_EQ(Entry(second.otp, 1)[0], 4096u);
    EXPECT_TRUE(Broken(failed.otp, second.otp, true, next).empty());
    EXPECT_TRUE(second.boots);
}

TEST(OtpUpdateTest, AFailureReportOfMoreThanNineBytesCountsAsNine) {
    const std::vector<uint8_t> image = OtpImage(0x1060, 3000);
    sim::Faults faults;
    faults.otp_weak = WeakBits(image, 0x100, 12, 0x40);
    const Outcome failed = UpdateOnce(std::vector<uint8_t>(0x4000, 0), image, faults);
    EXPECT_EQ(failed.failures, std::vector<uint32_t>{41919});
    // The chunk was the whole code block: the dead block ends with it, not at a reported address.
    EXPECT_EQ(Entry(failed.otp, 0), (std::array<uint32_t, 3>{0, 3023, 0xFF}));
}

TEST(OtpUpdateTest, AVdEntryThatFailsToProgramIsRelocated) {
    const std::vector<uint8_t> image = OtpImage(0x1060);
    sim::Faults faults;
    // Entry 0's flag byte keeps bit 0 clear: 0x55 never programs there.
    faults.otp_weak = {{0x3F74, 0x01}};
    const std::vector<uint8_t> empty(0x4000, 0);
    const Outcome run = UpdateOnce(empty, image, faults);
    ASSERT_EQ(run.result, 1) << ::testing::PrintToString(run.failures);
    EXPECT_EQ(Entry(run.otp, 0)[2], 0xFEu) << "made dead";
    EXPECT_EQ(Entry(run.otp, 1)[2], 0x55u);
    EXPECT_EQ(Entry(run.otp, 1)[0], 0u);
    EXPECT_EQ(Entry(run.otp, 2)[2], 0xAAu);
    EXPECT_TRUE(Broken(empty, run.otp, true, image).empty());
    EXPECT_TRUE(run.boots);
    // The killed entry names no block: the next update appends behind the real ones.
    const std::vector<uint8_t> next = OtpImage(0x1061);
    const Outcome second = UpdateOnce(run.otp, next, faults);
    ASSERT_EQ(second.result, 1);
    EXPECT_EQ(Entry(second.otp, 3)[0], Entry(run.otp, 2)[0] + Entry(run.otp, 2)[1]);
    EXPECT_TRUE(Broken(run.otp, second.otp, true, next).empty());
}

TEST(OtpUpdateTest, ADisconnectAnywhereLeavesTheOldCodeBlockOrTheNewOne) {
    const std::vector<uint8_t> base =
        UpdateOnce(std::vector<uint8_t>(0x4000, 0), OtpImage(0x1060, 300)).otp;
    const std::vector<uint8_t> image = OtpImage(0x1061, 300);
    uint32_t total = 0;
    {
        OtpRig rig(base);
        ASSERT_TRUE(rig.Open());
        const uint32_t start = rig.transfers();
        ASSERT_EQ(rig.Download(image), 1);
        total = rig.transfers() - start;
    }
    int refused = 0;
    for (uint32_t n = 1; n <= total; ++n) {
        SCOPED_TRACE("disconnect at transfer " + std::to_string(n) + " of " +
                     std::to_string(total));
        std::vector<uint8_t> after;
        {
            OtpRig rig(base);
            ASSERT_TRUE(rig.Open());
            rig.AddFaults([&](sim::Faults& f) { f.disconnect_at = rig.transfers() + n; });
            rig.Download(image);
            after = rig.Otp();
        }
        const auto broken = rules::Check(base, after, {false, false, image});
        ASSERT_TRUE(broken.empty()) << ::testing::PrintToString(broken);
        ASSERT_TRUE(sim::ReadOtpBoot(after).bootable);
        // The next run either completes the update or refuses an interrupted write without
        // touching the camera.
        const Outcome next = UpdateOnce(after, image);
        if (next.result == 1) {
            EXPECT_TRUE(Broken(after, next.otp, true, image).empty());
            EXPECT_EQ(next.boot.image, image);
        } else {
            ++refused;
            EXPECT_EQ(next.failures, std::vector<uint32_t>{41937});
            EXPECT_EQ(next.otp, after);
        }
    }
    // Cuts inside the data writes leave bytes without an entry.
    EXPECT_GT(refused, 0);
}

TEST(OtpUpdateTest, ALockedOtpIsRefusedAndNothingIsWritten) {
    sim::Faults faults;
    faults.otp_locked = true;
    const std::vector<uint8_t> empty(0x4000, 0);
    const Outcome run = UpdateOnce(empty, OtpImage(0x1060), faults);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.failures.front(), 41918u);
    EXPECT_EQ(run.otp, empty);
}

TEST(OtpUpdateTest, AnEccRecordOverAFreeEntryNeitherMovesNorRetiresTheNewBlocks) {
    const std::vector<uint8_t> first = OtpImage(0x1060);
    Outcome run = UpdateOnce(std::vector<uint8_t>(0x4000, 0), first);
    ASSERT_EQ(run.result, 1);
    // An active record patches a byte of the free entry 3.
    std::vector<uint8_t> otp = run.otp;
    const uint8_t record[4] = {0x3F, 0x70 + 3 * 5 + 1, 0x12, 0x5A};
    std::copy(record, record + 4, otp.begin() + 0x3FC0);
    const uint32_t end = Entry(otp, 1)[0] + Entry(otp, 1)[1];
    for (uint32_t version = 0x1061; version < 0x1063; ++version) {
        const std::vector<uint8_t> image = OtpImage(version);
        const Outcome next = UpdateOnce(otp, image);
        ASSERT_EQ(next.result, 1) << ::testing::PrintToString(next.failures);
        EXPECT_TRUE(Broken(otp, next.otp, true, image).empty())
            << ::testing::PrintToString(Broken(otp, next.otp, true, image));
        const rules::Layout layout = rules::Read(next.otp);
        EXPECT_EQ(Entry(next.otp, layout.code_entry)[0],
                  version == 0x1061 ? end
                                    : layout.end - Entry(next.otp, layout.code_entry)[1] -
                                          Entry(next.otp, layout.config_entry)[1]);
        EXPECT_TRUE(next.boots);
        EXPECT_EQ(next.boot.image, image);
        otp = next.otp;
    }
    EXPECT_EQ(Entry(otp, 3), (std::array<uint32_t, 3>{0, 0, 0xFF}));
}

TEST(OtpUpdateTest, AReportClaimingAFailureThatDidNotHappenCostsARecordOnly) {
    const std::vector<uint8_t> image = OtpImage(0x1060, 1000);
    sim::Faults faults;
    faults.otp_false_report = 1;  // the first write: the code block's data
    const std::vector<uint8_t> empty(0x4000, 0);
    const Outcome run = UpdateOnce(empty, image, faults);
    ASSERT_EQ(run.result, 1);
    EXPECT_TRUE(Broken(empty, run.otp, true, image).empty());
    EXPECT_EQ(Record(run.otp, 1), (std::array<uint32_t, 3>{0, image[0], 0x5A}));
}

TEST(OtpUpdateTest, MoreThanEightReservedRecordsBehindTheBlockLeaveNoBudget) {
    std::vector<uint8_t> otp(0x4000, 0);
    // Nine reserved records (active, value 0) behind where the block will lie.
    for (int k = 1; k <= 9; ++k) {
        const uint8_t record[4] = {0x30, static_cast<uint8_t>(k), 0x00, 0x5A};
        std::copy(record, record + 4, otp.begin() + 0x3FBC + 4 * k);
    }
    const std::vector<uint8_t> image = OtpImage(0x1060);
    sim::Faults faults;
    faults.otp_weak = WeakBits(image, 0x40, 1);
    OtpRig rig(otp, faults);
    ASSERT_TRUE(rig.Open());
    EXPECT_EQ(rig.Download(image), 0);
    EXPECT_EQ(rig.Failures(), std::vector<uint32_t>{41919});
    EXPECT_EQ(rig.device->exec_ecc_num(), 0u);
    EXPECT_TRUE(rig.log.Contains("0 == m_uExecECCNum"));
    EXPECT_TRUE(Broken(otp, rig.Otp(), false, image).empty());
}

}  // namespace
}  // namespace orbisk::test
