// Thumbnails of large baseline JPEGs against a floor measured on the same files in the same run: libjpeg
// reading the file and skipping every row, which leaves only the entropy decoding every decode must do.
// The pictures are generated at start into a temporary folder.
//
// Reported: processor time per thumbnail and per floor (the best of several rounds, taken alternately, so
// that the other users of a shared machine disturb both alike), their ratio (goal: 1.15 or less), and the growth
// of the peak resident memory while one thumbnail of the 24 MP picture is made in a fresh child process,
// beside that of a whole-picture decode.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <jpeglib.h>

#include "bench/PairedRuns.h"
#include "gallery/ImageList.h"
#include "image/Jpeg.h"
#include "gallery/Thumbnail.h"
#include "tests/image/JpegEncode.h"

namespace vorlane {
namespace {

std::filesystem::path Folder;
std::string File12, File24;
std::vector<std::string> Files20;

// Something like a photograph: smooth shading, texture at several scales, a little grain.
Bitmap PhotoLike(int width, int height, uint32_t seed)
{
    Bitmap picture(width, height, 24);
    uint32_t state = seed * 747796405u + 2891336453u;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const double u = double(x) / width, v = double(y) / height;
            const double texture = 40 * std::sin(x * 0.05 + seed) * std::cos(y * 0.037) + 20 * std::sin((x + y) * 0.21);
            const int grain = int(state >> 28) - 8;
            row[3 * x + 0] = uint8_t(std::clamp(int(60 + 120 * v + texture * 0.5) + grain, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(int(90 + 100 * u * v + texture) + grain, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(int(200 - 150 * u + texture * 0.7) + grain, 0, 255));
        }
    }
    return picture;
}

std::string WriteJpeg(const std::string& name, int width, int height, uint32_t seed)
{
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(PhotoLike(width, height, seed), {.quality = 90});
    const std::string path = (Folder / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    return path;
}

Bitmap Thumbnail(const std::string& path)
{
    static const TImageList images(nullptr, ThumbnailSize, ThumbnailSize);
    return MakeThumbnail(path, images, 24);
}

// Entropy decoding only: every row skipped (all but the last at once, which libjpeg decodes through;
// a skip to the very end would return without reading anything).
void Floor(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.dct_method = JDCT_ISLOW;
    info.do_block_smoothing = TRUE;
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    jpeg_skip_scanlines(&info, info.output_height - 1);
    jpeg_skip_scanlines(&info, 1);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
}

// Each pair makes the thumbnails and runs the floor on the same files.
void RunAgainstFloor(benchmark::State& state, const std::vector<std::string>& files)
{
    bench::RunPairs(state, [&] { for (const auto& f : files) benchmark::DoNotOptimize(Thumbnail(f)); },
                    [&] { for (const auto& f : files) Floor(f); });
    double bytes = 0;
    for (const auto& f : files)
        bytes += double(std::filesystem::file_size(f));
    state.counters["files_MiB"] = bytes / (1 << 20);
}

void BM_Thumbnail12MP(benchmark::State& state) { RunAgainstFloor(state, {File12}); }
void BM_Thumbnail24MP(benchmark::State& state) { RunAgainstFloor(state, {File24}); }
void BM_Thumbnail20Files(benchmark::State& state) { RunAgainstFloor(state, Files20); }

long StatusKiB(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

// The growth of the peak resident size while `work` runs in a fresh child process, in KiB.
template <typename F>
long PeakGrowthKiB(F&& work)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        // Start the high-water mark from what the child holds now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = StatusKiB("VmRSS:");
        work();
        const long growth = StatusKiB("VmHWM:") - before;
        [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &growth, sizeof growth);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    long growth = -1;
    if (::read(pipeEnds[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return growth;
}

void BM_PeakMemory24MP(benchmark::State& state)
{
    long thumbnail = 0, fullDecode = 0;
    for (auto _ : state) {
        thumbnail = PeakGrowthKiB([] { benchmark::DoNotOptimize(Thumbnail(File24)); });
        fullDecode = PeakGrowthKiB([] { benchmark::DoNotOptimize(DecodeJpegFile(File24, 24)); });
    }
    state.counters["thumb_peak_MiB"] = double(thumbnail) / 1024;
    state.counters["full_decode_peak_MiB"] = double(fullDecode) / 1024;
}

} // namespace
} // namespace vorlane

int main(int argc, char** argv)
{
    using namespace vorlane;
    benchmark::Initialize(&argc, argv);
    Folder = std::filesystem::temp_directory_path() / ("vorlane-thumbs-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Folder);
    File12 = WriteJpeg("12mp.jpg", 4000, 3000, 1);
    File24 = WriteJpeg("24mp.jpg", 6000, 4000, 2);
    for (int i = 0; i < 20; ++i)
        Files20.push_back(WriteJpeg("file" + std::to_string(i) + ".jpg", 2048 + 16 * i, 1536 - 8 * i, uint32_t(10 + i)));

    benchmark::RegisterBenchmark("Thumbnail/12MP", BM_Thumbnail12MP)->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Thumbnail/24MP", BM_Thumbnail24MP)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Thumbnail/20files", BM_Thumbnail20Files)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PeakMemory/24MP", BM_PeakMemory24MP)->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder);
    return 0;
}
