#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"
#include "tests/TestFiles.h"
#include "tests/platform/FileSizeLimit.h"
#include "platform/Registry.h"
#include "platform/RegistryIniFile.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using registry::Result;
using namespace std::string_literals;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { UseSettingsFolder(folder_); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
    static void UseSettingsFolder(const fs::path& folder) { ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1); }
    // A settings folder that cannot exist: its parent is a file.
    void MakeStoreUnwritable()
    {
        std::ofstream(folder_ / "file") << "x";
        UseSettingsFolder(folder_ / "file" / "sub");
    }
    static std::string StoreText() { return test::ReadText(registry::StorePath()); }
    static registry::Key Desktop() { return *registry::CreateKey(registry::Root, "Control Panel\\Desktop"); }
    static void Set(std::string_view name, uint32_t type, std::string_view data)
    {
        ASSERT_EQ(registry::SetValue(Desktop(), name, type,
                                     std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size())),
                  Result::Ok);
    }

    const test::ScratchFolder scratch_{"vorlane-registry"};
    const fs::path folder_ = scratch_.Path();
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndEveryByte)
{
    const std::string awkward = "a\0b\n%=[]\r\x7f\xe3\x81\x82 end "s;
    Set("Binary", REG_BINARY, awkward);
    Set("Text", REG_SZ, "C:\\壁紙\\a b.bmp\0"s);
    Set("Empty", REG_SZ, "");
    Set("Number", REG_DWORD, std::string("\x01\x00\x00\x00", 4));

    const registry::Key key = *registry::OpenKey(registry::Root, "control panel\\DESKTOP");
    registry::Value value;
    ASSERT_EQ(registry::QueryValue(key, "binary", SIZE_MAX, value), Result::Ok);
    EXPECT_EQ(value.type, REG_BINARY);
    EXPECT_EQ(std::string(value.data.begin(), value.data.end()), awkward);
    ASSERT_EQ(registry::QueryValue(key, "Text", SIZE_MAX, value), Result::Ok);
    EXPECT_EQ(std::string(value.data.begin(), value.data.end()), "C:\\壁紙\\a b.bmp\0"s);
    uint32_t type = 0;
    size_t size = 99;
    ASSERT_EQ(registry::QueryValueInfo(key, "Empty", type, size), Result::Ok);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(registry::QueryValueInfo(key, "Number", type, size), Result::Ok);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(registry::QueryValue(key, "Number", 3, value), Result::Failed); // buffer too small
    EXPECT_EQ(registry::QueryValueInfo(key, "Missing", type, size), Result::NotFound);

    // Replacing keeps one value; deleting removes it.
    Set("TEXT", REG_EXPAND_SZ, "x");
    ASSERT_EQ(registry::QueryValue(key, "Text", SIZE_MAX, value), Result::Ok);
    EXPECT_EQ(value.type, REG_EXPAND_SZ);
    EXPECT_EQ(registry::DeleteValue(key, "text"), Result::Ok);
    EXPECT_EQ(registry::QueryValueInfo(key, "Text", type, size), Result::NotFound);

    const std::string text = StoreText();
    EXPECT_EQ(text.rfind("Vorlane registry 1\n", 0), 0u);
    EXPECT_NE(text.find("[Control Panel\\Desktop]\n"), std::string::npos);
    EXPECT_NE(text.find("4:Number=%01%00%00%00\n"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(folder_)) // no temporary file left behind
        EXPECT_TRUE(entry.path().filename() == "Vorlane.registry" || entry.path().filename() == "Vorlane.registry.lock")
            << entry.path();
}

TEST_F(RegistryTest, ChangesOfSeveralProcessesAtOnceAreAllKept)
{
    // Each process replaces the whole store per change; without excluding each other they would
    // overwrite each other's values.
    constexpr int Changes = 30;
    const registry::Key key = Desktop();
    const auto setValues = [&](const char* prefix) {
        for (int i = 0; i < Changes; ++i) {
            const auto data = registry::StringData(std::to_string(i));
            if (registry::SetValue(key, prefix + std::to_string(i), REG_SZ, data) != Result::Ok)
                return false;
        }
        return true;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(setValues("child") ? 0 : 1);
    const bool parentOk = setValues("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(parentOk);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int missing = 0;
    for (const char* prefix : {"parent", "child"}) {
        for (int i = 0; i < Changes; ++i) {
            uint32_t type = 0;
            size_t size = 0;
            missing += registry::QueryValueInfo(key, prefix + std::to_string(i), type, size) != Result::Ok;
        }
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(RegistryTest, KeysExistOnlyOnceCreatedWithEveryLevel)
{
    EXPECT_FALSE(registry::OpenKey(registry::Root, "Software"));
    const auto program = registry::CreateKey(registry::Root, "Software\\Vorlane");
    ASSERT_TRUE(program);
    EXPECT_EQ(program->path, "Software\\Vorlane");
    const auto software = registry::OpenKey(registry::Root, "software");
    ASSERT_TRUE(software);
    EXPECT_EQ(registry::OpenKey(*software, "VORLANE")->path, "Software\\Vorlane");
    EXPECT_FALSE(registry::OpenKey(*software, "Colors"));
    // Creating an existing key keeps its spelling and values.
    const auto panel = registry::OpenKey(registry::Root, "Control Panel");
    ASSERT_TRUE(panel);
    Set("Wallpaper", REG_SZ, std::string("a\0", 2));
    EXPECT_EQ(registry::CreateKey(*panel, "DESKTOP")->path, "Control Panel\\Desktop");
    const registry::Key desktop = Desktop();
    uint32_t type = 0;
    size_t size = 0;
    EXPECT_EQ(registry::QueryValueInfo(desktop, "Wallpaper", type, size), Result::Ok);
    // A key removed from the store behind an open handle no longer takes values.
    fs::remove(registry::StorePath());
    EXPECT_EQ(registry::SetValue(*program, "Wallpaper", REG_SZ, registry::StringData("b")), Result::NotFound);
}

TEST_F(RegistryTest, LookUpsCreateNoFile)
{
    // A user who never changed anything: the keys every user has are there, and reading them, opening
    // the component's key, "creating" one that exists or changing what is not there leaves the settings
    // folder as it was.
    const auto lookUp = [] {
        TRegIniFile ini("Control Panel");
        EXPECT_TRUE(ini.HasKey());
        ini.ReadBool("Desktop", "TileWallPaper", false);
        EXPECT_TRUE(registry::CreateKey(registry::Root, "control panel\\desktop"));
        EXPECT_EQ(registry::DeleteValue(Desktop(), "Missing"), Result::NotFound);
        EXPECT_EQ(registry::SetValue({"Colors"}, "Missing", REG_SZ, registry::StringData("1")), Result::NotFound);
    };
    lookUp();
    EXPECT_TRUE(fs::is_empty(folder_));
    Set("Wallpaper", REG_SZ, std::string("a\0", 2));
    fs::remove(registry::StorePath() + ".lock");
    lookUp();
    EXPECT_FALSE(fs::exists(registry::StorePath() + ".lock"));
}

TEST_F(RegistryTest, AStoreThatCannotBeWrittenFailsEveryChange)
{
    MakeStoreUnwritable();
    EXPECT_FALSE(registry::CreateKey(registry::Root, "Control Panel"));
    EXPECT_FALSE(registry::OpenKey(registry::Root, "Control Panel"));
    EXPECT_EQ(registry::SetValue(registry::Root, "x", REG_SZ, registry::StringData("1")), Result::Failed);
}

TEST_F(RegistryTest, ForeignFileIsNeitherReadNorReplaced)
{
    std::ofstream(registry::StorePath()) << "[Control Panel\\Desktop]\n1:Wallpaper=a%00\n";
    const std::string before = StoreText();
    EXPECT_FALSE(registry::OpenKey(registry::Root, "Control Panel\\Desktop"));
    EXPECT_FALSE(registry::CreateKey(registry::Root, "Control Panel"));
    EXPECT_EQ(StoreText(), before);
}

TEST_F(RegistryTest, DamagedLinesAreSkippedAndTheRestIsRead)
{
    std::ofstream(registry::StorePath()) << "Vorlane registry 1\r\n"
                                            "[Control Panel\\Desktop]\r\n"
                                            "1:Bad=%zz\n"
                                            "x:Worse=1\n"
                                            "no value line\n"
                                            "1:Wallpaper=/p.bmp%00\n"
                                            "[Broken%]\n"
                                            "1:Lost=1%00\n";
    const auto key = registry::OpenKey(registry::Root, "Control Panel\\Desktop");
    ASSERT_TRUE(key);
    registry::Value value;
    ASSERT_EQ(registry::QueryValue(*key, "Wallpaper", SIZE_MAX, value), Result::Ok);
    EXPECT_EQ(std::string(value.data.begin(), value.data.end()), std::string("/p.bmp\0", 7));
    EXPECT_EQ(registry::QueryValue(*key, "Bad", SIZE_MAX, value), Result::NotFound);
    EXPECT_EQ(registry::QueryValue(*key, "Lost", SIZE_MAX, value), Result::NotFound);
}

TEST_F(RegistryTest, OversizedKeysAndStoresAreRefused)
{
    std::string deep;
    for (int i = 0; i < 600; ++i)
        deep += "k\\";
    std::ofstream(registry::StorePath()) << "Vorlane registry 1\n[" << deep << "]\n1:Lost=1%00\n"
                                         << "[Control Panel\\Desktop]\n1:Wallpaper=x%00\n";
    EXPECT_FALSE(registry::OpenKey(registry::Root, "k"));
    EXPECT_TRUE(registry::OpenKey(registry::Root, "Control Panel\\Desktop"));
    EXPECT_FALSE(registry::CreateKey(registry::Root, deep));

    std::ofstream(registry::StorePath(), std::ios::app) << "0:Padding=" << std::string(1 << 20, 'p') << "\n";
    EXPECT_FALSE(registry::OpenKey(registry::Root, "Control Panel\\Desktop"));
}

TEST_F(RegistryTest, IniReadsStringsOfStringTypesOnly)
{
    Set("Plain", REG_SZ, std::string("C:\\a.bmp\0", 9));
    Set("Expand", REG_EXPAND_SZ, std::string("x\0ignored\0", 10));
    Set("Unterminated", REG_SZ, "abc");
    Set("Empty", REG_DWORD, "");
    Set("Number", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    TRegIniFile ini("Control Panel");
    ASSERT_TRUE(ini.HasKey());
    EXPECT_EQ(ini.ReadString("Desktop", "Plain", "d"), "C:\\a.bmp");
    EXPECT_EQ(ini.ReadString("Desktop", "Expand", "d"), "x");
    EXPECT_EQ(ini.ReadString("Desktop", "Unterminated", "d"), "abc");
    EXPECT_EQ(ini.ReadString("Desktop", "Empty", "d"), ""); // size 0: empty whatever its type
    EXPECT_EQ(ini.ReadString("Desktop", "Missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("Colors", "Plain", "d"), "d");
    EXPECT_EQ(test::ErrorOf<ERegistryException>([&] { ini.ReadString("Desktop", "Number", "d"); }),
              "'Number' のデータ型が不正です");
}

TEST_F(RegistryTest, IniBooleansParseDecimalAndDollarHexadecimal)
{
    TRegIniFile ini("Control Panel");
    const std::pair<const char*, bool> cases[] = {
        {"2", true},     {"$1F", true}, {"-1", true}, {" 1", true}, {"0", false},   {"$0", false},
        {"word", false}, {"1 ", false}, {"$", false}, {"", false},  {"0x1", false},
    };
    for (const auto& [text, expected] : cases) {
        Set("TileWallPaper", REG_SZ, std::string(text) + '\0');
        EXPECT_EQ(ini.ReadBool("Desktop", "TileWallPaper", false), expected) << '"' << text << '"';
    }
    Set("TileWallPaper", REG_SZ, std::string("word\0", 5));
    EXPECT_TRUE(ini.ReadBool("Desktop", "TileWallPaper", true)); // not a number: the default
    EXPECT_TRUE(ini.ReadBool("Desktop", "Missing", true));

    EXPECT_EQ(ParseRegistryInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseRegistryInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseRegistryInteger("2147483648"), std::nullopt);
    EXPECT_EQ(ParseRegistryInteger("$100000000"), std::nullopt);
    EXPECT_EQ(ParseRegistryInteger("-$10"), -16);
}

TEST_F(RegistryTest, IniWritesStringsWithTheirNul)
{
    TRegIniFile ini("Control Panel");
    ini.WriteBool("Desktop", "TileWallPaper", true);
    ini.WriteInteger("Desktop", "Count", -5);
    registry::Value value;
    ASSERT_EQ(registry::QueryValue(Desktop(), "TileWallPaper", SIZE_MAX, value), Result::Ok);
    EXPECT_EQ(value.type, REG_SZ);
    EXPECT_EQ(value.data, (std::vector<uint8_t>{'1', 0}));
    EXPECT_EQ(ini.ReadInteger("Desktop", "Count", 0), -5);
}

TEST_F(RegistryTest, IniWriteFailuresNameTheKeyOrTheValue)
{
    {
        TRegIniFile ini("Control Panel");
        ASSERT_TRUE(registry::CreateKey(registry::Root, "Control Panel\\Desktop"));
        MakeStoreUnwritable();
        // The store is now elsewhere and empty: the section cannot be created there.
        EXPECT_EQ(test::ErrorOf<ERegistryException>([&] { ini.WriteBool("Desktop", "TileWallPaper", true); }),
                  "キー Desktop の作成に失敗しました");
    }
    UseSettingsFolder(folder_);
    Set("Wallpaper", REG_SZ, std::string("a\0", 2));
    TRegIniFile ini("Control Panel");
    {
        // The section exists, so only the value's write needs the disk, and the disk is full.
        const FileSizeLimit full(fs::file_size(registry::StorePath()));
        EXPECT_EQ(test::ErrorOf<ERegistryException>([&] { ini.WriteBool("Desktop", "TileWallPaper", true); }),
                  "'TileWallPaper' の設定に失敗しました");
    }
    EXPECT_FALSE(ini.ReadBool("Desktop", "TileWallPaper", false));

    MakeStoreUnwritable();
    TRegIniFile keyless("Control Panel");
    EXPECT_FALSE(keyless.HasKey());
    EXPECT_EQ(keyless.ReadString("Desktop", "Wallpaper", "d"), "d");
    EXPECT_THROW(keyless.WriteBool("Desktop", "TileWallPaper", true), ERegistryException);
}

} // namespace
} // namespace vorlane
