// vorlane-saver on a virtual display: run by Debian's XScreenSaver and xsecurelock as an ordinary user,
// in a window it is given, and with nothing to show.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image/BmpFile.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "tests/NeedInstalled.h"
#include "tests/TestFiles.h"
#include "tests/wallpaper/DesktopSession.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

constexpr Rgb Red = MakeRgb(220, 30, 30), Green = MakeRgb(30, 200, 30), Blue = MakeRgb(30, 30, 220);
constexpr Rgb Yellow = MakeRgb(230, 220, 20), Cyan = MakeRgb(20, 210, 220);

bool Near(Rgb a, Rgb b)
{
    const auto close = [](int x, int y) { return std::abs(x - y) <= 3; };
    return close(RedOf(a), RedOf(b)) && close(GreenOf(a), GreenOf(b)) && close(BlueOf(a), BlueOf(b));
}

class SaverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session_ = std::make_unique<test::DesktopSession>(true, false);
        ASSERT_EQ(session_->Failure(), "");
        for (const char* name : {"home", "config"})
            fs::create_directories(folder_ / name);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    // A gallery file `name`.gsk of solid pictures of these colours, 160 x 120 each, made by vorlane-gsk;
    // their names hold a newline, quotes and a byte that begins no UTF-8 character.
    std::string MakeGallery(const std::string& name, const std::vector<Rgb>& colours) const
    {
        std::vector<std::string> command{VORLANE_GSK, "add", (folder_ / (name + ".gsk")).string()};
        for (size_t i = 0; i < colours.size(); ++i) {
            Bitmap picture(160, 120, 24);
            picture.Fill(colours[i]);
            const fs::path file = folder_ / (name + "\n'\"\xff" + std::to_string(i) + ".bmp"); // "nobody" reads it
            test::WriteFile(file, WriteBmp(picture));
            command.push_back(file.string());
        }
        EXPECT_EQ(Run(command), 0);
        return (folder_ / name).string();
    }

    static int Run(std::vector<std::string> command)
    {
        const pid_t pid = test::StartProgram(std::move(command), "/dev/null", false);
        int status = -1;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void SetSaverGallery(const std::string& saver, const std::string& manager = "") const
    {
        ASSERT_TRUE(WritePrivateProfileString("Initial", "Saver", saver, "Vorlane.ini"));
        if (!manager.empty()) {
            ASSERT_TRUE(WritePrivateProfileString("Initial", "Manager", manager, "Vorlane.ini"));
        }
    }

    Rgb ScreenAt(int x, int y) const { return session_->Screenshot().At(x, y); }

    // Waits until the screen shows `colour` at (x, y).
    bool Shows(Rgb colour, int x = test::DesktopSession::Width / 2, int y = test::DesktopSession::Height / 2) const
    {
        return session_->WaitForScreen([&] { return Near(ScreenAt(x, y), colour); });
    }

    // The saver on the test's window, its output in folder_/saver.log.
    pid_t StartSaver(Window window, const std::vector<std::string>& options = {}) const
    {
        std::vector<std::string> command{VORLANE_SAVER, "--window-id", std::to_string(window)};
        command.insert(command.end(), options.begin(), options.end());
        return test::StartProgram(command, (folder_ / "saver.log").string(), false);
    }

    // A mapped window of the test's own at (100, 80), 320 x 240.
    Window MakeWindow() const
    {
        Display* display = session_->X();
        const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 80, 320, 240, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
        return window;
    }

    const test::ScratchFolder scratch_{"vorlane-saver"};
    const fs::path folder_ = scratch_.Path();
    std::unique_ptr<test::DesktopSession> session_;
};

// Ends `pid` with SIGTERM; true when it was gone within 0.1 s.
bool EndsOnSigterm(pid_t pid)
{
    const int handle = int(::syscall(SYS_pidfd_open, pid, 0));
    if (handle < 0 || ::kill(pid, SIGTERM) != 0)
        return false;
    pollfd exited{handle, POLLIN, 0};
    const bool gone = ::poll(&exited, 1, 100) == 1;
    ::close(handle);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return gone && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
}

// The screen savers run as an ordinary user (XScreenSaver runs no hack as root) with its own home and
// configuration: the saver is XScreenSaver's only hack, and XScreenSaver neither fades nor locks.
class ScreenSaverTest : public SaverTest {
protected:
    void SetUp() override
    {
        SaverTest::SetUp();
        test::WriteFile(folder_ / "home" / ".xscreensaver",
                        "mode: one\nselected: 0\ntimeout: 1:00:00\ncycle: 0:00:00\nlock: False\nfade: False\n"
                        "unfade: False\nsplash: False\ndpmsEnabled: False\n"
                        "programs: " VORLANE_SAVER " --root --delay 0.3 \\n\n");
        fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                                     fs::perms::group_read | fs::perms::others_read);
        if (::getuid() == 0) {
            ASSERT_EQ(Run({"chown", "-R", "65534:65534", (folder_ / "home").string(), (folder_ / "config").string()}),
                      0);
        }
        ASSERT_EQ(Run({"xhost", "+local:"}), 0);
    }

    std::vector<std::string> AsUser(std::vector<std::string> argv) const
    {
        std::vector<std::string> command{"env", "HOME=" + (folder_ / "home").string(),
                                         "XDG_CONFIG_HOME=" + (folder_ / "config").string()};
        if (::getuid() == 0)
            command.insert(command.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        command.insert(command.end(), argv.begin(), argv.end());
        return command;
    }
};

TEST_F(ScreenSaverTest, XScreenSaverShowsTheSaverGalleryInTurnAndDefaultTheCurrentGallery)
{
    VORLANE_NEED_PROGRAMS({"xscreensaver", "xscreensaver-command", "setpriv", "xhost"});
    SetSaverGallery(MakeGallery("shown", {Red, Green, Blue}), "");
    const auto asUser = [&](std::vector<std::string> argv) { return AsUser(std::move(argv)); };
    const test::SessionProgram xscreensaver(asUser({"xscreensaver", "-no-splash"}),
                                            (folder_ / "xscreensaver.log").string());
    const auto activate = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Run(asUser({"xscreensaver-command", "-activate"})) != 0) // until the daemon answers
            if (std::chrono::steady_clock::now() > deadline)
                return false;
        return true;
    };
    ASSERT_TRUE(activate()) << test::ReadText(folder_ / "xscreensaver.log");
    // Each picture in the gallery's order, twice round.
    for (const Rgb colour : {Red, Green, Blue, Red, Green, Blue})
        ASSERT_TRUE(Shows(colour)) << std::hex << colour << "\n" << test::ReadText(folder_ / "xscreensaver.log");

    // "Default": the current gallery, read when the saver starts again.
    SetSaverGallery("Default", MakeGallery("current", {Yellow, Cyan}));
    ASSERT_EQ(Run(asUser({"xscreensaver-command", "-deactivate"})), 0);
    ASSERT_TRUE(activate());
    for (const Rgb colour : {Yellow, Cyan, Yellow})
        ASSERT_TRUE(Shows(colour)) << std::hex << colour;
}

// The settings' preview runs the program as the settings description has it ("--root") with the
// preview's window added ("--window-id").
TEST_F(ScreenSaverTest, XScreenSaverSettingsPreviewShowsTheGallery)
{
    VORLANE_NEED_PROGRAMS({"xscreensaver-settings", "setpriv", "xhost"});
    SetSaverGallery(MakeGallery("shown", {Red}));
    const test::SessionProgram settings(AsUser({"xscreensaver-settings"}), (folder_ / "settings.log").string());
    const auto redShown = [&] {
        const test::Screen screen = session_->Screenshot();
        return std::count_if(screen.pixels.begin(), screen.pixels.end(), [](Rgb p) { return Near(p, Red); }) > 1000;
    };
    EXPECT_TRUE(session_->WaitForScreen(redShown)) << test::ReadText(folder_ / "settings.log");
}

// xsecurelock runs a saver module by its name "saver_*" (here the test's link, as the package's is in
// its helper folder), once per monitor, on the window it names.
TEST_F(ScreenSaverTest, XSecureLockRunsItAsASaverModule)
{
    VORLANE_NEED_PROGRAMS({"xsecurelock", "setpriv", "xhost"});
    SetSaverGallery(MakeGallery("shown", {Red, Green}));
    fs::create_symlink(VORLANE_SAVER, folder_ / "saver_vorlane");
    const test::SessionProgram locker(
        AsUser({"env", "XSECURELOCK_SAVER=" + (folder_ / "saver_vorlane").string(), "xsecurelock"}),
        (folder_ / "xsecurelock.log").string());
    EXPECT_TRUE(Shows(Red)) << test::ReadText(folder_ / "xsecurelock.log");
}

TEST_F(SaverTest, DrawsInTheWindowItIsGivenFittingATiledPictureAndEndsAtOnceOnSigterm)
{
    SetSaverGallery(MakeGallery("shown '$(touch x)' `y` \xff", {Red, Green}));
    // Tiled is recorded: the 160 x 120 picture is fitted to the 320 x 240 window, corner to corner.
    const auto key = registry::CreateKey(registry::Root, "Control Panel\\Desktop");
    ASSERT_TRUE(key);
    const std::string one = "1";
    ASSERT_EQ(registry::SetValue(*key, "TileWallPaper", REG_SZ, registry::StringData(one)), registry::Result::Ok);
    const Window window = MakeWindow();
    const pid_t saver = StartSaver(window, {"--delay", "0.3"});
    for (const Rgb colour : {Red, Green, Red}) {
        ASSERT_TRUE(Shows(colour, 101, 81)) << test::ReadText(folder_ / "saver.log");
        EXPECT_TRUE(Shows(colour, 418, 318));
    }
    EXPECT_TRUE(EndsOnSigterm(saver));
}

TEST_F(SaverTest, NothingToShowIsBlackWithOneLineOfText)
{
    const struct {
        const char* what;
        bool missing;
    } cases[] = {
        {"a missing gallery", true},
        {"a gallery without pictures", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string gallery = (folder_ / "none").string();
        if (!c.missing) {
            gallery = MakeGallery("empty", {Red});
            ASSERT_EQ(Run({VORLANE_GSK, "remove", gallery + ".gsk", "0"}), 0);
        }
        SetSaverGallery(gallery);
        const Window window = MakeWindow();
        const pid_t saver = StartSaver(window);
        // Text in the window's middle band, black above and below it.
        const auto textShown = [&] {
            const test::Screen screen = session_->Screenshot();
            int lit = 0, stray = 0;
            for (int y = 80; y < 320; ++y)
                for (int x = 100; x < 420; ++x)
                    if (screen.At(x, y) != 0)
                        ++(y >= 180 && y < 220 ? lit : stray);
            return lit > 20 && stray == 0;
        };
        EXPECT_TRUE(session_->WaitForScreen(textShown)) << test::ReadText(folder_ / "saver.log");
        EXPECT_TRUE(EndsOnSigterm(saver)); // still running: nothing went wrong
        XDestroyWindow(session_->X(), window);
    }
}

} // namespace
} // namespace vorlane
