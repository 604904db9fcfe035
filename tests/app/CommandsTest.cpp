// The commands behind a front end of no toolkit: what they ask of it is all a window must give.
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
    void CheckWallpaperStyle(bool tile) override { tiled = tile; }
    WindowRect WindowArea() const override { return window; }
    void PlaceWindow(const WindowRect& area) override { window = area; }
    std::vector<WindowRect> MonitorAreas() const override { return monitors; }
    std::optional<int> ScreenBitsPerPixel() const override { return 24; }
    void WatchGalleryFile(const std::string& file, const std::string& folder) override { watched = {file, folder}; }

    std::string caption;
    std::vector<std::string> notices;
    std::vector<std::string> errors;
    std::optional<bool> tiled;
    WindowRect window;
    std::vector<WindowRect> monitors;
    std::pair<std::string, std::string> watched;
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

} // namespace
} // namespace vorlane::test
