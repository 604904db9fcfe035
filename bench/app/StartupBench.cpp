// Start-up to the first shown window with a 10,000-picture gallery (goal: 1.3 times an empty gallery's),
// and RefreshView of 10,000 entries into the main window's list (goal 100 ms), each against a floor
// measured in the same run: start-up with an empty gallery, and the same refresh into a plain in-memory
// view. Pairs of work and floor alternate (bench/PairedRuns.h).
// Start-up is measured twice: inside this process (the window's creation, the gallery's load and the
// first paint, in processor time: what the gallery adds, with nothing of the program's own start), and
// as the user sees it (the program started from nothing on an X display until its window is mapped, in
// wall time; when Xvfb is installed).
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QMainWindow>

#include <benchmark/benchmark.h>

#include "bench/PairedRuns.h"

#include "app/Dialogs.h"
#include "app/qt/ErrorReport.h"
#include "app/qt/ListView.h"
#include "app/qt/MaonFormUnit.h"
#include "app/qt/Pictures.h"
#include "gallery/ImageList.h"
#include "gallery/View.h"
#include "gallery/Vorlane1.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "tests/wallpaper/ServerProcess.h"

// After Qt's headers: Xlib defines names (Status, Bool) that Qt's headers use.
#include <X11/Xlib.h>

namespace fs = std::filesystem;
using namespace vorlane;

namespace {

constexpr int Pictures = 10000;

struct NoDialogs final : DialogRunner {
    bool Execute(TOpenDialog&) override { return false; }
    std::optional<std::string> AskGalleryName() override { return std::nullopt; }
};

class MemoryView final : public GalleryView {
public:
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void Clear() override { items.clear(); }
    void SetLargeImages(TImageList*) override {}
    void AddItem(const std::string& caption, int imageIndex) override { items.emplace_back(caption, imageIndex); }
    std::optional<int> SelectedIndex() const override { return std::nullopt; }
    std::optional<int> DropTargetIndex() const override { return std::nullopt; }
    std::vector<std::pair<std::string, int>> items;
};

fs::path Root()
{
    static const fs::path root = [] {
        const fs::path folder = fs::temp_directory_path() / ("vorlane-bench-app-" + std::to_string(::getpid()));
        fs::create_directories(folder / "config");
        ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        path::SetProgramFolderForTesting(folder.string() + "/");
        return folder;
    }();
    return root;
}

// A gallery of `count` pictures (missing files, so each has the placeholder as its thumbnail).
std::string MakeGallery(int count)
{
    const std::string name = (Root() / ("g" + std::to_string(count))).string();
    if (!fs::exists(name + ".gsk")) {
        TImageList defaults(nullptr, 32, 32);
        AddPicture(defaults, PlaceholderPicture);
        TVorlane gallery;
        gallery.SetDefaultImages(defaults);
        gallery.SetManagerName(name);
        for (int i = 0; i < count; ++i)
            gallery.AddImage((Root() / "pictures" / ("picture" + std::to_string(i) + ".jpg")).string());
        gallery.SaveGallery();
    }
    return name;
}

// From the window's creation to its first frame: creation (FormCreate), showing (FormShow with the
// gallery's load) and the first layout and paint.
void StartUp(const std::string& gallery)
{
    static NoDialogs dialogs;
    TIniFile("Vorlane.ini").WriteString("Initial", "Manager", gallery);
    auto* form = new TMainForm(dialogs);
    form->show();
    QCoreApplication::processEvents();
    delete form;
}

void BM_StartUp10000Pictures(benchmark::State& state)
{
    const std::string empty = MakeGallery(0);
    const std::string full = MakeGallery(Pictures);
    bench::RunPairs(
        state, [&] { StartUp(full); }, [&] { StartUp(empty); }, bench::Clock::Process);
}

// A settings folder whose "Vorlane.ini" names `gallery`.
std::string SettingsFolder(const std::string& name, const std::string& gallery)
{
    const fs::path folder = Root() / name;
    if (!fs::exists(folder / "Vorlane.ini")) {
        fs::create_directories(folder);
        TIniFile((folder / "Vorlane.ini").string()).WriteString("Initial", "Manager", gallery);
    }
    return folder.string();
}

// From starting the program with the settings in `settings` to the map of its window on `display`; the
// program is then killed (its close is not part of its start).
void StartProgram(const std::string& settings, Display* display)
{
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("DISPLAY", DisplayString(display), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
        ::execl(VORLANE_PROGRAM, VORLANE_PROGRAM, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (XEvent event; child > 0;) {
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.event == DefaultRootWindow(display))
            break;
    }
    XSelectInput(display, DefaultRootWindow(display), NoEventMask);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

void BM_ProgramStartUp10000Pictures(benchmark::State& state)
{
    static test::Xvfb xvfb("1280x1024x24");
    Display* display = xvfb.Running() ? XOpenDisplay(xvfb.Display().c_str()) : nullptr;
    if (!display) {
        state.SkipWithError("needs Xvfb");
        return;
    }
    const std::string empty = SettingsFolder("settings-empty", MakeGallery(0));
    const std::string full = SettingsFolder("settings-full", MakeGallery(Pictures));
    bench::RunPairs(
        state, [&] { StartProgram(full, display); }, [&] { StartProgram(empty, display); }, bench::Clock::Wall);
    XCloseDisplay(display);
}

TVorlane& LoadedGallery()
{
    static TVorlane* gallery = [] {
        static TImageList defaults(nullptr, 32, 32);
        AddPicture(defaults, PlaceholderPicture);
        auto* g = new TVorlane;
        g->SetDefaultImages(defaults);
        g->SetManagerName(MakeGallery(Pictures));
        g->LoadGallery();
        return g;
    }();
    return *gallery;
}

// Goal: 100 ms. Floor: the same refresh into a plain in-memory view.
void BM_RefreshView10000(benchmark::State& state)
{
    TVorlane& gallery = LoadedGallery();
    MemoryView memory;
    QMainWindow window;
    auto* list = new TListView(&window);
    window.setCentralWidget(list);
    window.resize(600, 400);
    window.show();
    bench::RunPairs(
        state,
        [&] {
            gallery.SetView(list);
            gallery.RefreshView();
            QCoreApplication::processEvents(); // the list's layout and the first paint of the new items
        },
        [&] {
            gallery.SetView(&memory);
            gallery.RefreshView();
        },
        bench::Clock::Process);
    gallery.SetView(nullptr);
}

} // namespace

BENCHMARK(BM_StartUp10000Pictures)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_ProgramStartUp10000Pictures)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(31);
BENCHMARK(BM_RefreshView10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(31);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    SetErrorPresenter([](const std::string& title, const std::string& text) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(Root());
    return 0;
}
