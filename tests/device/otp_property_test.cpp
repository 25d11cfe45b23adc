// Random weak bits, faults and update sequences against the simulated OTP camera, with the
// memory checked against the OTP rules after every update.
#include <gtest/gtest.h>

#include <random>

#include "device/otp_rig.h"
#include "device/otp_rules.h"
#include "sim/sim_otp.h"

namespace orbisk::test {
namespace {

// Weak bytes of one or two bits: most where blocks go (spread out, or a cluster that no eight
// ECC records can repair), some in the VD and ECC tables.
std::vector<std::pair<uint16_t, uint8_t>> RandomWeakBits(std::mt19937& rng) {
    std::vector<std::pair<uint16_t, uint8_t>> weak;
    const bool cluster = std::uniform_int_distribution<int>(0, 3)(rng) == 0;
    const int low = cluster ? std::uniform_int_distribution<int>(0, 0x3000)(rng) : 0;
    const int high = cluster ? low + 0x600 : 0x3F5F;
    const int count = std::uniform_int_distribution<int>(0, cluster ? 24 : 14)(rng);
    for (int i = 0; i < count; ++i) {
        const bool table = std::uniform_int_distribution<int>(0, 4)(rng) == 0;
        const uint16_t address =
            static_cast<uint16_t>(table ? std::uniform_int_distribution<int>(0x3F70, 0x3FFF)(rng)
                                        : std::uniform_int_distribution<int>(low, high)(rng));
        uint8_t mask = static_cast<uint8_t>(1 << std::uniform_int_distribution<int>(0, 7)(rng));
        if (std::uniform_int_distribution<int>(0, 2)(rng) == 0)
            mask |= static_cast<uint8_t>(1 << std::uniform_int_distribution<int>(0, 7)(rng));
        weak.emplace_back(address, mask);
    }
    return weak;
}

// One seeded sequence of updates; every broken rule is reported with the seed and step.
void RunSeed(uint32_t seed) {
    std::mt19937 rng(seed);
    sim::Faults faults;
    faults.otp_weak = RandomWeakBits(rng);
    std::vector<uint8_t> otp(0x4000, 0);
    const int steps = std::uniform_int_distribution<int>(2, 7)(rng);
    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", update " + std::to_string(step));
        const size_t code = std::uniform_int_distribution<size_t>(300, 4500)(rng);
        const std::vector<uint8_t> image = OtpImage(0x1000 + seed * 16 + step, code);
        sim::Faults now = faults;
        const int fault = std::uniform_int_distribution<int>(0, 9)(rng);
        if (fault == 0) now.otp_false_report = std::uniform_int_distribution<uint32_t>(1, 6)(rng);
        OtpRig rig(otp, now);
        ASSERT_TRUE(rig.Open());
        if (fault == 1) {
            const uint32_t at = std::uniform_int_distribution<uint32_t>(1, 2500)(rng);
            rig.AddFaults([&](sim::Faults& f) { f.disconnect_at = rig.transfers() + at; });
        }
        const bool had_code = sim::ReadOtpBoot(otp).bootable;
        const int result = rig.Download(image);
        const std::vector<uint8_t> after = rig.Otp();
        const bool interrupted = !rig.camera->Present() && fault == 1;
        const auto broken = otp_rules::Check(otp, after, {!interrupted, result == 1, image});
        ASSERT_TRUE(broken.empty()) << ::testing::PrintToString(broken) << " result " << result
                                    << " fault " << fault << "\n"
                                    << ::testing::PrintToString(rig.Failures());
        const sim::OtpBoot boot = sim::ReadOtpBoot(after);
        if (result == 1) {
            ASSERT_EQ(boot.image, image);
        } else if (had_code) {
            ASSERT_TRUE(boot.bootable) << ::testing::PrintToString(rig.Failures());
        }
        otp = after;
    }
}

// Three hundred seeds in three runs that ctest can spread over the cores.
class OtpPropertyRange : public ::testing::TestWithParam<uint32_t> {};

TEST_P(OtpPropertyRange, RandomWeakBitsFaultsAndUpdatesKeepTheRules) {
    for (uint32_t seed = GetParam(); seed < GetParam() + 100; ++seed) {
        RunSeed(seed);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, OtpPropertyRange, ::testing::Values(1u, 101u, 201u));

// Seeds that once broke a rule, kept so the fault stays fixed.
TEST(OtpPropertyTest, SeedsThatOnceFailed) {
    // 37: a retired block whose flag kept a weak bit clear was no longer counted as used.
    // 54: bytes an interrupted write left were blamed on the refusal that followed.
    for (uint32_t seed : {37u, 54u}) {
        RunSeed(seed);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace orbisk::test
