// Where an installed program keeps its files: a copy of a probe program is run from a writable and from an
// unwritable folder and reports the program folder it was given.
//
// Permission bits do not stop root, so when the tests run as root the probe runs as the unprivileged user
// "nobody" (through setpriv); as an ordinary user, mode 0555 is enough.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/TestFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534;

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (RunningAsRoot() && ::access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "running as root without setpriv: no unprivileged user to run the probe as";
        root_ = scratch_.Path();
        // The unprivileged user must reach everything below the root.
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
        programs_ = root_ / "bin";
        home_ = root_ / "home";
        fs::create_directories(programs_);
        fs::create_directories(home_);
        fs::copy_file(DATAFOLDER_PROBE, programs_ / "probe");
        GiveToRunner(home_);
    }

    void TearDown() override
    {
        // A case may have taken the programs' folder from its owner; the scratch folder removes it all.
        std::error_code ignored;
        fs::permissions(programs_, fs::perms::owner_all, fs::perm_options::add, ignored);
    }

    // Folders the probe must write to belong to the user it runs as.
    void GiveToRunner(const fs::path& folder)
    {
        if (RunningAsRoot()) {
            ASSERT_EQ(::chown(folder.c_str(), Nobody, NoGroup), 0);
        }
    }

    void MakeProgramsUnwritable()
    {
        fs::permissions(programs_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    }

    // Runs a probe with exactly the given environment and returns the line it printed.
    std::string RunProbe(const std::string& environment, const std::string& probe = "probe",
                         const std::string& argument = "")
    {
        std::string command = "env -i " + environment + " ";
        if (RunningAsRoot())
            command += "/usr/bin/setpriv --reuid=" + std::to_string(Nobody) + " --regid=" + std::to_string(NoGroup) +
                       " --clear-groups ";
        command += (programs_ / probe).string();
        if (!argument.empty())
            command += " " + argument;
        const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
        if (!pipe)
            return "(popen failed)";
        std::string output;
        std::array<char, 512> buffer;
        while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe.get()))
            output.append(buffer.data(), n);
        if (!output.empty() && output.back() == '\n')
            output.pop_back();
        return output;
    }

    const vorlane::test::ScratchFolder scratch_{"vorlane-datafolder"};
    fs::path root_, programs_, home_;
};

TEST_F(DataFolderTest, WritableProgramFolderIsUsedAsItIs)
{
    GiveToRunner(programs_);
    EXPECT_EQ(RunProbe("HOME=" + home_.string()), programs_.string() + "/");
    EXPECT_FALSE(fs::exists(home_ / ".local")) << "nothing is created in the data folder";
    // The write probe leaves nothing behind.
    for (const auto& entry : fs::directory_iterator(programs_))
        EXPECT_EQ(entry.path().filename(), "probe");
}

TEST_F(DataFolderTest, UnwritableProgramFolderUsesXdgDataHome)
{
    MakeProgramsUnwritable();
    const fs::path data = home_ / "data";
    ASSERT_TRUE(fs::create_directory(data));
    GiveToRunner(data);
    EXPECT_EQ(RunProbe("HOME=" + home_.string() + " XDG_DATA_HOME=" + data.string()), data.string() + "/vorlane/");
    EXPECT_TRUE(fs::is_directory(data / "vorlane")) << "created on first use";
}

TEST_F(DataFolderTest, UnwritableProgramFolderWithoutXdgDataHomeUsesLocalShare)
{
    MakeProgramsUnwritable();
    // An empty XDG_DATA_HOME counts as unset.
    EXPECT_EQ(RunProbe("HOME=" + home_.string() + " XDG_DATA_HOME="), home_.string() + "/.local/share/vorlane/");
    EXPECT_TRUE(fs::is_directory(home_ / ".local/share/vorlane"));
}

// "Temp.bmp" goes where the galleries go: an installed program writes it into the per-user data folder.
TEST_F(DataFolderTest, TempBmpOfAnInstalledProgramGoesToTheDataFolder)
{
    fs::copy_file(WALLPAPER_PROBE, programs_ / "wallpaper-probe");
    const fs::path picture = root_ / "a.jpg";
    {
        // A fuzz seed: its first byte is the fuzz target's, the rest a small baseline JPEG.
        std::ifstream seed(VORLANE_TEST_DATA "/fuzz/fuzz_jpeg_thumbnail/baseline-420-48x40", std::ios::binary);
        seed.ignore(1);
        std::ofstream(picture, std::ios::binary) << seed.rdbuf();
    }
    fs::permissions(picture, fs::perms::others_read | fs::perms::group_read, fs::perm_options::add);
    MakeProgramsUnwritable();
    const fs::path data = home_ / "data";
    ASSERT_TRUE(fs::create_directory(data));
    GiveToRunner(data);

    EXPECT_EQ(
        RunProbe("HOME=" + home_.string() + " XDG_DATA_HOME=" + data.string(), "wallpaper-probe", picture.string()),
        data.string() + "/vorlane/Temp.bmp");
    EXPECT_TRUE(fs::is_regular_file(data / "vorlane" / "Temp.bmp"));
    EXPECT_FALSE(fs::exists(programs_ / "Temp.bmp"));
}

} // namespace
