// vorlane-wallpaper's rotation run as a user runs it: the pictures of a gallery in turn on a virtual
// display's root window, each announced to a mascot on the fixed port in a network namespace of the
// test's own, by hand and on the timer, across a stop of the process that stands for a suspend.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "image/BmpFile.h"
#include "platform/CodePage.h"
#include "platform/Profile.h"
#include "tests/TestFiles.h"
#include "tests/sstp/SstpTestServer.h"
#include "tests/wallpaper/DesktopSession.h"
#include "tests/wallpaper/ServerProcess.h"
#include "tools/vorlane-wallpaper/Rotation.h"
#include "tools/vorlane-wallpaper/RotationPositions.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

using test::ReadText;

class WallpaperRotationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The mascot takes 127.0.0.1:9801 in a network namespace of its own. The X server starts in it
        // too, so the programs reach it by its abstract socket: another test's X server, in another
        // namespace, may take the same display number and remove the socket file.
        if (!test::EnterOwnNetwork())
            GTEST_SKIP() << "no network namespace of our own here (needs CAP_SYS_ADMIN)";
        session_ = std::make_unique<test::DesktopSession>(true, false); // its folders become ours (XDG_*)
        ASSERT_EQ(session_->Failure(), "");
        mascot_ = std::make_unique<test::SstpTestServer>(
            std::vector<test::PeerBehaviour>{{test::PeerBehaviour::ReplyAndClose, "SSTP/1.4 200 OK\r\n\r\n"}}, true,
            9801);
        // A copy of its own, so that "Temp.bmp" and the positions land in the test's folder.
        fs::create_directories(folder_ / "program");
        fs::copy_file(VORLANE_WALLPAPER_TOOL, tool_);
        // Three pictures under names a shell or a line-based file would misread, and one entry whose
        // file is gone, in a gallery in a folder with such a name too.
        const fs::path pictures = folder_ / "it's $(pictures)";
        fs::create_directories(pictures);
        const char* names[] = {"one.bmp", "two `x`.bmp", "三つ目 100%.bmp"};
        std::vector<std::string> entries;
        for (int i = 0; i < 3; ++i) {
            pictures_.push_back(test::ScreenPicture(60, 44, 40 + i));
            paths_.push_back((pictures / names[i]).string());
            test::WriteFile(paths_.back(), WriteBmp(pictures_.back()));
            entries.push_back(paths_.back());
            if (i == 0)
                entries.push_back((pictures / "gone\nbmp.bmp").string());
        }
        test::WriteFile(entries[1], WriteBmp(pictures_[0])); // gone once the gallery holds it
        gallery_ = (pictures / "旅行 $HOME.gsk").string();
        std::vector<std::string> add{VORLANE_GSK, "add", gallery_};
        add.insert(add.end(), entries.begin(), entries.end());
        ASSERT_EQ(Run(add), 0) << errors_;
        fs::remove(entries[1]);
    }

    // Runs argv to its end: the exit status (-1 when it did not exit); what it wrote to stderr in errors_.
    int Run(const std::vector<std::string>& argv)
    {
        const pid_t pid = Start(argv);
        int status = -1;
        const bool exited = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
        errors_ = ReadText(folder_ / "stderr");
        return exited ? WEXITSTATUS(status) : -1;
    }
    // Starts argv; what it writes to stderr goes to folder_/`log`.
    pid_t Start(const std::vector<std::string>& argv, const std::string& log = "stderr")
    {
        fs::remove(folder_ / log);
        return test::StartProgram(argv, (folder_ / log).string(), false);
    }

    // Which of the pictures the screen shows centred: its index, -1 for none.
    int Shown() const
    {
        const test::Screen screen = session_->Screenshot();
        for (int i = 0; i < 3; ++i)
            if (test::CentredMismatches(screen, pictures_[i]) == 0)
                return i;
        return -1;
    }

    // Whether the announcement number `n` (from 1) reached the mascot naming picture `i`.
    bool Announced(size_t n, int i)
    {
        if (!mascot_->WaitForConnections(n))
            return false;
        const std::string name = fs::path(paths_[i]).filename().string();
        const std::string script = "Script: " + *codepage::Utf8ToShiftJis("壁紙を" + name + "に設定しました") + "\r\n";
        return mascot_->Requests().at(n - 1).find(script) != std::string::npos;
    }

    std::unique_ptr<test::DesktopSession> session_;
    const test::ScratchFolder scratch_{"vorlane-rotation"};
    const fs::path folder_ = scratch_.Path();
    const std::string tool_ = (folder_ / "program" / "vorlane-wallpaper").string();
    std::unique_ptr<test::SstpTestServer> mascot_;
    std::vector<Bitmap> pictures_;
    std::vector<std::string> paths_;
    std::string gallery_;
    std::string errors_;
};

TEST_F(WallpaperRotationTest, NextPreviousAndRandomGoThroughTheCurrentGalleryAndAnnounceEachPicture)
{
    // The current gallery is the window's: "Manager", its name without the extension.
    ASSERT_TRUE(
        WritePrivateProfileString("Initial", "Manager", gallery_.substr(0, gallery_.size() - 4), "Vorlane.ini"));
    const std::vector<uint8_t> galleryBytes = test::ReadBytes(gallery_);

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Run({tool_, "next"}), 0) << errors_;
        EXPECT_EQ(Shown(), i);
        EXPECT_TRUE(Announced(i + 1, i));
        // The gone entry after the first picture is passed over with one line.
        EXPECT_EQ(std::count(errors_.begin(), errors_.end(), '\n'), i == 1 ? 1 : 0) << errors_;
        EXPECT_NE(errors_.find(i == 1 ? "gone\\x0Abmp.bmp は開けません" : ""), std::string::npos) << errors_;
    }
    EXPECT_EQ(Run({tool_, "previous", gallery_}), 0) << errors_;
    EXPECT_EQ(Shown(), 1);
    EXPECT_TRUE(Announced(4, 1));
    EXPECT_EQ(Run({tool_, "next", gallery_}), 0) << errors_;
    EXPECT_EQ(Run({tool_, "next", gallery_}), 0) << errors_; // round to the first again
    EXPECT_EQ(Shown(), 0);
    for (int n = 0, before = 0; n < 8; ++n) {
        EXPECT_EQ(Run({tool_, "random"}), 0) << errors_;
        const int shown = Shown();
        EXPECT_NE(shown, before) << "repeated at draw " << n;
        EXPECT_NE(shown, -1);
        before = shown;
    }
    EXPECT_TRUE(mascot_->WaitForConnections(14));
    EXPECT_EQ(test::ReadBytes(gallery_), galleryBytes); // the positions are kept elsewhere

    // A gallery of nothing readable fails and changes nothing: not the screen, the record, the mascot.
    const std::string dead = (folder_ / "dead.gsk").string();
    ASSERT_EQ(Run({VORLANE_GSK, "add", dead, paths_[2]}), 0) << errors_;
    fs::rename(paths_[2], paths_[2] + ".away");
    const int before = Shown();
    const std::string record = ReadText(fs::path(getenv("XDG_CONFIG_HOME")) / "Vorlane.registry");
    EXPECT_EQ(Run({tool_, "next", dead}), 1);
    EXPECT_NE(errors_.find("has no picture that can be shown"), std::string::npos) << errors_;
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(ReadText(fs::path(getenv("XDG_CONFIG_HOME")) / "Vorlane.registry"), record);
    EXPECT_EQ(mascot_->Accepted(), 14u);
}

TEST_F(WallpaperRotationTest, TimerChangesEachPeriodOnceAfterASleepAndEndsWhenStopped)
{
    // Every 300 ms: at least two changes come, each announced.
    const pid_t first = Start({tool_, "rotate", "--every", "300ms", gallery_});
    ASSERT_GT(first, 0);
    EXPECT_TRUE(mascot_->WaitForConnections(2));

    // A second rotation replaces the first, which ends normally.
    const pid_t second = Start({tool_, "rotate", "--every=3s", gallery_}, "rotation");
    ASSERT_GT(second, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const size_t changes = mascot_->Accepted();
    ASSERT_TRUE(mascot_->WaitForConnections(changes + 1)); // its first change, three seconds on

    // Stopped across more than two periods, as a suspended machine: one change comes at wake-up, and
    // the next one only a period later, not the missed ones at once.
    ::kill(second, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(7000)); // the "suspend": the time must pass
    const size_t asleep = mascot_->Accepted();
    ::kill(second, SIGCONT);
    ASSERT_TRUE(mascot_->WaitForConnections(asleep + 1)) << ReadText(folder_ / "rotation");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000)); // well inside the next period
    EXPECT_EQ(mascot_->Accepted(), asleep + 1);

    // A wallpaper the user sets starts the period again: set three times, half a period apart, until
    // past the time the next change was due, and the rotation never changes it meanwhile.
    for (int n = 0; n < 3; ++n) {
        if (n > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(Run({tool_, "set", paths_[2]}), 0) << errors_;
    }
    EXPECT_TRUE(mascot_->WaitForConnections(asleep + 4));
    EXPECT_EQ(mascot_->Accepted(), asleep + 4);
    EXPECT_EQ(Shown(), 2);

    // --stop returns once the rotation has ended.
    EXPECT_EQ(Run({tool_, "rotate", "--stop"}), 0) << errors_;
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Run({tool_, "rotate", "--stop"}), 0);
    EXPECT_NE(errors_.find("no rotation is running"), std::string::npos) << errors_;

    // A rotation ends with its session: logging out empties the runtime folder, and the next session's
    // rotation would not find this one's lock.
    const pid_t third = Start({tool_, "rotate", "--every", "1h", gallery_});
    const fs::path lock = fs::path(getenv("XDG_RUNTIME_DIR")) / "vorlane" / "rotation.lock";
    ASSERT_TRUE(test::WaitForFolder(lock.parent_path(), [&] { return fs::exists(lock); }));
    EXPECT_EQ(Run({tool_, "rotate", "--stop", "--every", "1h"}), 2); // and it is still running
    fs::remove_all(lock.parent_path());
    ASSERT_EQ(::waitpid(third, &status, 0), third);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(WallpaperRotationArguments, PeriodsTakeTheirUnitsAndRefuseWhatTheyCannotHold)
{
    using namespace std::chrono_literals;
    using wallpapertool::ParsePeriod;
    EXPECT_EQ(ParsePeriod("30m"), 30min / 1ms);
    EXPECT_EQ(ParsePeriod("45s"), 45s / 1ms);
    EXPECT_EQ(ParsePeriod("2h"), 2h / 1ms);
    EXPECT_EQ(ParsePeriod("300ms"), 300);
    EXPECT_EQ(ParsePeriod("10"), 10s / 1ms);
    for (const char* wrong : {"", "m", "5x", "1.5h", "-5s", "99ms", "9000h", "99999999999999999999h", "5 m"})
        EXPECT_THROW(ParsePeriod(wrong), wallpapertool::UsageError) << wrong;
    // What --at-login records is read back as the same period.
    for (const char* period : {"30m", "90s", "2h", "1500ms", "100ms", "8784h"})
        EXPECT_EQ(wallpapertool::PeriodText(ParsePeriod(period)), period);

    using wallpapertool::ParseRotationArguments;
    EXPECT_FALSE(ParseRotationArguments({"set", "next.bmp"})); // another command's
    EXPECT_FALSE(ParseRotationArguments({"next", "--help"}));
    const auto rotate = ParseRotationArguments({"rotate", "--random", "--every", "2h", "--", "-a.gsk"});
    ASSERT_TRUE(rotate);
    EXPECT_EQ(rotate->periodMs, 2h / 1ms);
    EXPECT_EQ(rotate->step, wallpapertool::Step::Random);
    EXPECT_EQ(fs::path(rotate->gallery).filename(), "-a.gsk");
    EXPECT_FALSE(rotate->atLogin);
    EXPECT_TRUE(ParseRotationArguments({"rotate", "--stop", "--at-login"})->atLogin);
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"rotate"},
                                                  {"rotate", "--every"},
                                                  {"rotate", "--stop", "a.gsk"},
                                                  {"next", "--at-login"},
                                                  {"next", "--fill"},
                                                  {"previous", "a.jpg"},
                                                  {"random", "a.gsk", "b.gsk"}})
        EXPECT_THROW(ParseRotationArguments(wrong), wallpapertool::UsageError) << testing::PrintToString(wrong);
}

// The positions file takes any name back as it was: blanks, newlines, "%", bytes that are not UTF-8.
TEST(WallpaperRotationPositions, AnyNameComesBackAndWhatIsNotOursIsNone)
{
    const test::ScratchFolder scratch("vorlane-positions");
    const std::string file = (scratch.Path() / "positions").string();
    const std::vector<wallpapertool::RememberedPosition> positions{{"/g/旅行 1.gsk", 2, "/p/a\nb 100% \x82\xA0.jpg"},
                                                                   {"/g/\r\t%41.gsk", 0, ""}};
    wallpapertool::WritePositions(file, positions);
    const auto read = wallpapertool::ReadPositions(file);
    ASSERT_EQ(read.size(), positions.size());
    for (size_t i = 0; i < read.size(); ++i)
        EXPECT_TRUE(read[i].gallery == positions[i].gallery && read[i].index == positions[i].index &&
                    read[i].picture == positions[i].picture)
            << i;
    // Reordered: found again by its picture.
    EXPECT_EQ(wallpapertool::CurrentIndex(read[0], {"x", positions[0].picture, "y"}), 1);
    test::WriteFile(file, std::string_view("[Initial]\nManager=a\n"));
    EXPECT_TRUE(wallpapertool::ReadPositions(file).empty());
}

} // namespace
} // namespace vorlane
