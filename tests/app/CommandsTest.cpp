// The commands behind a front end of no toolkit: what they ask of it is all a window must give.
#include <sys/wait.h>
#include <unistd.h>

#include "app/MainWindowCommands.h"
#include "app/MainWindowFrontEnd.h"
#include "gallery/ImageList.h"
#include "tests/app/AppFixture.h"
#include "tests/gallery/GalleryFixture.h"

namespace vorlane::test {
namespace {

class RecordingFrontEnd final : public MainWindowFrontEnd {
public:
    void SetCaption(const std::string& text) override { caption = text; }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    LockWait AskWhileBusy(const std::string& text) override
    {
        asked.push_back(text);
        return answers.empty() ? LockWait::GiveUp : answers.at(asked.size() - 1);
    }
    void CheckWallpaperStyle(WallpaperPlacement placement) override { checked = placement; }
    WindowRect ClientArea() const override { return client; }
    void PlaceClientArea(const WindowRect& area) override { client = area; }
    std::vector<WindowRect> MonitorAreas() const override { return monitors; }
    std::optional<int> ScreenBitsPerPixel() const override { return 24; }
    void WatchGalleryFile(const std::string& file, const std::string& folder) override { watched = {file, folder}; }

    std::string caption;
    std::vector<std::string> notices;
    std::vector<std::string> errors;
    std::vector<std::string> asked;
    std::vector<LockWait> answers; // the answers to the asks, in turn
    std::optional<WallpaperPlacement> checked;
    WindowRect client;
    std::vector<WindowRect> monitors;
    std::pair<std::string, std::string> watched;
};

// Another process of the user, holding the lock of `file`'s folder until Release().
class LockHolder {
public:
    explicit LockHolder(const std::string& file)
    {
        if (::pipe(ready_) != 0 || ::pipe(finish_) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(finish_[1]);
            const FolderLock lock(file);
            char byte = 0;
            ::_exit(::write(ready_[1], &byte, 1) == 1 && ::read(finish_[0], &byte, 1) == 0 ? 0 : 1);
        }
        char byte = 0;
        if (pid_ < 0 || ::read(ready_[0], &byte, 1) != 1)
            throw std::runtime_error("no lock holder");
    }
    ~LockHolder()
    {
        Release();
        for (const int fd : {ready_[0], ready_[1], finish_[0]})
            ::close(fd);
    }
    void Release()
    {
        if (pid_ <= 0)
            return;
        ::close(finish_[1]);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    int ready_[2] = {-1, -1};
    int finish_[2] = {-1, -1};
    pid_t pid_ = -1;
};

class CommandsTest : public AppTest {
protected:
    // A window of two monitors side by side, started on a gallery stored at `place`.
    void StartAt(const WindowRect& place)
    {
        TVorlane stored;
        stored.SetManagerName(Program() + "画集");
        stored.SetFormLeft(place.Left);
        stored.SetFormTop(place.Top);
        stored.SetFormWidth(place.Width);
        stored.SetFormHeight(place.Height);
        stored.SaveGallery();
        frontEnd_.monitors = {{0, 0, 1024, 768}, {1024, 0, 1280, 1024}};
        commands_ = std::make_unique<MainWindowCommands>(window_, frontEnd_, view_, images_, dialogs_, desktop_);
        commands_->Create();
        commands_->FirstShow();
    }

    TComponent window_;
    TImageList images_{nullptr, 32, 32};
    MemoryView view_;
    RecordingFrontEnd frontEnd_;
    std::unique_ptr<MainWindowCommands> commands_;
};

TEST_F(CommandsTest, StoredPlaceOnSomeMonitorIsKeptAndOffAllOfThemGoesOntoTheNearest)
{
    StartAt({1500, 900, 500, 300}); // its top is on the taller monitor only
    EXPECT_EQ(frontEnd_.client, (WindowRect{1500, 900, 500, 300}));
    EXPECT_EQ(frontEnd_.caption, "Quorvel Vorlane  Ver1.6 画集");
    EXPECT_EQ(frontEnd_.watched, std::make_pair(Program() + "画集.gsk", Program().substr(0, Program().size() - 1)));

    commands_.reset();
    StartAt({3000, -400, 500, 300}); // beyond the right one, above both: into its top right corner
    EXPECT_EQ(frontEnd_.client, (WindowRect{1024 + 1280 - 500, 0, 500, 300}));
    EXPECT_TRUE(frontEnd_.errors.empty());
}

// Another program of the user holding the gallery's lock holds the window up for a moment only: the
// window asks, then goes on, waits again or gives up as the user answers.
TEST_F(CommandsTest, LockHeldByAnotherProgramIsAskedAboutNotWaitedFor)
{
    const std::string file = Program() + "画集.gsk";
    TVorlane stored;
    stored.SetManagerName(Program() + "画集");
    stored.SaveGallery();
    LockHolder holder(file);
    frontEnd_.answers = {LockWait::GoOn, LockWait::Again, LockWait::GiveUp};
    commands_ = std::make_unique<MainWindowCommands>(window_, frontEnd_, view_, images_, dialogs_, desktop_);
    commands_->Create();
    commands_->FirstShow(); // the load goes on without the lock
    ASSERT_EQ(frontEnd_.asked.size(), 1u);
    EXPECT_EQ(frontEnd_.asked[0], "画集 " + file + " は、他のプログラムが保存しています。\n\n"
                                  "再試行: もう少し待ちます。\n"
                                  "無視: 待たずに続けます (他のプログラムと同時に保存した画集は、両方とも残します)。\n"
                                  "中止: この操作をやめます。");
    EXPECT_TRUE(frontEnd_.errors.empty());

    EXPECT_FALSE(commands_->Close()); // waits a moment more, then gives up
    EXPECT_EQ(frontEnd_.asked.size(), 3u);
    ASSERT_EQ(frontEnd_.errors.size(), 1u);
    EXPECT_EQ(frontEnd_.errors[0], "ファイル " + file + " は他のプログラムが使用中です.\n\n保存せずに閉じるには、もう一度閉じてください。");

    holder.Release();
    frontEnd_.client = {10, 20, 300, 200};
    EXPECT_TRUE(commands_->Close());
    EXPECT_EQ(frontEnd_.asked.size(), 3u);
    EXPECT_EQ(frontEnd_.errors.size(), 1u);
    TVorlane saved;
    saved.SetManagerName(Program() + "画集");
    saved.LoadGallery();
    EXPECT_EQ(saved.FormLeft(), 10);
}

} // namespace
} // namespace vorlane::test
