// Set as wallpaper of a 12-megapixel JPEG (4000x3000), each against a floor measured on the same file in
// the same run, on a 1920x1080 Xvfb display (when Xvfb is installed; otherwise the desktop only records):
//
// - SetAsWallpaper: the window's command in this process (decode into "Temp.bmp" while the root's
//   picture is drawn from the same rows, record, publish) against the decode alone, which it cannot avoid.
// - CommandLine: the whole vorlane-wallpaper process ("set --centre") against the whole process of
//   `feh --bg-center --no-fehbg` on the same file and display (when feh is installed): elapsed time and
//   peak resident memory of each; and what the picture adds to our peak (over the same command setting
//   a 16x16 JPEG) against one screen-sized picture (4 bytes a pixel).
// - Bitmap24MP: peak resident memory of the whole vorlane-wallpaper process bringing back a recorded
//   24-megapixel bitmap (6000x4000 at 24 bits, a 69 MiB file) as at login ("restore"), and setting it
//   ("set --centre"), over the same command with a 16x16 bitmap (the floor: what the program costs
//   anyway), as a share of the file's size: a few rows would be well under 0.05, the picture 1.
//
// - FillAgainstFeh: `vorlane-wallpaper set --fill` of a 24-megapixel JPEG (6000x4000) on a 3840x2160
//   Xvfb display against `feh --bg-fill --no-fehbg` of the same file (when feh is installed: it is only
//   the benchmark's yardstick, `scripts/setup-debian.sh feh`): elapsed time and peak resident memory of
//   each, and their ratios (goals: time <= 1.0, peak <= 0.5). Ours writes the 72 MB "Temp.bmp" too.
//
// Times are the best of several rounds taken alternately, so that the other users of a shared machine
// disturb both alike; elapsed rather than processor time because the X server does part of the work.
#include <benchmark/benchmark.h>

#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "image/BmpFile.h"
#include "image/Jpeg.h"
#include "platform/Path.h"
#include "platform/Registry.h"
#include "tests/image/JpegEncode.h"
#include "tests/wallpaper/ServerProcess.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane {
namespace {

std::string JpegFile;
std::string TinyJpegFile;
std::string BmpFile;
std::string TinyBmpFile;
std::string BigJpegFile; // 24 megapixels
std::string BigDisplay;  // a 3840x2160 Xvfb display
std::string Tool;        // a copy of vorlane-wallpaper in the benchmark's folder, so "Temp.bmp" lands there
bool WithDisplay = false;

template <typename F>
double Seconds(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_SetAsWallpaper(benchmark::State& state)
{
    TWallPaper wallpaper(nullptr);
    double bestCommand = 1e9, bestDecode = 1e9;
    for (auto _ : state) {
        const double decode = Seconds([] { benchmark::DoNotOptimize(DecodeJpegFile(JpegFile, 24).Width()); });
        const double command =
            Seconds([&] { wallpaper.SetWallPaper(PrepareWallpaperFile(JpegFile, 24, wallpaper.PrepareDrawing())); });
        state.SetIterationTime(command);
        bestCommand = std::min(bestCommand, command);
        bestDecode = std::min(bestDecode, decode);
    }
    state.counters["command_ms"] = bestCommand * 1e3;
    state.counters["decode_ms"] = bestDecode * 1e3;
    state.counters["ratio"] = bestCommand / bestDecode;
    state.counters["x11"] = WithDisplay ? 1 : 0;
}

struct ProcessCost {
    double seconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

// Runs the program to its end: elapsed time, and its peak resident memory from the kernel's account.
ProcessCost RunProgram(std::vector<std::string> argv)
{
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    ProcessCost cost;
    cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cost.peakMiB = double(usage.ru_maxrss) / 1024.0;
    cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return cost;
}

struct AgainstFeh {
    ProcessCost ours{1e9, 0, true};
    ProcessCost feh{1e9, 0, true};
    bool ok = true;
};

// Runs our command and feh's in turn each iteration: the best time and the highest peak of each, and the
// counters that compare them. `before`, when given, runs first in each iteration.
AgainstFeh RunAgainstFeh(benchmark::State& state, const std::vector<std::string>& ours,
                         const std::vector<std::string>& feh, const std::function<void()>& before = {})
{
    AgainstFeh result;
    for (auto _ : state) {
        if (before)
            before();
        const ProcessCost a = RunProgram(ours);
        const ProcessCost b = RunProgram(feh);
        if (!a.ok || !b.ok) {
            state.SkipWithError(a.ok ? "feh failed" : "vorlane-wallpaper failed");
            result.ok = false;
            return result;
        }
        state.SetIterationTime(a.seconds);
        result.ours = {std::min(result.ours.seconds, a.seconds), std::max(result.ours.peakMiB, a.peakMiB), true};
        result.feh = {std::min(result.feh.seconds, b.seconds), std::max(result.feh.peakMiB, b.peakMiB), true};
    }
    state.counters["ours_ms"] = result.ours.seconds * 1e3;
    state.counters["feh_ms"] = result.feh.seconds * 1e3;
    state.counters["time_ratio"] = result.ours.seconds / result.feh.seconds;
    state.counters["ours_peak_MiB"] = result.ours.peakMiB;
    state.counters["feh_peak_MiB"] = result.feh.peakMiB;
    state.counters["peak_ratio"] = result.ours.peakMiB / result.feh.peakMiB;
    return result;
}

void BM_CommandLineAgainstFeh(benchmark::State& state)
{
    double tinyPeak = 0;
    const AgainstFeh run =
        RunAgainstFeh(state, {Tool, "set", "--centre", JpegFile}, {"feh", "--bg-center", "--no-fehbg", JpegFile}, [&] {
            tinyPeak = std::max(tinyPeak, RunProgram({Tool, "set", "--centre", TinyJpegFile}).peakMiB);
        });
    if (!run.ok)
        return;
    const double screenMiB = 1920.0 * 1080.0 * 4.0 / (1 << 20);
    state.counters["picture_MiB"] = run.ours.peakMiB - tinyPeak;
    state.counters["picture_per_screen"] = (run.ours.peakMiB - tinyPeak) / screenMiB;
}

// Records `file` as the wallpaper, as a set in an earlier session left it.
void Record(const std::string& file)
{
    const auto key = registry::CreateKey(registry::Root, "Control Panel\\Desktop");
    if (key)
        registry::SetValue(*key, "Wallpaper", REG_SZ, registry::StringData(file));
}

void BM_Bitmap24MPPeakOverFileSize(benchmark::State& state)
{
    double restorePeak = 0, restoreFloor = 0, setPeak = 0, setFloor = 0;
    for (auto _ : state) {
        Record(TinyBmpFile);
        const ProcessCost tinyRestore = RunProgram({Tool, "restore"});
        Record(BmpFile);
        const ProcessCost restore = RunProgram({Tool, "restore"});
        if (!tinyRestore.ok || !restore.ok) {
            state.SkipWithError("vorlane-wallpaper restore failed");
            return;
        }
        state.SetIterationTime(restore.seconds);
        restorePeak = std::max(restorePeak, restore.peakMiB);
        restoreFloor = std::max(restoreFloor, tinyRestore.peakMiB);
        if (WithDisplay) { // without a desktop to show it, set stops before the picture is read
            setFloor = std::max(setFloor, RunProgram({Tool, "set", "--centre", TinyBmpFile}).peakMiB);
            setPeak = std::max(setPeak, RunProgram({Tool, "set", "--centre", BmpFile}).peakMiB);
        }
    }
    const double fileMiB = double(std::filesystem::file_size(BmpFile)) / (1 << 20);
    state.counters["file_MiB"] = fileMiB;
    state.counters["restore_peak_MiB"] = restorePeak;
    state.counters["restore_floor_MiB"] = restoreFloor;
    state.counters["restore_ratio"] = (restorePeak - restoreFloor) / fileMiB;
    if (WithDisplay) {
        state.counters["set_peak_MiB"] = setPeak;
        state.counters["set_floor_MiB"] = setFloor;
        state.counters["set_ratio"] = (setPeak - setFloor) / fileMiB;
    }
    state.counters["x11"] = WithDisplay ? 1 : 0;
}

// An uncompressed 24-bit bitmap of smooth colours, written a row at a time.
void WriteBitmap(const std::string& file, int width, int height)
{
    ByteWriter headers;
    WriteBmpHeaders(headers, width, height, 24, {}, BmpSizeField::FileSize);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(headers.Bytes().data()), std::streamsize(headers.Bytes().size()));
    std::vector<uint8_t> row(Bitmap::StrideFor(width, 24));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[3 * size_t(x)] = uint8_t(x * 255 / width);
            row[3 * size_t(x) + 1] = uint8_t(y * 255 / height);
            row[3 * size_t(x) + 2] = uint8_t((x + y) & 0xFF);
        }
        out.write(reinterpret_cast<const char*>(row.data()), std::streamsize(row.size()));
    }
}

// Encodes a test picture into `file` in a child process: a program started later from this one begins
// with this process's resident pages counted in its peak, so the pictures are never held here.
void WriteTestJpeg(const std::string& file, int width, int height, uint32_t seed)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const auto jpeg = test::EncodeJpeg(test::TestPicture(width, height, seed));
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

void BM_FillAgainstFeh(benchmark::State& state)
{
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::setenv("DISPLAY", BigDisplay.c_str(), 1);
    RunAgainstFeh(state, {Tool, "set", "--fill", BigJpegFile}, {"feh", "--bg-fill", "--no-fehbg", BigJpegFile});
    ::setenv("DISPLAY", display.c_str(), 1);
}

} // namespace
} // namespace vorlane

int main(int argc, char** argv)
{
    using namespace vorlane;
    namespace fs = std::filesystem;
    benchmark::Initialize(&argc, argv);

    std::string folder = (fs::temp_directory_path() / "vorlane-bench-wallpaper-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 1;
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    path::SetProgramFolderForTesting(folder + "/");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS"); // the user's own desktop is not touched
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("DISPLAY");
    JpegFile = folder + "/picture.jpg";
    BigJpegFile = folder + "/photo24.jpg";
    TinyJpegFile = folder + "/tiny.jpg";
    WriteTestJpeg(TinyJpegFile, 16, 16, 7);
    WriteTestJpeg(JpegFile, 4000, 3000, 7);
    BmpFile = folder + "/picture.bmp";
    TinyBmpFile = folder + "/tiny.bmp";
    WriteBitmap(BmpFile, 6000, 4000);
    WriteBitmap(TinyBmpFile, 16, 16);
    std::unique_ptr<test::Xvfb> xvfb, big;
    if (test::ServerProcess::Installed("Xvfb")) {
        xvfb = std::make_unique<test::Xvfb>("1920x1080x24");
        if (xvfb->Running()) {
            ::setenv("DISPLAY", xvfb->Display().c_str(), 1);
            WithDisplay = true;
        }
    }

    benchmark::RegisterBenchmark("SetAsWallpaper/Jpeg12MP", BM_SetAsWallpaper)
        ->UseManualTime()
        ->Iterations(6)
        ->Unit(benchmark::kMillisecond);
    Tool = folder + "/vorlane-wallpaper";
    fs::copy_file(VORLANE_WALLPAPER_TOOL, Tool);
    benchmark::RegisterBenchmark("Bitmap24MP/PeakMemoryOverFileSize", BM_Bitmap24MPPeakOverFileSize)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    if (WithDisplay && test::ServerProcess::Installed("feh")) {
        WriteTestJpeg(BigJpegFile, 6000, 4000, 9);
        big = std::make_unique<test::Xvfb>("3840x2160x24");
        if (big->Running()) {
            BigDisplay = big->Display();
            benchmark::RegisterBenchmark("CommandLine/Jpeg24MP/FillAgainstFehBgFill", BM_FillAgainstFeh)
                ->UseManualTime()
                ->Iterations(4)
                ->Unit(benchmark::kMillisecond);
        }
        ::setenv("HOME", folder.c_str(), 1); // feh's own settings stay in the benchmark's folder
        benchmark::RegisterBenchmark("CommandLine/Jpeg12MP/AgainstFehBgCenter", BM_CommandLineAgainstFeh)
            ->UseManualTime()
            ->Iterations(8)
            ->Unit(benchmark::kMillisecond);
    } else {
        std::fprintf(stderr, "CommandLine: needs Xvfb and feh (apt-get install feh); not measured\n");
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    big.reset();
    xvfb.reset();
    fs::remove_all(folder);
    return 0;
}
