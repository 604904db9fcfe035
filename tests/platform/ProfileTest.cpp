#include "platform/Profile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestSystemCalls.h"
#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"
#include "tests/TestFiles.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("XDG_CONFIG_HOME", folder_.string().c_str(), 1);
        // Where the settings file of that name lives on this system (on Windows, its Windows folder).
        ini_ = ProfileFilePath("Vorlane.ini");
        fs::remove(ini_);
    }
    void TearDown() override { fs::remove(ini_); }

    void WriteIni(const std::string& content) { test::WriteFile(ini_, content); }
    std::string ReadIni() const { return test::ReadText(ini_); }

    const test::ScratchFolder scratch_{"vorlane-profile"};
    const fs::path folder_ = scratch_.Path();
    std::string ini_;
};

TEST_F(ProfileTest, ReadsNamesInAnyLetterCaseWithBlanksTrimmed)
{
    WriteIni("[other]\r\nManager=wrong\r\n[ INITIAL ]\r\n  manager =  /g/画集  \r\nSaver=Default\r\n");
    TIniFile ini("Vorlane.ini");
    EXPECT_EQ(ini.ReadString("Initial", "Manager", "x"), "/g/画集");
    EXPECT_EQ(ini.ReadString("initial", "SAVER", "x"), "Default");
    EXPECT_EQ(ini.ReadString("Initial", "Missing", "fallback"), "fallback");
    EXPECT_EQ(ini.ReadString("Nowhere", "Manager", "fallback"), "fallback");
}

TEST_F(ProfileTest, EnclosingQuotesAreDroppedAndDefaultsLoseOnlyTrailingBlanks)
{
    WriteIni("[Initial]\nManager=\"/g/画 集\"\nSaver='Default'\nA=\"x'\nB=\"\nC=\"\"\n");
    TIniFile ini("Vorlane.ini");
    EXPECT_EQ(ini.ReadString("Initial", "Manager", ""), "/g/画 集");
    EXPECT_EQ(ini.ReadString("Initial", "Saver", ""), "Default");
    EXPECT_EQ(ini.ReadString("Initial", "A", ""), "\"x'"); // quotes that do not pair stay
    EXPECT_EQ(ini.ReadString("Initial", "B", ""), "\"");
    EXPECT_EQ(ini.ReadString("Initial", "C", "d"), "");
    EXPECT_EQ(ini.ReadString("Initial", "Missing", "  /p/画集 \t "), "  /p/画集");
    EXPECT_EQ(TIniFile("None.ini").ReadString("Initial", "Manager", "/p/画集"), "/p/画集");
}

TEST_F(ProfileTest, LongValuesAreCutAt2047Bytes)
{
    const std::string longValue(5000, 'a');
    WriteIni("[Initial]\nManager=" + longValue + "\n");
    TIniFile ini("Vorlane.ini");
    EXPECT_EQ(ini.ReadString("Initial", "Manager", ""), std::string(2047, 'a'));
    EXPECT_EQ(ini.ReadString("Initial", "Other", longValue), std::string(2047, 'a'));
}

#if defined(__SANITIZE_ADDRESS__)
#define VORLANE_ADDRESS_LIMIT_WORKS 0 // the sanitizer reserves more address space than any limit allows
#else
#define VORLANE_ADDRESS_LIMIT_WORKS 1
#endif

// A value of 64 MiB is read within a few kilobytes: the reading of a settings file is bounded.
TEST_F(ProfileTest, HugeValueIsReadInBoundedMemory)
{
    if (!VORLANE_ADDRESS_LIMIT_WORKS)
        GTEST_SKIP() << "address-space limits do not work under the address sanitizer";
    {
        std::ofstream out(folder_ / "Vorlane.ini", std::ios::binary);
        out << "[Initial]\nManager=";
        const std::string block(1 << 20, 'm');
        for (int i = 0; i < 64; ++i)
            out << block;
        out << "\nSaver=Default\n";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t room = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(32) << 20);
        const rlimit limit{room, room};
        ::setrlimit(RLIMIT_AS, &limit);
        try {
            const std::string value = GetPrivateProfileString("Initial", "Manager", "", "Vorlane.ini");
            const std::string saver = GetPrivateProfileString("Initial", "Saver", "", "Vorlane.ini");
            ::_exit(value == std::string(ProfileValueLimit, 'm') && saver == "Default" ? 0 : 1);
        } catch (...) {
            ::_exit(2);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(ProfileTest, WriteCreatesFileSectionAndKey)
{
    TIniFile ini("Vorlane.ini");
    ini.WriteString("Initial", "Manager", "/p/画集");
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=/p/画集\n");
    ini.WriteString("Initial", "Saver", "Default");
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=/p/画集\nSaver=Default\n");
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLine)
{
    WriteIni("; settings\r\n[Other]\r\nManager=keep\r\n\r\n[initial]\r\nSAVER=old\r\n; note\r\n\r\n[Last]\r\nx=1");
    TIniFile ini("Vorlane.ini");
    ini.WriteString("Initial", "Saver", "Default");
    ini.WriteString("Initial", "Manager", "/g/a");
    ini.WriteString("New", "k", "v");
    EXPECT_EQ(ReadIni(), "; settings\r\n[Other]\r\nManager=keep\r\n\r\n[initial]\r\nSaver=Default\r\n; note\r\n"
                         "Manager=/g/a\r\n\r\n[Last]\r\nx=1\r\n[New]\r\nk=v\r\n");
}

TEST_F(ProfileTest, LineBreaksInValuesCannotForgeKeys)
{
    TIniFile ini("Vorlane.ini");
    ini.WriteString("Initial", "Manager", "/g/a\nSaver=forged");
    EXPECT_EQ(ini.ReadString("Initial", "Manager", ""), "/g/a");
    EXPECT_EQ(ini.ReadString("Initial", "Saver", "none"), "none");
}

TEST_F(ProfileTest, UnwritableFolderRaisesWriteError)
{
    WriteIni("[Initial]\nManager=/g/a\n");
    // A folder below a plain file cannot be created, not even by the superuser.
    ::setenv("XDG_CONFIG_HOME", (folder_ / "Vorlane.ini" / "sub").string().c_str(), 1);
    TIniFile ini("Vorlane.ini");
    EXPECT_EQ(test::ErrorOf<EIniFileException>([&] { ini.WriteString("Initial", "Saver", "Default"); }),
              "Vorlane.ini に書き込めません");
    ::setenv("XDG_CONFIG_HOME", folder_.string().c_str(), 1);
    EXPECT_EQ(ReadIni(), "[Initial]\nManager=/g/a\n");
}

} // namespace
} // namespace vorlane
