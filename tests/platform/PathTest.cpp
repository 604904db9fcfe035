#include "platform/Path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSystemCalls.h"
#include "tests/platform/ShiftJisNames.h"

using namespace vorlane::path;
using namespace vorlane::test::sjis;

namespace {
constexpr Rules W = Rules::Windows;
} // namespace

TEST(WindowsPath, ChangeFileExtFollowsTheGalleryRule)
{
    EXPECT_EQ(ChangeFileExt("C:\\V\\a.b", ".gsk", W), "C:\\V\\a.gsk");
    EXPECT_EQ(ChangeFileExt("C:\\V\\my.gsk", ".gsk", W), "C:\\V\\my.gsk");
    EXPECT_EQ(ChangeFileExt("C:\\V\\" + Gashu, ".gsk", W), "C:\\V\\" + Gashu + ".gsk");
    EXPECT_EQ(ChangeFileExt("C:\\v.d\\name", ".gsk", W), "C:\\v.d\\name.gsk") << "a dot in a folder is no extension";
    EXPECT_EQ(ChangeFileExt("C:a.b", ".gsk", W), "C:a.gsk");
}

TEST(WindowsPath, TrailingByte5CIsNeverASeparator)
{
    const std::string path = "C:\\P\\" + So + "ft.jpg";
    EXPECT_EQ(ExtractFileName(path, W), So + "ft.jpg");
    EXPECT_EQ(ExtractFilePath(path, W), "C:\\P\\");
    EXPECT_EQ(ExtractFileExt(path, W), ".jpg");

    const std::string folder = "C:\\" + Hyo + "\\" + No;
    EXPECT_EQ(ExtractFileName(folder, W), No);
    EXPECT_EQ(ExtractFileDir(folder, W), "C:\\" + Hyo);
    EXPECT_EQ(ChangeFileExt(folder, ".gsk", W), folder + ".gsk");

    // A name ending in such a character has no separator at its end.
    EXPECT_EQ(ExtractFileName("C:\\x\\" + Hyo, W), Hyo);
    EXPECT_EQ(ExtractFileExt("C:\\x\\" + Hyo, W), "");
}

TEST(WindowsPath, FolderPartsKeepTheDriveRoot)
{
    EXPECT_EQ(ExtractFileDir("C:\\V\\a.b", W), "C:\\V");
    EXPECT_EQ(ExtractFileDir("C:\\a.b", W), "C:\\");
    EXPECT_EQ(ExtractFileDir("C:a.b", W), "C:");
    EXPECT_EQ(ExtractFileDir("a.b", W), "");
    EXPECT_EQ(ExtractFilePath("C:\\V\\a.b", W), "C:\\V\\");
    EXPECT_EQ(ExtractFileName("C:a.b", W), "a.b");
}

TEST(WindowsPath, ExtensionComesFromTheLastDotOfTheName)
{
    EXPECT_EQ(ExtractFileExt("C:\\P\\a.b.jpg", W), ".jpg");
    EXPECT_EQ(ExtractFileExt("C:\\P\\noext", W), "");
    EXPECT_EQ(ExtractFileExt("C:\\P\\.jpg", W), ".jpg");
    EXPECT_EQ(ChangeFileExt(ExtractFileName("C:\\P\\a.b.jpg", W), "", W), "a.b");
    EXPECT_EQ(ChangeFileExt(ExtractFileName("C:\\P\\.jpg", W), "", W), "");
}

TEST(NativePath, SlashRulesWithUtf8Names)
{
    EXPECT_EQ(ChangeFileExt("/home/u/画集", ".gsk"), "/home/u/画集.gsk");
    EXPECT_EQ(ChangeFileExt("/home/u/a.b", ".gsk"), "/home/u/a.gsk");
    EXPECT_EQ(ChangeFileExt("/home/u.d/name", ".gsk"), "/home/u.d/name.gsk");
    EXPECT_EQ(ExtractFileName("/pictures/ソ表能.jpg"), "ソ表能.jpg");
    EXPECT_EQ(ExtractFileExt("/pictures/PHOTO.BMP"), ".BMP");
    EXPECT_EQ(AsciiLowerCase(ExtractFileExt("/pictures/PHOTO.BMP")), ".bmp");
    EXPECT_EQ(ExtractFilePath("/pictures/a.jpg"), "/pictures/");
    EXPECT_EQ(ExtractFileDir("/pictures/a.jpg"), "/pictures");
    EXPECT_EQ(ExtractFileDir("/a.jpg"), "/");
    EXPECT_EQ(ExtractFileName("C:\\P\\a.jpg"), "C:\\P\\a.jpg") << "a backslash is an ordinary character here";
}

TEST(ProgramFolder, IsTheExecutablesFolderWithATrailingSlash)
{
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "test_path"));
}

TEST(ProgramFolder, OverrideAndWritableFolder)
{
    SetProgramFolderForTesting("/tmp/somewhere/");
    EXPECT_EQ(ProgramFolder(), "/tmp/somewhere/");
    SetProgramFolderForTesting("");
    // The build folder is writable, so the executable's own folder is used.
    EXPECT_EQ(ProgramFolder(), ExecutableFolder());
}

TEST(SettingsFolder, FollowsXdgConfigHome)
{
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(SettingsFolder(), "/tmp/cfg/");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(SettingsFolder(), "/home/someone/.config/");
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}
