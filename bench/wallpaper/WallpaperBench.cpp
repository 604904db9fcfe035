// Set as wallpaper of a 12-megapixel JPEG (4000x3000) against a floor measured on the same file in the
// same run: the decode alone, which the command cannot avoid. The command adds writing "Temp.bmp",
// recording the setting, reading the bitmap back and drawing the root pixmap of a 1920x1080 Xvfb display
// (when Xvfb is installed; otherwise the desktop only records).
//
// Reported: elapsed time per command and per decode (the best of several rounds, taken alternately, so
// that the other users of a shared machine disturb both alike; elapsed rather than processor time because
// the X server does part of the work), their ratio, and whether an X display took part.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "image/Jpeg.h"
#include "platform/Path.h"
#include "tests/image/JpegEncode.h"
#include "tests/wallpaper/ServerProcess.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane {
namespace {

std::string JpegFile;
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
        const double command = Seconds([&] { wallpaper.SetWallPaper(PrepareWallpaperFile(JpegFile, 24)); });
        state.SetIterationTime(command);
        bestCommand = std::min(bestCommand, command);
        bestDecode = std::min(bestDecode, decode);
    }
    state.counters["command_ms"] = bestCommand * 1e3;
    state.counters["decode_ms"] = bestDecode * 1e3;
    state.counters["ratio"] = bestCommand / bestDecode;
    state.counters["x11"] = WithDisplay ? 1 : 0;
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
    {
        const auto jpeg = test::EncodeJpeg(test::TestPicture(4000, 3000, 7));
        std::ofstream(JpegFile, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    }
    std::unique_ptr<test::Xvfb> xvfb;
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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    xvfb.reset();
    fs::remove_all(folder);
    return 0;
}
