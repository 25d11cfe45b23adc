#include <gtest/gtest.h>

#include "image/area_fixture.h"
#include "image/config_chain.h"

namespace orbisk::test {
namespace {

// A two-table 0x27 record as the catalogue's classes write it: the builder places the offsets.
class TwoTables : public CDescriptor {
  public:
    TwoTables(Bytes first, uint16_t second, bool has_second) : CDescriptor(0x27), first_(first) {
        sub_kind = 5;
        inline_length = static_cast<uint16_t>(first.size());
        second_table_length = second;
        has_second_table = has_second;
    }
    int Build(std::span<uint8_t> out) override {
        const size_t total = 8 + first_.size() + (has_second_table ? second_table_length : 0);
        if (out.size() < total) return 0;
        std::fill(out.begin(), out.begin() + total, 0x00);
        std::copy(first_.begin(), first_.end(), out.begin() + 8);
        WriteRecordHeader(out, 0x27, 1023);  // extended form, total fixed below
        PutLe16(&out[2], static_cast<uint16_t>(total));
        length = kExtendedLengthField;
        ext_length = static_cast<uint16_t>(total);
        return 1;
    }

  private:
    Bytes first_;
};

Bytes BuildWith(CDescriptor& d) {
    CDescGlobal h;
    h.config_type = 0x55;
    h.chip_model = 7;
    CConfigBuilder b;
    b.Begin(h, true, 0x1234, false, 0);
    EXPECT_TRUE(b.Append(d));
    Bytes out(0x400, 0xEE);
    EXPECT_TRUE(b.Finish(out));
    out.resize(b.finished_size());
    return out;
}

TEST(ConfigBuilder, SecondTableOffsetAndFill) {
    TwoTables with({1, 2, 3}, 4, true);
    const Bytes a = BuildWith(with);
    const size_t rec = 6 + 6;  // header and the fresh 0x2F record
    EXPECT_EQ(GetLe16(&a[rec + 4]), rec + 8);
    EXPECT_EQ(GetLe16(&a[rec + 6]), rec + 8 + 3);
    EXPECT_EQ(Bytes(a.begin() + rec + 11, a.begin() + rec + 15), Bytes(4, 0xFF));
    EXPECT_EQ(a.size(), rec + 15);

    TwoTables without({1, 2, 3}, 64, false);
    const Bytes b = BuildWith(without);
    EXPECT_EQ(GetLe16(&b[rec + 4]), rec + 8);
    EXPECT_EQ(GetLe16(&b[rec + 6]), 0xFFFF);
    EXPECT_EQ(b.size(), rec + 11);
}

TEST(ConfigBuilder, FinishRefusesWhatDoesNotFitAndCountOverflow) {
    CDescGlobal h;
    h.config_type = 0x55;
    h.chip_model = 22;
    CConfigBuilder b;
    b.Begin(h, true, 0, true, 1);
    Bytes small(14, 0);
    EXPECT_FALSE(b.Finish(small));  // 15 bytes
    EXPECT_EQ(b.finished_size(), 15u);
    // The header's count is one byte: the 256th record is refused, not wrapped.
    CConfigBuilder many;
    many.Begin(h, false, 0, false, 0);
    CDescEEPInfo e(0);
    for (int i = 0; i < 255; ++i) ASSERT_TRUE(many.Append(e));
    EXPECT_FALSE(many.Append(e));
}

}  // namespace
}  // namespace orbisk::test
