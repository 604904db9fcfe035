// vorlane-saver showing 24-megapixel JPEG pictures (6000x4000) filled onto a 1920x1080 Xvfb display,
// the saver a process of its own on the root window, each figure against a floor of the same run:
//
// - PeakMemory: the saver's peak resident memory once it has shown two of the large pictures and is
//   decoding the third, over the same with two 16x16 pictures (what the program costs anyway), as a
//   share of two screen-sized pictures (4 bytes a pixel). Goal: <= 1 (the shown picture and the next,
//   plus a few rows); the pictures themselves are pixmaps on the X server.
// - TurnToPixels: how late each picture appears after its turn (the previous picture's time on screen
//   being up: the time between two changes of the screen less the delay), against decoding the picture
//   in this process. A saver that decoded at the turn would be about 1; one that draws the next picture
//   while the previous shows, near 0.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/PairedRuns.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "tests/TestFiles.h"
#include "tests/image/JpegEncode.h"
#include "tests/wallpaper/ServerProcess.h"
#include "wallpaper/PictureRows.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int ScreenWidth = 1920, ScreenHeight = 1080;
constexpr double ScreenPictureMiB = double(ScreenWidth) * ScreenHeight * 4 / (1 << 20);

struct Setup {
    test::ScratchFolder folder{"vorlane-saver-bench"};
    test::Xvfb xvfb{std::to_string(ScreenWidth) + "x" + std::to_string(ScreenHeight) + "x24"};
    std::string bigGallery, smallGallery, bigPicture;

    Setup()
    {
        ::setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
        if (xvfb.Running())
            ::setenv("DISPLAY", xvfb.Display().c_str(), 1);
        const auto key = registry::CreateKey(registry::Root, "Control Panel\\Desktop");
        if (key) { // fill
            registry::SetValue(*key, "TileWallPaper", REG_SZ, registry::StringData("0"));
            registry::SetValue(*key, "WallpaperStyle", REG_SZ, registry::StringData("10"));
        }
        bigGallery = Gallery("big", 6000, 4000, 3);
        smallGallery = Gallery("small", 16, 16, 3);
        bigPicture = (folder.Path() / "big0.jpg").string();
    }

    std::string Gallery(const std::string& name, int width, int height, int count) const
    {
        std::vector<std::string> command{VORLANE_GSK, "add", (folder.Path() / (name + ".gsk")).string()};
        for (int i = 0; i < count; ++i) {
            const fs::path file = folder.Path() / (name + std::to_string(i) + ".jpg");
            test::WriteFile(file, test::EncodeJpeg(test::TestPicture(width, height, uint32_t(i + 1))));
            command.push_back(file.string());
        }
        const pid_t pid = test::StartProgram(command, "/dev/null", false);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return (folder.Path() / name).string();
    }
};

Setup& TheSetup()
{
    static Setup setup;
    return setup;
}

long PeakKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Half of the screen's middle row, as pixel values.
std::vector<unsigned long> MiddleRow(Display* display)
{
    std::vector<unsigned long> row;
    if (XImage* image = XGetImage(display, DefaultRootWindow(display), ScreenWidth / 4, ScreenHeight / 2,
                                  ScreenWidth / 2, 1, AllPlanes, ZPixmap)) {
        for (int x = 0; x < ScreenWidth / 2; ++x)
            row.push_back(XGetPixel(image, x, 0));
        XDestroyImage(image);
    }
    return row;
}

// The saver showing `gallery` on the root with `delay`: the times of the first `changes` changes of the
// screen, and its peak memory then (KiB). Empty times when it showed fewer within a minute.
struct SaverRun {
    std::vector<Clock::time_point> changes;
    long peakKiB = -1;
};

SaverRun RunSaver(const std::string& gallery, double delay, int changes)
{
    WritePrivateProfileString("Initial", "Saver", gallery, "Vorlane.ini");
    SaverRun run;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return run;
    int damageEvent = 0, damageError = 0;
    XDamageQueryExtension(display, &damageEvent, &damageError);
    const Damage damage = XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty);
    XSync(display, False);
    const pid_t saver =
        test::StartProgram({VORLANE_SAVER, "--root", "--delay", std::to_string(delay)}, "/dev/null", false);
    const auto deadline = Clock::now() + std::chrono::minutes(1);
    std::vector<unsigned long> shown = MiddleRow(display); // the previous run's last picture
    while (int(run.changes.size()) < changes && Clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == damageEvent + XDamageNotify) {
                const Clock::time_point when = Clock::now();
                XDamageSubtract(display, damage, None, None);
                // A change is another picture: what the middle row shows is not what it showed.
                if (std::vector<unsigned long> row = MiddleRow(display); row != shown) {
                    shown = std::move(row);
                    run.changes.push_back(when);
                }
            }
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        ::poll(&connection, 1, 100);
    }
    run.peakKiB = PeakKiB(saver);
    ::kill(saver, SIGTERM);
    ::waitpid(saver, nullptr, 0);
    XDamageDestroy(display, damage);
    XCloseDisplay(display);
    if (int(run.changes.size()) < changes)
        run.changes.clear();
    return run;
}

void PeakMemory(benchmark::State& state)
{
    Setup& setup = TheSetup();
    if (!setup.xvfb.Running()) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    for (auto _ : state) {
        const SaverRun big = RunSaver(setup.bigGallery, 1, 2);
        const SaverRun small = RunSaver(setup.smallGallery, 1, 2);
        if (big.changes.empty() || small.changes.empty()) {
            state.SkipWithError("the saver showed too few pictures");
            return;
        }
        const double growth = double(big.peakKiB - small.peakKiB) / 1024;
        state.counters["peak_MiB"] = double(big.peakKiB) / 1024;
        state.counters["floor_MiB"] = double(small.peakKiB) / 1024;
        state.counters["growth_MiB"] = growth;
        state.counters["screen_picture_MiB"] = ScreenPictureMiB;
        state.counters["ratio"] = growth / (2 * ScreenPictureMiB);
    }
}
BENCHMARK(PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

class NoRows final : public PictureRows {
public:
    void Begin(int, int, int, std::span<const RgbQuad>) override {}
    void Row(int, const uint8_t* row) override { benchmark::DoNotOptimize(row); }
    void Finished(const std::string&) override {}
};

void TurnToPixels(benchmark::State& state)
{
    Setup& setup = TheSetup();
    if (!setup.xvfb.Running()) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    constexpr double Delay = 3;
    for (auto _ : state) {
        std::vector<double> decode;
        for (int i = 0; i < 3; ++i)
            decode.push_back(bench::Seconds(
                [&] {
                    NoRows rows;
                    SendPictureRows(setup.bigPicture, 24, rows);
                },
                bench::Clock::Wall));
        const SaverRun run = RunSaver(setup.bigGallery, Delay, 5);
        if (run.changes.empty()) {
            state.SkipWithError("the saver showed too few pictures");
            return;
        }
        std::vector<double> late;
        for (size_t i = 1; i < run.changes.size(); ++i)
            late.push_back(
                std::max(0.0, std::chrono::duration<double>(run.changes[i] - run.changes[i - 1]).count() - Delay));
        const double decodeSeconds = bench::Quantile(decode, 0.5);
        state.counters["late_ms"] = bench::Quantile(late, 0.5) * 1000;
        state.counters["late_max_ms"] = *std::max_element(late.begin(), late.end()) * 1000;
        state.counters["decode_ms"] = decodeSeconds * 1000;
        state.counters["ratio"] = bench::Quantile(late, 0.5) / decodeSeconds;
    }
}
BENCHMARK(TurnToPixels)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vorlane

BENCHMARK_MAIN();
