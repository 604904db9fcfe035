// vorlane-wallpaper run as a user runs it: set on one X server, shown again on the next one by the
// autostart entry's command, and the mascot told only of a wallpaper a desktop showed.
#include <gtest/gtest.h>

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
    std::vector<std::string> AsUser(const std::vector<std::string>& argv, const std::vector<std::string>& variables = {}) const
    {
        std::vector<std::string> command{"env", "HOME=" + (user_ / "home").string(),
                                         "XDG_CONFIG_HOME=" + (user_ / "config").string(),
                                         "XDG_DATA_HOME=" + (user_ / "data").string(),
                                         "XDG_RUNTIME_DIR=" + (user_ / "runtime").string()};
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
    const test::Screen expected = test::PlacedReference((folder_ / "program" / "Temp.bmp").string(),
                                                        WallpaperPlacement::Fill, test::DesktopSession::Width,
                                                        test::DesktopSession::Height);
    const PixelRect screen{0, 0, test::DesktopSession::Width, test::DesktopSession::Height};
    EXPECT_LE(test::Difference(session->Screenshot(), expected, screen).mean, 2.5);
    EXPECT_EQ(Run("vorlane-wallpaper show >'" + (folder_ / "shown").string() + "'").status, 0);
    EXPECT_NE(ReadText(folder_ / "shown").find("\nplacement: fill\n"), std::string::npos) << ReadText(folder_ / "shown");

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
    while ((wrong = centredOnEach(sway.Screenshot())) != 0 && std::chrono::steady_clock::now() < deadline) {
    }
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
               std::chrono::steady_clock::now() < deadline) {
        }
        return (test::CentredMismatches(sway.Screenshot(), picture) == 0) == shown;
    };

    const std::vector<std::string> names = {"$(cd;touch pwned).bmp", "`cd;touch pwned`.bmp", "it's.bmp", "a&b.bmp",
                                            "a;b.bmp", "$HOME.bmp", "*.bmp", "new\nline.bmp", "plain.bmp"};
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
        EXPECT_EQ(RunAsUser({tool_, "set", "--centre", file.string()}, {swaySocket}), 0) << ReadText(folder_ / "stderr");
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
        EXPECT_TRUE(session->WaitForScreen([&] { return test::CentredMismatches(session->Screenshot(), picture) == 0; }));
        EXPECT_EQ(ReadText(folder_ / "stderr"), ""); // no GLib criticals
        ASSERT_TRUE(caja->Running());
    }
}

} // namespace
} // namespace vorlane
