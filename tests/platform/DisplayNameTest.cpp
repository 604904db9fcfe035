#include "platform/DisplayName.h"

#include <gtest/gtest.h>

#include "platform/Path.h"
#include "tests/platform/ShiftJisNames.h"

namespace vorlane::display {
namespace {

using namespace vorlane::test::sjis;

TEST(DisplayName, WindowsPathsInShiftJisSplitByCharacters)
{
    // ソ, 表 and 能 end in 0x5C; none of them ends a folder.
    EXPECT_EQ(FileName("C:\\Vorlane\\" + Ryoko), "旅行");
    EXPECT_EQ(FileName("C:\\" + So + Hyo + "\\" + No + ".bmp"), "能.bmp");
    EXPECT_EQ(FileTitle("C:\\" + So + Hyo + "\\" + No + ".bmp"), "能");
    EXPECT_EQ(FileName("C:\\Vorlane\\" + Hyo), "表");
    EXPECT_EQ(FileTitle("c:" + Hyo + ".a.jpg"), "表.a") << "a drive without a folder";
    EXPECT_EQ(FileTitle("\\\\server\\" + Shashin + "\\" + So + ".jpg"), "ソ");
    EXPECT_EQ(FileTitle("C:\\P\\a.b.jpg"), "a.b");
}

TEST(DisplayName, Utf8NamesKeepTheirOwnCharacterBoundaries)
{
    // 夏 is E5 A4 8F: read as Shift_JIS, 8F would be a lead byte and swallow the "\" after it.
    EXPECT_EQ(path::RulesOf("C:\\夏\\a.jpg"), path::Rules::WindowsUtf8);
    EXPECT_EQ(FileName("C:\\夏\\a.jpg"), "a.jpg");
    EXPECT_EQ(FileTitle("/home/u/写真/夏休み.b.jpg"), "夏休み.b");
    EXPECT_EQ(FileName("/p/a\\b.jpg"), "a\\b.jpg") << "a backslash is an ordinary character here";
    EXPECT_EQ(FileName("/p/" + Ryoko), "旅行") << "Shift_JIS in a path of this system";
    EXPECT_EQ(FileName("/p/a\xFF"), "a\xEF\xBF\xBD") << "neither: replaced, never dropped";
}

} // namespace
} // namespace vorlane::display
