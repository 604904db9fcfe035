#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include "tests/Utf8Text.h"

namespace vorlane::codepage {
namespace {

using test::Utf8;

TEST(CodePage, ConvertsJapaneseToShiftJisBytes)
{
    // 表 and ソ end in 0x5C, the byte a Windows peer must not take for "\".
    const auto sjis = Utf8ToShiftJis(Utf8(u8"壁紙を表ソa.jpg"));
    ASSERT_TRUE(sjis.has_value());
    EXPECT_EQ(*sjis, std::string("\x95\xC7\x8E\x86\x82\xF0\x95\x5C\x83\x5C"
                                 "a.jpg"));
    EXPECT_EQ(ShiftJisToUtf8(*sjis), std::optional<std::string>(Utf8(u8"壁紙を表ソa.jpg")));
}

TEST(CodePage, AsciiAndEmptyTextPassUnchanged)
{
    EXPECT_EQ(Utf8ToShiftJis(""), std::optional<std::string>(""));
    EXPECT_EQ(Utf8ToShiftJis("Sender: Vorlane\r\n"), std::optional<std::string>("Sender: Vorlane\r\n"));
}

TEST(CodePage, HalfWidthKanaGrowsToThreeBytes)
{
    // The widest growth there is: 1 byte of Shift_JIS becomes 3 of UTF-8.
    const std::string kana(1000, '\xB1'); // ｱ
    const auto utf8 = ShiftJisToUtf8(kana);
    ASSERT_TRUE(utf8.has_value());
    EXPECT_EQ(utf8->size(), 3000u);
    EXPECT_EQ(Utf8ToShiftJis(*utf8), std::optional<std::string>(kana));
}

TEST(CodePage, ReportsWhatCannotBeExpressed)
{
    EXPECT_FALSE(Utf8ToShiftJis("a\xF0\x9F\x98\x80.jpg").has_value()); // an emoji
    EXPECT_FALSE(Utf8ToShiftJis("\xE2\x82\xAC").has_value());          // the euro sign
    EXPECT_FALSE(Utf8ToShiftJis("\xFF\xFE").has_value());              // not UTF-8
    EXPECT_FALSE(Utf8ToShiftJis("\xE5\xA3").has_value());              // a character cut short
    EXPECT_FALSE(ShiftJisToUtf8("\x95").has_value());                  // a lead byte alone
    // The converter is reused: a failure leaves no state behind for the next text.
    EXPECT_EQ(Utf8ToShiftJis("ok"), std::optional<std::string>("ok"));
}

TEST(CodePage, StoredNamesAreShownAsValidUtf8)
{
    EXPECT_EQ(DisplayText("/p/画集.jpg"), "/p/画集.jpg");
    // A Windows gallery's Shift_JIS path: 画集 is 89 E6 8F 57, ソ is 83 5C.
    EXPECT_EQ(DisplayText("C:\\V\\\x89\xE6\x8F\x57"), "C:\\V\\画集");
    EXPECT_EQ(DisplayText("\x83\x5C"), "ソ");
    // Neither UTF-8 nor Shift_JIS: each stray byte is replaced, the rest kept.
    const std::string mixed = DisplayText(std::string("a\xFF"
                                                      "b\xC3",
                                                      4));
    EXPECT_TRUE(IsValidUtf8(mixed));
    EXPECT_EQ(mixed, "a\xEF\xBF\xBD"
                     "b\xEF\xBF\xBD");
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF")) << "overlong";
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "surrogate";
}

} // namespace
} // namespace vorlane::codepage
