// The commands behind a front end of no toolkit: what they ask of it is all a window must give.
#include <cstdint>

#include "app/MainWindowCommands.h"
#include "app/MainWindowFrontEnd.h"
#include "gallery/ImageList.h"
#include "tests/app/AppFixture.h"
#include "tests/gallery/GalleryFixture.h"

namespace vorlane::test {
namespace {

// Progress that records each step and asks to stop once `stopAt` things are done.
class RecordingProgress final : public WorkProgress {
public:
    RecordingProgress(std::vector<size_t>& steps, size_t stopAt) : steps_(steps), stopAt_(stopAt) {}
    bool Step(size_t done) override
    {
        steps_.push_back(done);
        return done < stopAt_;
    }

private:
    std::vector<size_t>& steps_;
    size_t stopAt_;
};

class RecordingFrontEnd final : public MainWindowFrontEnd {
public:
    void SetCaption(const std::string& text) override { caption = text; }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    void CheckWallpaperStyle(bool tile) override { tiled = tile; }
    WindowRect WindowArea() const override { return window; }
    void PlaceWindow(const WindowRect& area) override { window = area; }
    std::vector<WindowRect> MonitorAreas() const override { return monitors; }
    std::optional<int> ScreenBitsPerPixel() const override { return 24; }
    void WatchGalleryFile(const std::string& file, const std::string& folder) override { watched = {file, folder}; }
    std::unique_ptr<WorkProgress> BeginProgress(const std::string& text, size_t total) override
    {
        progress.push_back(text + " " + std::to_string(total));
        return std::make_unique<RecordingProgress>(steps, stopAt);
    }

    std::string caption;
    std::vector<std::string> notices;
    std::vector<std::string> errors;
    std::optional<bool> tiled;
    WindowRect window;
    std::vector<WindowRect> monitors;
    std::pair<std::string, std::string> watched;
    std::vector<std::string> progress; // text and total of each progress begun
    std::vector<size_t> steps;
    size_t stopAt = SIZE_MAX;
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
    EXPECT_EQ(frontEnd_.window, (WindowRect{1500, 900, 500, 300}));
    EXPECT_EQ(frontEnd_.caption, "Quorvel Vorlane  Ver1.6 画集");
    EXPECT_EQ(frontEnd_.watched, std::make_pair(Program() + "画集.gsk", Program().substr(0, Program().size() - 1)));

    commands_.reset();
    StartAt({3000, -400, 500, 300}); // beyond the right one, above both: into its top right corner
    EXPECT_EQ(frontEnd_.window, (WindowRect{1024 + 1280 - 500, 0, 500, 300}));
    EXPECT_TRUE(frontEnd_.errors.empty());
}

// An add the user stops keeps the pictures added so far and shows them, as one that fails; InitialDir
// changes only when the add is complete.
TEST_F(CommandsTest, AddStoppedByTheUserKeepsWhatWasAdded)
{
    StartAt({0, 0, 600, 400});
    std::vector<std::string> pictures; // missing files: each is added with the placeholder
    for (int i = 0; i < 40; ++i)
        pictures.push_back(Program() + "pictures/" + std::to_string(i) + ".jpg");

    frontEnd_.stopAt = 4;
    dialogs_.files.push_back(pictures);
    commands_->OpenImageButtonClick();
    EXPECT_EQ(commands_->Gallery().FileNames().Items(), std::vector<std::string>(pictures.begin(), pictures.begin() + 4));
    EXPECT_EQ(view_.items.size(), 4u);
    EXPECT_EQ(commands_->Gallery().InitialDir(), "");
    EXPECT_EQ(frontEnd_.progress, std::vector<std::string>{"画像を読み込んでいます 40"});
    EXPECT_EQ(frontEnd_.steps.back(), 4u);

    frontEnd_.stopAt = SIZE_MAX;
    frontEnd_.steps.clear();
    dialogs_.files.push_back(pictures);
    commands_->OpenImageButtonClick();
    EXPECT_EQ(commands_->Gallery().FileNames().Count(), 44);
    EXPECT_EQ(frontEnd_.steps.back(), 40u);
    EXPECT_EQ(commands_->Gallery().InitialDir(), Program() + "pictures");
    EXPECT_TRUE(frontEnd_.errors.empty());
}

} // namespace
} // namespace vorlane::test
