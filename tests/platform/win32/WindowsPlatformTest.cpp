// What the Windows platform layer must do differently from the POSIX one: path rules and folders, files
// replaced over existing ones, binary files, the real registry and the system code page.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <spawn.h>

#include "TestSystemCalls.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/ReplacedFile.h"
#include "tests/TestFiles.h"

// After our headers: it defines the registry's type numbers as macros.
#include <windows.h>

namespace vorlane {
namespace {

namespace fs = std::filesystem;

using test::ReadText;

class WindowsFiles : public ::testing::Test {
protected:
    const test::ScratchFolder scratch_{"vorlane-windows"};
    const std::string folder_ = scratch_.Path().string() + "\\";
};

TEST(WindowsPath, NativeRulesAreWindowsRulesThatTakeSlashesToo)
{
    EXPECT_EQ(path::Separator(), '\\');
    // 表 is 95 5C in Shift_JIS: its second byte is no separator.
    EXPECT_EQ(path::ExtractFileName("C:\\V\\\x95\x5C.jpg"), "\x95\x5C.jpg");
    EXPECT_EQ(path::ExtractFileDir("C:\\V\\\x95\x5C"), "C:\\V");
    EXPECT_EQ(path::ExtractFileName("C:/V/a.b.jpg"), "a.b.jpg");
    EXPECT_EQ(path::ExtractFileName("C:a.jpg"), "a.jpg");
    // Galleries keep to the written rules: "\" and ":" alone.
    EXPECT_EQ(path::ExtractFileName("C:/V/a.jpg", path::Rules::Windows), "/V/a.jpg");
}

TEST(WindowsPath, FoldersComeFromTheSystem)
{
    const std::string executable = path::ExecutableFolder();
    ASSERT_FALSE(executable.empty());
    EXPECT_EQ(executable.back(), '\\');
    EXPECT_TRUE(fs::exists(executable + "test_platform_windows.exe")) << executable;

    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_EQ(path::SettingsFolder(), std::string(windows, length) + "\\");
    EXPECT_EQ(ProfileFilePath("Vorlane.ini"), path::SettingsFolder() + "Vorlane.ini");
    EXPECT_EQ(ProfileFilePath("D:\\x.ini"), "D:\\x.ini");
}

// "Vorlane.ini" stays in the Windows folder while it can be written there; otherwise the user keeps it in
// %APPDATA%\Vorlane\. The folder is chosen once a process, so a probe beside this test reads and writes
// it in each state the test makes. The settings files of the prefix are put back afterwards.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char windows[MAX_PATH];
        const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
        ASSERT_TRUE(length > 0 && length < MAX_PATH);
        windowsIni_ = std::string(windows, length) + "\\Vorlane.ini";
        const char* appData = std::getenv("APPDATA");
        ASSERT_NE(appData, nullptr);
        userFolder_ = std::string(appData) + "\\Vorlane";
        userIni_ = userFolder_ + "\\Vorlane.ini";
        savedWindowsIni_ = Take(windowsIni_);
        savedUserIni_ = Take(userIni_);
    }

    void TearDown() override
    {
        Put(windowsIni_, savedWindowsIni_);
        Put(userIni_, savedUserIni_);
        RemoveDirectoryA(userFolder_.c_str()); // only when empty
    }

    // The probe reads "Manager", expecting `expected`, then writes `written`; its exit code.
    static int Probe(std::string expected, std::string written)
    {
        std::string probe = path::ExecutableFolder() + "settings_probe.exe";
        char* argv[] = {probe.data(), expected.data(), written.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, probe.c_str(), nullptr, nullptr, argv, nullptr) != 0)
            return -1;
        return vorlane_wait_spawned(pid);
    }

    static std::string Settings(const std::string& manager) { return "[Initial]\r\nManager=" + manager + "\r\n"; }

    std::string windowsIni_, userFolder_, userIni_;

private:
    // A file's bytes, the file removed; nullopt when there was none.
    static std::optional<std::string> Take(const std::string& file)
    {
        if (!fs::is_regular_file(file))
            return std::nullopt;
        std::string text = ReadText(file);
        fs::remove(file);
        return text;
    }
    static void Put(const std::string& file, const std::optional<std::string>& text)
    {
        std::error_code ignored;
        fs::remove(file, ignored); // a file or the empty folder a case made
        if (text)
            test::WriteFile(file, *text);
    }

    std::optional<std::string> savedWindowsIni_, savedUserIni_;
};

TEST_F(SettingsFile, StaysInTheWindowsFolderWhereItCanBeWritten)
{
    EXPECT_EQ(Probe("(none)", "C:\\V\\\x95\x5C"), 0);
    EXPECT_EQ(ReadText(windowsIni_), Settings("C:\\V\\\x95\x5C"));
    EXPECT_FALSE(fs::exists(userIni_));
}

TEST_F(SettingsFile, GoesToTheUsersFolderWhenTheWindowsFolderCannotTakeIt)
{
    // The profile functions cannot write a file where a folder of its name stands.
    ASSERT_TRUE(CreateDirectoryA(windowsIni_.c_str(), nullptr));
    EXPECT_EQ(Probe("(none)", "first"), 0);
    EXPECT_EQ(ReadText(userIni_), Settings("first"));
    EXPECT_EQ(Probe("first", "second"), 0);
    EXPECT_EQ(ReadText(userIni_), Settings("second"));

    // Once the user's copy exists it is the one, even where the Windows folder's could be written again.
    ASSERT_TRUE(RemoveDirectoryA(windowsIni_.c_str()));
    test::WriteFile(windowsIni_, Settings("old"));
    EXPECT_EQ(Probe("second", "third"), 0);
    EXPECT_EQ(ReadText(userIni_), Settings("third"));
    EXPECT_EQ(ReadText(windowsIni_), Settings("old"));
}

TEST_F(WindowsFiles, ReplacedFileAndRenameReplaceAnExistingFile)
{
    const std::string target = folder_ + "g.gsk";
    test::WriteFile(target, "old");
    {
        ReplacedFile replaced(target, 0644);
        ASSERT_TRUE(replaced.Open());
        const std::string text = "new\n";
        ASSERT_TRUE(replaced.Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
        ASSERT_TRUE(replaced.Commit(true));
    }
    EXPECT_EQ(ReadText(target), "new\n");

    const std::string other = folder_ + "other";
    test::WriteFile(other, "newer");
    EXPECT_EQ(std::rename(other.c_str(), target.c_str()), 0);
    EXPECT_EQ(ReadText(target), "newer");
    EXPECT_FALSE(fs::exists(other));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(WindowsFiles, FilesOpenInBinaryMode)
{
    const std::string file = folder_ + "lines";
    FILE* out = std::fopen(file.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("a\nb\x1A"
               "c",
               out);
    std::fclose(out);
    EXPECT_EQ(ReadText(file), "a\nb\x1A"
                              "c");

    const int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buffer[16];
    EXPECT_EQ(::read(fd, buffer, sizeof buffer), 5);
    ::close(fd);
}

TEST(WindowsRegistry, ValuesRoundTripUnderTheCurrentUser)
{
    const auto key = registry::CreateKey(registry::Root, "Software\\Vorlane Test\\Desktop");
    ASSERT_TRUE(key.has_value());
    ASSERT_EQ(registry::SetValue(*key, "Wallpaper", REG_SZ, registry::StringData("C:\\\x95\x5C.bmp")),
              registry::Result::Ok);
    registry::Value value;
    ASSERT_EQ(registry::QueryValue(*registry::OpenKey(registry::Root, "software\\vorlane test\\DESKTOP"), "WALLPAPER",
                                   64, value),
              registry::Result::Ok);
    EXPECT_EQ(value.type, REG_SZ);
    EXPECT_EQ(value.data, registry::StringData("C:\\\x95\x5C.bmp"));
    EXPECT_EQ(registry::QueryValue(*key, "Wallpaper", 4, value), registry::Result::Failed); // too small a buffer
    EXPECT_EQ(registry::DeleteValue(*key, "Wallpaper"), registry::Result::Ok);
    EXPECT_EQ(registry::QueryValue(*key, "Wallpaper", 64, value), registry::Result::NotFound);
    EXPECT_FALSE(registry::OpenKey(registry::Root, "Software\\Vorlane Test\\Missing").has_value());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vorlane Test");
}

TEST(WindowsCodePage, SystemTextIsTheAnsiCodePage)
{
    ASSERT_EQ(GetACP(), 932u) << "run with a Japanese locale";
    EXPECT_EQ(codepage::SystemToShiftJis("\x95\xC7\x8E\x86"), std::optional<std::string>("\x95\xC7\x8E\x86"));
    EXPECT_FALSE(codepage::SystemToShiftJis("\x95").has_value()); // a lead byte alone
    // Typed or chosen text: never a best-fit look-alike (e for é) or "?" in place of what 932 lacks.
    EXPECT_EQ(codepage::Utf8ToSystem("\xE8\xA1\xA8\xE3\x82\xBD.jpg"),
              std::optional<std::string>("\x95\x5C\x83\x5C.jpg"));
    EXPECT_FALSE(codepage::Utf8ToSystem("caf\xC3\xA9.jpg").has_value());
    EXPECT_FALSE(codepage::Utf8ToSystem("\xED\x95\x9C.jpg").has_value()); // 한
}

// The limit is the system's: 259 characters, a double-byte one counting once.
TEST(WindowsPath, PathsAreCountedInCharactersUpToTheSystemsLimit)
{
    const auto path = [](size_t characters, const std::string& character) {
        std::string text = "C:\\";
        for (size_t i = 3; i < characters; ++i)
            text += character;
        return text;
    };
    EXPECT_TRUE(files::PathFits(path(259, "\x95\x5C"))); // 表: 515 bytes
    EXPECT_FALSE(files::PathFits(path(260, "a")));
    EXPECT_THROW(files::CheckPathLength(path(260, "\x95\x5C")), EPathTooLong);
    EXPECT_NO_THROW(files::CheckPathLength(path(259, "a")));
}

} // namespace
} // namespace vorlane
