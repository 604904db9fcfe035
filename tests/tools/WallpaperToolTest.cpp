// vorlane-wallpaper run as a user runs it: set on one X server, shown again on the next one by the
// autostart entry's command, and the mascot told only of a wallpaper a desktop showed.
#include <gtest/gtest.h>

#include <sched.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "image/BmpFile.h"
#include "image/Jpeg.h"
#include "platform/CodePage.h"
#include "platform/Registry.h"
#include "tests/TestFiles.h"
#include "tests/image/JpegEncode.h"
#include "tests/sstp/SstpTestServer.h"
#include "tests/wallpaper/DesktopSession.h"
#include "wallpaper/SessionBus.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

using test::ReadText;

struct Outcome {
    int status = -1;
    std::string errors; // what it wrote to stderr
};

class WallpaperToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A copy of its own, so "Temp.bmp" lands beside it in the test's folder.
        fs::create_directories(folder_ / "program");
        fs::create_directories(folder_ / "config");
        fs::copy_file(VORLANE_WALLPAPER_TOOL, folder_ / "program" / "vorlane-wallpaper");
        picture_ = (folder_ / "a.jpg").string();
        test::WriteFile(picture_, test::EncodeJpeg(test::TestPicture(50, 40, 1u)));
        decoded_ = DecodeJpegFile(picture_, 24);
    }

    // Runs a shell command line with the tool's folder first on PATH and the test's settings folder, in
    // this process's environment otherwise (the session's display).
    Outcome Run(const std::string& command) const
    {
        const fs::path errors = folder_ / "stderr";
        const std::string line = "PATH='" + (folder_ / "program").string() + "':\"$PATH\" XDG_CONFIG_HOME='" +
                                 (folder_ / "config").string() + "' " + command + " 2>'" + errors.string() + "'";
        const int status = std::system(line.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(errors)};
    }

    // The command the installed autostart entry runs at login.
    static std::string AutostartCommand()
    {
        std::istringstream entry(ReadText(fs::path(VORLANE_TEST_DATA) / "../../packaging/vorlane-wallpaper.desktop"));
        for (std::string line; std::getline(entry, line);)
            if (line.rfind("Exec=", 0) == 0)
                return line.substr(5);
        return "false";
    }

    void StartSession(std::unique_ptr<test::DesktopSession>& session)
    {
        session.reset(); // one X server at a time: the previous session (a "logout") ends first
        session = std::make_unique<test::DesktopSession>(true, false);
        ASSERT_EQ(session->Failure(), "");
    }

    // An ordinary user's own folders under user_ (home, config, data, runtime, pictures): "nobody"'s
    // when this runs as root, whose programs must reach them.
    void MakeUser()
    {
        for (const char* name : {"home", "config", "data", "runtime", "pictures"})
            fs::create_directories(user_ / name);
        fs::permissions(user_ / "runtime", fs::perms::owner_all);
        fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        if (::getuid() == 0) {
            ASSERT_EQ(std::system(("chown -R 65534:65534 '" + user_.string() + "'").c_str()), 0);
        }
    }

    // The command that runs argv as that user, in those folders, with `variables` ("NAME=value") set.
    std::vector<std::string> AsUser(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& variables = {}) const
    {
        std::vector<std::string> command{
            "env", "HOME=" + (user_ / "home").string(), "XDG_CONFIG_HOME=" + (user_ / "config").string(),
            "XDG_DATA_HOME=" + (user_ / "data").string(), "XDG_RUNTIME_DIR=" + (user_ / "runtime").string()};
        command.insert(command.end(), variables.begin(), variables.end());
        if (::getuid() == 0)
            command.insert(command.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        command.insert(command.end(), argv.begin(), argv.end());
        return command;
    }

    // Runs it to its end: the exit status, -1 when it did not exit; what it wrote goes to folder_/stderr.
    int RunAsUser(const std::vector<std::string>& argv, const std::vector<std::string>& variables = {}) const
    {
        fs::remove(folder_ / "stderr");
        const pid_t pid = test::StartProgram(AsUser(argv, variables), (folder_ / "stderr").string(), false);
        int status = -1;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const test::ScratchFolder scratch_{"vorlane-wallpaper-tool"};
    const fs::path folder_ = scratch_.Path();
    const fs::path user_ = folder_ / "user";
    const std::string tool_ = (folder_ / "program" / "vorlane-wallpaper").string();
    std::string picture_;
    Bitmap decoded_;
};

TEST_F(WallpaperToolTest, AutostartShowsTheRecordedWallpaperAgainOnANewServerAndExplainsWhenItCannot)
{
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    const Outcome set = Run("vorlane-wallpaper set --tile " + picture_);
    EXPECT_EQ(set.status, 0) << set.errors;
    EXPECT_EQ(test::TiledMismatches(session->Screenshot(), decoded_), 0);

    StartSession(session); // a new login: the X server knows nothing of the old picture
    ASSERT_NE(test::TiledMismatches(session->Screenshot(), decoded_), 0);
    const Outcome restored = Run(AutostartCommand());
    EXPECT_EQ(restored.status, 0);
    EXPECT_EQ(restored.errors, ""); // quiet
    EXPECT_EQ(test::TiledMismatches(session->Screenshot(), decoded_), 0);

    // Damaged, missing: nothing is drawn, and stderr says why.
    StartSession(session);
    const std::vector<Rgb> untouched = session->Screenshot().pixels;
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    const auto key = registry::CreateKey(registry::Root, "Control Panel\\Desktop");
    ASSERT_TRUE(key);
    const uint8_t number[] = {1, 0, 0, 0};
    ASSERT_EQ(registry::SetValue(*key, "TileWallPaper", REG_DWORD, number), registry::Result::Ok);
    const Outcome damaged = Run(AutostartCommand());
    EXPECT_EQ(damaged.status, 4);
    EXPECT_NE(damaged.errors.find("'TileWallPaper' のデータ型が不正です"), std::string::npos) << damaged.errors;
    fs::remove(folder_ / "program" / "Temp.bmp");
    const Outcome gone = Run(AutostartCommand());
    EXPECT_EQ(gone.status, 4);
    EXPECT_NE(gone.errors.find("Temp.bmp は開けません"), std::string::npos) << gone.errors;
    ASSERT_EQ(registry::DeleteValue(*key, "Wallpaper"), registry::Result::Ok);
    const Outcome missing = Run(AutostartCommand());
    EXPECT_EQ(missing.status, 4);
    EXPECT_NE(missing.errors.find("no wallpaper is recorded"), std::string::npos) << missing.errors;
    EXPECT_TRUE(session->Screenshot().pixels == untouched);
}

TEST_F(WallpaperToolTest, AutostartForAUserWhoNeverSetAWallpaperCreatesNoFile)
{
    fs::remove(folder_ / "config"); // not even the settings folder exists yet
    const Outcome restored = Run(AutostartCommand());
    EXPECT_EQ(restored.status, 4);
    EXPECT_NE(restored.errors.find("no wallpaper is recorded"), std::string::npos) << restored.errors;
    EXPECT_FALSE(fs::exists(folder_ / "config"));
    EXPECT_FALSE(fs::exists(folder_ / "program" / "Temp.bmp"));
}

// A monitor plugged in, removed or resized: the login's watcher draws the recorded picture again for the
// new layout. Without it the root keeps the pixmap of the old layout (centred for the old size).
TEST_F(WallpaperToolTest, WatcherRedrawsTheRecordedPictureWhenMonitorsChange)
{
    VORLANE_NEED_PROGRAMS({"xrandr"});
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    Display* display = session->X();
    ASSERT_EQ(Run("vorlane-wallpaper set --centre " + picture_).status, 0);
    const Atom selection = XInternAtom(display, "_VORLANE_WALLPAPER_WATCH_S0", False);
    // It returns once its watcher holds the display; a second one leaves none behind.
    ASSERT_EQ(Run("vorlane-wallpaper restore --watch").status, 0);
    const Window watcher = XGetSelectionOwner(display, selection);
    ASSERT_NE(watcher, Window(None));
    EXPECT_EQ(Run("vorlane-wallpaper restore --watch").status, 0);
    EXPECT_EQ(XGetSelectionOwner(display, selection), watcher);
    EXPECT_EQ(Run("vorlane-wallpaper set --watch " + picture_).status, 2);

    const auto centredOn = [&](int width, int height, const std::vector<int>& lefts) {
        const test::Screen screen = test::RootScreenshot(display, width, height);
        int wrong = 0;
        for (const int left : lefts) {
            const int x = left + (width / int(lefts.size()) - decoded_.Width()) / 2,
                      y = (height - decoded_.Height()) / 2;
            wrong += test::Mismatches(screen, x, y, decoded_.Width(), decoded_.Height(),
                                      [&](int px, int py) { return decoded_.PixelRgb(px - x, py - y); });
        }
        return wrong == 0;
    };
    // Two monitors side by side, then one again.
    ASSERT_EQ(std::system("xrandr --setmonitor L 320/84x480/127+0+0 screen && "
                          "xrandr --setmonitor R 320/84x480/127+320+0 none"),
              0);
    ASSERT_EQ(test::MonitorCount(display), 2);
    EXPECT_TRUE(session->WaitForScreen([&] { return centredOn(640, 480, {0, 320}); })) << "two monitors";
    ASSERT_EQ(std::system("xrandr --delmonitor L && xrandr --delmonitor R"), 0);
    EXPECT_TRUE(session->WaitForScreen([&] { return centredOn(640, 480, {0}); })) << "one monitor";
    // The screen made smaller (its output goes off), then as large as before.
    // xrandr resizes, then fails to keep the output's mode on the smaller screen: its status is not ours.
    EXPECT_NE(std::system("xrandr --fb 400x300 2>/dev/null"), -1);
    EXPECT_TRUE(session->WaitForScreen([&] { return centredOn(400, 300, {0}); })) << "400x300";
    ASSERT_EQ(std::system("xrandr --fb 640x480"), 0);
    EXPECT_TRUE(session->WaitForScreen([&] { return centredOn(640, 480, {0}); })) << "640x480";
    EXPECT_EQ(XGetSelectionOwner(display, selection), watcher);
}

// Window managers that run no autostart entries by themselves, each logged into as the package and the
// README set it up: openbox-session runs the autostart entry through PyXDG (here from XDG_CONFIG_DIRS
// rather than /etc/xdg); icewm-session runs the package's startup script (here from ICEWM_PRIVCFG,
// searched before /etc/X11/icewm); Fluxbox runs the user's startup with the README's lines, and its
// overlay keeps it from drawing a background of its own over ours. Each shows the recorded picture
// and leaves the monitor watcher behind.
TEST_F(WallpaperToolTest, WindowManagerLoginsShowTheRecordedWallpaper)
{
    const fs::path packaging = fs::path(VORLANE_TEST_DATA) / "../../packaging";
    const fs::path home = folder_ / "home";
    struct Login {
        std::vector<std::string> programs;
        std::vector<std::string> session;
        std::vector<std::string> variables;
        std::vector<std::pair<fs::path, std::string>> files;
    };
    const Login logins[] = {
        {{"openbox-session", "python3:xdg"},
         {"openbox-session"},
         {"XDG_CONFIG_DIRS=" + (folder_ / "xdg").string()},
         {{folder_ / "xdg/autostart/vorlane-wallpaper.desktop", ReadText(packaging / "vorlane-wallpaper.desktop")}}},
        {{"icewm-session"},
         {"icewm-session"},
         {"ICEWM_PRIVCFG=" + (folder_ / "icewm").string()},
         {{folder_ / "icewm/startup", ReadText(packaging / "vorlane-wallpaper.icewm-startup")}}},
        {{"startfluxbox", "fluxbox"},
         {"startfluxbox"},
         {},
         {{home / ".fluxbox/overlay", "background: unset\n"},
          {home / ".fluxbox/startup", "vorlane-wallpaper restore --watch\nexec fluxbox\n"}}},
    };
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    ASSERT_EQ(Run("vorlane-wallpaper set --centre " + picture_).status, 0);
    for (const Login& login : logins) {
        SCOPED_TRACE(login.session[0]);
        VORLANE_NEED_PROGRAMS(login.programs);
        fs::remove_all(home);
        for (const auto& [file, text] : login.files) {
            fs::create_directories(file.parent_path());
            test::WriteFile(file, std::vector<uint8_t>(text.begin(), text.end()));
            fs::permissions(file, fs::perms::owner_exec, fs::perm_options::add);
        }
        StartSession(session); // a new login: the root is black
        ASSERT_NE(test::CentredMismatches(session->Screenshot(), decoded_), 0);
        std::vector<std::string> argv{"env", "PATH=" + (folder_ / "program").string() + ":" + std::getenv("PATH"),
                                      "HOME=" + home.string(), "XDG_CONFIG_HOME=" + (folder_ / "config").string()};
        argv.insert(argv.end(), login.variables.begin(), login.variables.end());
        argv.insert(argv.end(), login.session.begin(), login.session.end());
        const auto windowManager = session->Start(argv);
        Display* display = session->X();
        const Atom watch = XInternAtom(display, "_VORLANE_WALLPAPER_WATCH_S0", False);
        EXPECT_TRUE(session->WaitForScreen([&] {
            return test::CentredMismatches(session->Screenshot(), decoded_) == 0 &&
                   XGetSelectionOwner(display, watch) != None;
        })) << ReadText(session->Folder() / "env.log");
    }
}

TEST_F(WallpaperToolTest, FillIsShownRecordedAndRestoredAtLogin)
{
    EXPECT_EQ(Run("vorlane-wallpaper set --fill --fit " + picture_).status, 2);
    EXPECT_EQ(Run("vorlane-wallpaper show --span").status, 2);
    VORLANE_NEED_PROGRAMS({"python3:PIL"});
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    const std::string photo = (folder_ / "photo.jpg").string();
    test::WriteFile(photo, test::EncodeJpeg(test::SmoothPicture(900, 500, 4)));
    const Outcome set = Run("vorlane-wallpaper set --fill " + photo);
    EXPECT_EQ(set.status, 0) << set.errors;
    const test::Screen expected =
        test::PlacedReference((folder_ / "program" / "Temp.bmp").string(), WallpaperPlacement::Fill,
                              test::DesktopSession::Width, test::DesktopSession::Height);
    const PixelRect screen{0, 0, test::DesktopSession::Width, test::DesktopSession::Height};
    EXPECT_LE(test::Difference(session->Screenshot(), expected, screen).mean, 2.5);
    EXPECT_EQ(Run("vorlane-wallpaper show >'" + (folder_ / "shown").string() + "'").status, 0);
    EXPECT_NE(ReadText(folder_ / "shown").find("\nplacement: fill\n"), std::string::npos)
        << ReadText(folder_ / "shown");

    StartSession(session); // a new login: restored as it was placed
    EXPECT_EQ(Run(AutostartCommand()).status, 0);
    EXPECT_LE(test::Difference(session->Screenshot(), expected, screen).mean, 2.5);
}

TEST_F(WallpaperToolTest, GalleryEntryIsSetAndAnnouncedOnlyOnceADesktopShowedIt)
{
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    const std::string gallery = (folder_ / "g.gsk").string();
    ASSERT_EQ(std::system(("'" VORLANE_GSK "' add '" + gallery + "' '" + picture_ + "' >/dev/null").c_str()), 0);

    EXPECT_EQ(Run("vorlane-wallpaper set").status, 2);
    EXPECT_EQ(Run("vorlane-wallpaper set --tile --centre " + picture_).status, 2);
    const Outcome absent = Run("vorlane-wallpaper set " + (folder_ / "none.jpg").string());
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.errors.find("は開けません"), std::string::npos) << absent.errors;
    EXPECT_EQ(Run("vorlane-wallpaper set " + gallery + " 1").status, 1); // one entry: index 0 only

    // The mascot on the fixed port, in a network namespace of a child process of its own.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!test::EnterOwnNetwork())
            ::_exit(77);
        test::SstpTestServer mascot({{test::PeerBehaviour::ReplyAndClose, "SSTP/1.4 200 OK\r\n\r\n"},
                                     {test::PeerBehaviour::ReplyAndClose, "SSTP/1.4 200 OK\r\n\r\n"}},
                                    false, 9801);
        int failures = 0;
        const auto check = [&](bool holds, const std::string& what) {
            if (!holds) {
                std::fprintf(stderr, "not so: %s\n", what.c_str());
                ++failures;
            }
        };
        const Outcome unseen = Run("env -u DISPLAY vorlane-wallpaper set " + gallery + " 0");
        check(unseen.status == 3, "without a display: status 3, got " + std::to_string(unseen.status));
        const Outcome shown = Run("vorlane-wallpaper set " + gallery + " 0");
        check(shown.status == 0, "on the display: status 0, got " + std::to_string(shown.status) + " " + shown.errors);
        check(mascot.WaitForConnections(1), "an announcement");
        check(mascot.Accepted() == 1, "one announcement only, got " + std::to_string(mascot.Accepted()));
        const std::string script = "Script: " + *codepage::Utf8ToShiftJis("壁紙をa.jpgに設定しました") + "\r\n";
        const auto requests = mascot.Requests();
        check(!requests.empty() && requests[0].find(script) != std::string::npos, "the script names a.jpg");
        ::_exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no network namespace of our own here (needs CAP_SYS_ADMIN)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's messages above";
    EXPECT_EQ(test::CentredMismatches(session->Screenshot(), decoded_), 0);
}

TEST_F(WallpaperToolTest, SwayCentresThePictureOnEachOutput)
{
    VORLANE_NEED_PROGRAMS({"sway", "swaymsg", "swaybg", "grim", "setpriv"});
    const test::DesktopSession session(false, false);
    ASSERT_EQ(session.Failure(), "");
    test::Sway sway(session);
    ASSERT_EQ(sway.Failure(), "");
    ::setenv("SWAYSOCK", sway.Socket().c_str(), 1);
    // sway's background program runs as sway's user: it must reach "Temp.bmp".
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    // Two outputs of different sizes side by side.
    ASSERT_EQ(Run("swaymsg create_output >/dev/null").status, 0);
    ASSERT_EQ(Run("swaymsg 'output HEADLESS-1 mode 640x480 position 0 0' >/dev/null").status, 0);
    ASSERT_EQ(Run("swaymsg 'output HEADLESS-2 mode 800x600 position 640 0' >/dev/null").status, 0);
    ASSERT_EQ(
        Run("swaymsg -r -t get_outputs | grep -c '\"name\": \"HEADLESS-' >'" + (folder_ / "outputs").string() + "'")
            .status,
        0);
    ASSERT_EQ(ReadText(folder_ / "outputs"), "2\n") << "two outputs";
    const Outcome set = Run("vorlane-wallpaper set --centre " + picture_);
    ::unsetenv("SWAYSOCK");
    EXPECT_EQ(set.status, 0) << set.errors;

    const auto centredOnEach = [&](const test::Screen& screen) {
        int wrong = screen.width == 1440 && screen.height == 600 ? 0 : 1;
        for (const auto& [left, top] : {std::pair{295, 220}, std::pair{640 + 375, 280}})
            wrong += test::Mismatches(screen, left, top, decoded_.Width(), decoded_.Height(),
                                      [&](int x, int y) { return decoded_.PixelRgb(x - left, y - top); });
        return wrong;
    };
    // swaybg draws when it is ready; look until both outputs show the picture, for a bounded time.
    int wrong = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((wrong = centredOnEach(sway.Screenshot())) != 0 && std::chrono::steady_clock::now() < deadline) {}
    EXPECT_EQ(wrong, 0);
}

// sway reads the path of `output * bg` as words to expand: a name that holds a command language must
// neither run anything nor name another file, when set and when shown again at login. Run as an
// ordinary user, as sway is (root runs it as "nobody").
TEST_F(WallpaperToolTest, NamesSwayWouldExpandShowTheirOwnPictureAndRunNothing)
{
    VORLANE_NEED_PROGRAMS({"sway", "swaymsg", "swaybg", "grim", "setpriv"});
    const test::DesktopSession session(false, false);
    ASSERT_EQ(session.Failure(), "");
    test::Sway sway(session);
    ASSERT_EQ(sway.Failure(), "");
    ASSERT_NO_FATAL_FAILURE(MakeUser());
    const std::string swaySocket = "SWAYSOCK=" + sway.Socket();
    const fs::path marker = session.Folder() / "sway" / "pwned"; // sway's HOME, where "cd" goes
    const auto shows = [&](const Bitmap& picture, bool shown) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((test::CentredMismatches(sway.Screenshot(), picture) == 0) != shown &&
               std::chrono::steady_clock::now() < deadline) {}
        return (test::CentredMismatches(sway.Screenshot(), picture) == 0) == shown;
    };

    const std::vector<std::string> names = {"$(cd;touch pwned).bmp",
                                            "`cd;touch pwned`.bmp",
                                            "it's.bmp",
                                            "a&b.bmp",
                                            "a;b.bmp",
                                            "$HOME.bmp",
                                            "*.bmp",
                                            "new\nline.bmp",
                                            "plain.bmp"};
    // Where the plain names are made: only the recorded picture's stays.
    const fs::path links = user_ / "data" / "vorlane" / "wallpaper-names";
    const auto linkCount = [&] {
        std::error_code error;
        const auto entries = fs::directory_iterator(links, error);
        return error ? 0 : std::distance(fs::begin(entries), fs::end(entries));
    };
    int seed = 20;
    for (const auto& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        const Bitmap picture = test::ScreenPicture(60, 44, ++seed);
        const fs::path file = user_ / "pictures" / name;
        test::WriteFile(file, WriteBmp(picture));
        EXPECT_EQ(RunAsUser({tool_, "set", "--centre", file.string()}, {swaySocket}), 0)
            << ReadText(folder_ / "stderr");
        EXPECT_TRUE(shows(picture, true)) << "set";
        // A new login: sway starts without it, and the autostart entry's restore shows it again.
        ASSERT_EQ(RunAsUser({"swaymsg", "output * bg #000000 solid_color"}, {swaySocket}), 0);
        ASSERT_TRUE(shows(picture, false));
        fs::remove_all(links); // made again when missing
        EXPECT_EQ(RunAsUser({tool_, "restore"}, {swaySocket}), 0) << ReadText(folder_ / "stderr");
        EXPECT_TRUE(shows(picture, true)) << "restored";
        EXPECT_FALSE(fs::exists(marker)) << "a command ran";
        EXPECT_EQ(linkCount(), name == "plain.bmp" ? 0 : 1);
        fs::remove(marker);
    }
    EXPECT_TRUE(sway.Running());
}

// sway reads /etc/sway/config.d/ at start: the package's snippet there shows the recorded picture.
TEST_F(WallpaperToolTest, SwayStartedWithThePackagesSnippetShowsTheRecordedWallpaper)
{
    VORLANE_NEED_PROGRAMS({"sway", "swaymsg", "swaybg", "grim", "setpriv"});
    const test::DesktopSession session(false, false);
    ASSERT_EQ(session.Failure(), "");
    ASSERT_NO_FATAL_FAILURE(MakeUser());
    const Bitmap picture = test::ScreenPicture(60, 44, 40);
    const fs::path file = user_ / "pictures" / "login.bmp";
    test::WriteFile(file, WriteBmp(picture));
    EXPECT_EQ(RunAsUser({tool_, "set", "--centre", file.string()}), 3); // recorded; no desktop runs yet
    const fs::path snippet = fs::path(VORLANE_TEST_DATA) / "../../packaging/vorlane-wallpaper.sway";
    test::Sway sway(session, "include " + fs::canonical(snippet).string(),
                    {"PATH=" + (folder_ / "program").string() + ":" + std::getenv("PATH"),
                     "XDG_CONFIG_HOME=" + (user_ / "config").string(), "XDG_DATA_HOME=" + (user_ / "data").string()});
    ASSERT_EQ(sway.Failure(), "");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (test::CentredMismatches(sway.Screenshot(), picture) != 0 && std::chrono::steady_clock::now() < deadline) {}
    EXPECT_EQ(test::CentredMismatches(sway.Screenshot(), picture), 0);
}

// A wlroots compositor reached without sway's socket (sway without a background program of its own
// stands for labwc, river, wayfire): Vorlane's swaybg shows the picture, one per session, replaced by
// the next picture's, and brought back by restore.
TEST_F(WallpaperToolTest, WlrootsCompositorWithoutSwaysSocketGetsOneSwaybgOfOurs)
{
    VORLANE_NEED_PROGRAMS({"sway", "swaybg", "grim", "setpriv"});
    const test::DesktopSession session(false, false);
    ASSERT_EQ(session.Failure(), "");
    ASSERT_NO_FATAL_FAILURE(MakeUser());
    test::Sway sway(session, "swaybg_command -");
    ASSERT_EQ(sway.Failure(), "");
    const std::vector<std::string> client = sway.WaylandClient();
    const auto shows = [&](const Bitmap& picture) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (test::CentredMismatches(sway.Screenshot(), picture) != 0 &&
               std::chrono::steady_clock::now() < deadline) {}
        return test::CentredMismatches(sway.Screenshot(), picture) == 0;
    };
    // Our swaybg processes of this sway: their environment names its socket.
    const std::string marker = "VORLANE_SWAYBG=" + (session.Folder() / "sway").string() + "/";
    const auto ours = [&] {
        std::vector<pid_t> found;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos ||
                ReadText(entry.path() / "comm") != "swaybg\n")
                continue;
            const std::string environment = ReadText(entry.path() / "environ");
            if (environment.find(marker) != std::string::npos)
                found.push_back(std::stoi(name));
        }
        return found;
    };
    int seed = 50;
    for (const char* name : {"one.bmp", "two $(x).bmp"}) {
        SCOPED_TRACE(name);
        const Bitmap picture = test::ScreenPicture(60, 44, ++seed);
        const fs::path file = user_ / "pictures" / name;
        test::WriteFile(file, WriteBmp(picture));
        EXPECT_EQ(RunAsUser({tool_, "set", "--centre", file.string()}, client), 0) << ReadText(folder_ / "stderr");
        EXPECT_TRUE(shows(picture));
        // The one it replaced ends on its signal.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (ours().size() > 1 && std::chrono::steady_clock::now() < deadline) {}
        EXPECT_EQ(ours().size(), 1u);
    }
    // A new login of the compositor: our background is gone until restore.
    for (const pid_t pid : ours()) {
        const int process = int(::syscall(SYS_pidfd_open, pid, 0));
        ASSERT_GE(process, 0);
        ::kill(pid, SIGTERM);
        pollfd ended{process, POLLIN, 0};
        EXPECT_EQ(::poll(&ended, 1, 5000), 1);
        ::close(process);
    }
    EXPECT_EQ(RunAsUser({tool_, "restore"}, client), 0) << ReadText(folder_ / "stderr");
    EXPECT_TRUE(shows(test::ScreenPicture(60, 44, seed)));
}

// weston offers no interface through which a client draws the background: set records the picture and
// says honestly that no desktop showed it, and no swaybg is started there.
TEST_F(WallpaperToolTest, WestonIsToldNothingAndSetSaysSo)
{
    VORLANE_NEED_PROGRAMS({"weston", "setpriv"});
    ASSERT_NO_FATAL_FAILURE(MakeUser());
    const fs::path runtime = user_ / "runtime";
    const pid_t weston = test::StartProgram(
        AsUser({"weston", "--backend=headless-backend.so", "--socket=vorlane-weston", "--idle-time=0"}),
        (folder_ / "weston.log").string(), true);
    ASSERT_GT(weston, 0);
    const bool up = test::WaitForFolder(runtime, [&] { return fs::exists(runtime / "vorlane-weston.lock"); });
    const auto stop = [&] {
        ::kill(-weston, SIGTERM);
        ::waitpid(weston, nullptr, 0);
    };
    if (!up)
        stop();
    ASSERT_TRUE(up) << ReadText(folder_ / "weston.log");
    const fs::path file = user_ / "pictures" / "w.bmp";
    test::WriteFile(file, WriteBmp(test::ScreenPicture(60, 44, 60)));
    const int status = RunAsUser({"env", "-u", "DISPLAY", "-u", "SWAYSOCK", tool_, "set", "--centre", file.string()},
                                 {"WAYLAND_DISPLAY=vorlane-weston"});
    const std::string errors = ReadText(folder_ / "stderr");
    stop();
    EXPECT_EQ(status, 3) << errors;
    EXPECT_NE(errors.find("no desktop of this session showed it"), std::string::npos) << errors;
}

// caja draws MATE's desktop from GSettings, which hold UTF-8 text only. caja, its settings service and
// vorlane-wallpaper run as one ordinary user (caja was seen to crash as root).
TEST_F(WallpaperToolTest, NamesNotUtf8ReachCajaRunAsAnOrdinaryUser)
{
    VORLANE_NEED_PROGRAMS({"caja", "dbus-daemon", "/usr/libexec/dconf-service", "setpriv", "xhost"});
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    ASSERT_NO_FATAL_FAILURE(MakeUser());
    if (::getuid() == 0) {
        ASSERT_EQ(std::system("xhost +si:localuser:nobody >/dev/null"), 0);
    }
    const auto bus = test::StartSessionBus(user_ / "runtime", AsUser({}));
    ASSERT_TRUE(bus->Ready());
    const std::vector<std::string> variables{"DBUS_SESSION_BUS_ADDRESS=" + bus->Line()};
    const auto caja = session->Start(AsUser({"caja", "--no-default-window", "--force-desktop"}, variables));
    ASSERT_TRUE(session->WaitForScreen([&] { return session->DesktopWindowShown() || !caja->Running(); }));
    ASSERT_TRUE(caja->Running()) << ReadText(session->Folder() / "env.log");

    int seed = 30;
    for (const auto& name : test::NamesNotUtf8) {
        SCOPED_TRACE(testing::PrintToString(name));
        const Bitmap picture = test::ScreenPicture(60, 44, ++seed);
        const fs::path file = user_ / "pictures" / name;
        test::WriteFile(file, WriteBmp(picture));
        EXPECT_EQ(RunAsUser({tool_, "set", "--centre", file.string()}, variables), 0) << ReadText(folder_ / "stderr");
        EXPECT_TRUE(
            session->WaitForScreen([&] { return test::CentredMismatches(session->Screenshot(), picture) == 0; }));
        EXPECT_EQ(ReadText(folder_ / "stderr"), ""); // no GLib criticals
        ASSERT_TRUE(caja->Running());
    }
}

// pcmanfm-qt records the mode it started with, not the one it was given ("WallpaperMode=none" when it
// started without a picture): the next login starts it without the picture, and the autostart entry's
// restore must show it again.
TEST_F(WallpaperToolTest, LxqtShowsThePictureAgainAfterANewLogin)
{
    VORLANE_NEED_PROGRAMS({"pcmanfm-qt", "dbus-daemon"});
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    const auto bus = test::StartSessionBus(session->Folder());
    ASSERT_TRUE(bus->Ready());
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus->Line().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    const auto startDesktop = [&] {
        auto desktop = session->Start({"pcmanfm-qt", "--desktop"});
        EXPECT_TRUE(session->WaitForScreen([&] { return session->DesktopWindowShown() || !desktop->Running(); }));
        return desktop;
    };
    const auto shown = [&] {
        return session->WaitForScreen([&] { return test::CentredMismatches(session->Screenshot(), decoded_) == 0; });
    };
    auto desktop = startDesktop();
    const Outcome set = Run("vorlane-wallpaper set --centre " + picture_);
    EXPECT_EQ(set.status, 0) << set.errors;
    EXPECT_TRUE(shown()) << "set";

    desktop.reset(); // the session ends; pcmanfm-qt records its settings
    desktop = startDesktop();
    const Outcome restored = Run(AutostartCommand());
    EXPECT_EQ(restored.status, 0) << restored.errors;
    EXPECT_TRUE(shown()) << "after a new login";
    desktop.reset();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

// Plasma's first login: set before plasmashell ever ran (no layout file yet), the picture is shown once
// its first start made its default desktops, by the login's autostart command started before the shell.
TEST_F(WallpaperToolTest, PlasmaFirstLoginShowsAPictureSetBeforeIt)
{
    VORLANE_NEED_PROGRAMS({"Xvfb", "dbus-daemon", "setpriv", "xhost", "kwin_x11", "plasmashell"});
    std::unique_ptr<test::DesktopSession> session;
    StartSession(session);
    test::UserSession user(*session);
    ASSERT_EQ(user.Failure(), "");
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::vector<std::string> kde{"XDG_CURRENT_DESKTOP=KDE"};
    const Bitmap picture = test::ScreenPicture(64, 48, 21);
    EXPECT_EQ(user.Start({tool_, "set", "--centre", session->SaveBmp("first.bmp", picture)}, kde)->Wait(), 0);
    ASSERT_FALSE(fs::exists(user.ConfigFolder() / "plasma-org.kde.plasma.desktop-appletsrc"));
    auto windowManager = user.Start({"kwin_x11"}, kde);
    std::istringstream autostart(AutostartCommand());
    std::vector<std::string> login{tool_};
    for (std::string word; autostart >> word;)
        if (word != "vorlane-wallpaper")
            login.push_back(word);
    auto restore = user.Start(login, kde);
    auto shell = user.Start({"plasmashell"}, kde);
    EXPECT_EQ(restore->Wait(), 0) << ReadText(session->Folder() / "vorlane-wallpaper.log");
    // The root window shows the picture too (restored there): the shell's own desktop, once made, has it.
    const auto layout = user.ConfigFolder() / "plasma-org.kde.plasma.desktop-appletsrc";
    ASSERT_TRUE(test::WaitForFolder(
        user.ConfigFolder(), [&] { return ReadText(layout).find("plugin=org.kde.plasma.folder") != std::string::npos; },
        120));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", user.BusAddress().c_str(), 1);
    const BusPtr bus = OpenSessionBus();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_TRUE(bus);
    GVariant* reply =
        CallBusMethod(bus.get(), "org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell", "evaluateScript",
                      g_variant_new("(s)", "var d = desktops()[0];\n"
                                           "d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", "
                                           "\"General\"];\nprint(d.readConfig(\"Image\"));\n"));
    ASSERT_TRUE(reply);
    const gchar* image = "";
    g_variant_get(reply, "(&s)", &image);
    EXPECT_EQ(std::string(image), "file://" + (session->Folder() / "first.bmp").string());
    g_variant_unref(reply);
    EXPECT_TRUE(session->WaitForScreen(
        [&] { return session->DesktopWindowShown() && test::CentredMismatches(session->Screenshot(), picture) == 0; },
        60));
    EXPECT_TRUE(shell->Running());
}

} // namespace
} // namespace vorlane
