#include <gtest/gtest.h>

#include "reader/records.h"

namespace {

std::string DateText(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> b(bytes);
    return ToUtf8(FormatMtfDateTime(b.data()));
}

TEST(MtfDateText, DecodesTheFortyBitFieldsInDayMonthYearOrder) {
    EXPECT_EQ(DateText({0x1F, 0x8C, 0xCE, 0xE1, 0x49}), "7-3-2019::14:5:9");
    EXPECT_EQ(DateText({0x1F, 0x63, 0x3F, 0x7E, 0xFB}), "31-12-2008::23:59:59");
}

TEST(MtfDateText, EveryBitPatternGivesAText) {
    EXPECT_EQ(DateText({0, 0, 0, 0, 0}), "0-0-0::0:0:0");
    EXPECT_EQ(DateText({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "31-15-16383::31:63:63");
}

TEST(Utf16LeText, EndsAtNulOrAfterTheBytesAndKeepsAnOddLastByte) {
    const uint8_t abc[] = {'A', 0, 'B', 0, 'C', 0};
    EXPECT_EQ(Utf16LeText(abc, 6), u"ABC");
    EXPECT_EQ(Utf16LeText(abc, 5), u"ABC");  // odd size: last unit is 'C' with high byte 0
    EXPECT_EQ(Utf16LeText(abc, 0), u"");
    const uint8_t withNul[] = {'A', 0, 0, 0, 'B', 0};
    EXPECT_EQ(Utf16LeText(withNul, 6), u"A");
    const uint8_t odd[] = {'A', 0, 0x41};
    EXPECT_EQ(Utf16LeText(odd, 3), u"AA");
    const uint8_t lone[] = {0x00, 0xD8};  // a lone surrogate survives as it is
    EXPECT_EQ(Utf16LeText(lone, 2), std::u16string(1, char16_t(0xD800)));
}

TEST(Utf8Edge, RoundTripsNonAsciiAndReplacesLoneSurrogates) {
    std::u16string text = u"E:\\sql\\Données\\数据.mdf \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
    EXPECT_EQ(FromUtf8("\xFF" "a"), u"\uFFFDa");
    EXPECT_EQ(FromUtf8("\xE6\x95"), u"\uFFFD\uFFFD");  // cut sequence
}

TEST(DatabaseFileRecord, TakesTheSizeAt250ElseAt130) {
    SqlFileDescriptor entry;
    auto put64 = [&](size_t at, uint64_t v) {
        for (int i = 0; i < 8; ++i) entry.bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    entry.bytes[28] = 2;
    put64(130, 4096);
    EXPECT_EQ(MakeDatabaseFileRecord(entry, u"x").nSize, 4096u);
    put64(250, 0x123456789ULL);
    DatabaseFileRecord record = MakeDatabaseFileRecord(entry, u"x");
    EXPECT_EQ(record.nSize, 0x123456789ULL);
    EXPECT_EQ(record.nFileType, 2u);
    put64(250, 0);
    put64(130, 0);
    EXPECT_EQ(MakeDatabaseFileRecord(entry, u"x").nSize, 0u);
}

}  // namespace
