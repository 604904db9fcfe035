// Thumbnails of large JPEGs against floors measured on the same files in the same run, and many
// pictures added at once on every processor against the same add on one. The pictures are generated
// at start into a temporary folder.
// - Baseline pictures: the floor is libjpeg reading the file and skipping every row, which leaves only
//   the entropy decoding every decode must do.
// - Progressive pictures: the floor is jpeg_read_coefficients, the entropy decoding of every scan.
// - Peak memory: the growth of the peak resident size while a fresh process makes one thumbnail of the
//   24 MP picture, beside that of a whole-picture decode; for progressive pictures of 4:2:0 and 4:4:4
//   sampling too (goal: at most 8 MiB).
// - 200 mixed wallpapers (a third of them progressive) added to a gallery: elapsed time with a thread
//   per processor against one thread, and the peak memory of each.
// Pairs of work and floor alternate (bench/PairedRuns.h).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <jpeglib.h>

#include "bench/PairedRuns.h"
#include "bench/PeakMemory.h"
#include "gallery/Vorlane1.h"
#include "gallery/ImageList.h"
#include "image/Jpeg.h"
#include "gallery/Thumbnail.h"
#include "tests/image/JpegEncode.h"

namespace vorlane {
namespace {

std::filesystem::path Folder;
std::string File12, File24, File24Progressive, File24Progressive444;
std::vector<std::string> Files20, Wallpapers;

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

std::string WriteJpeg(const std::string& name, int width, int height, uint32_t seed, bool progressive = false,
                      int sampling = 2)
{
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(
        PhotoLike(width, height, seed),
        {.quality = 90, .horizontalSampling = sampling, .verticalSampling = sampling, .progressive = progressive});
    const std::string path = (Folder / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
    return path;
}

Bitmap Thumbnail(const std::string& path)
{
    static const TImageList images(nullptr, ThumbnailSize, ThumbnailSize);
    return MakeThumbnail(path, images, 24);
}

// libjpeg on the file at `path`, with `decode` between reading the header and finishing.
template <typename Decode>
void WithLibjpeg(const std::string& path, Decode&& decode)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    decode(info);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
}

// Entropy decoding only: every row skipped (all but the last at once, which libjpeg decodes through;
// a skip to the very end would return without reading anything).
void Floor(const std::string& path)
{
    WithLibjpeg(path, [](jpeg_decompress_struct& info) {
        info.dct_method = JDCT_ISLOW;
        info.do_block_smoothing = TRUE;
        info.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&info);
        jpeg_skip_scanlines(&info, info.output_height - 1);
        jpeg_skip_scanlines(&info, 1);
    });
}

// Entropy decoding of every scan, into libjpeg's whole coefficient buffer.
void CoefficientFloor(const std::string& path)
{
    WithLibjpeg(path, [](jpeg_decompress_struct& info) { benchmark::DoNotOptimize(jpeg_read_coefficients(&info)); });
}

// Each pair makes the thumbnails and runs the floor on the same files.
void RunAgainstFloor(benchmark::State& state, const std::vector<std::string>& files,
                     void (*floor)(const std::string&) = Floor)
{
    bench::RunPairs(
        state,
        [&] {
            for (const auto& f : files)
                benchmark::DoNotOptimize(Thumbnail(f));
        },
        [&] {
            for (const auto& f : files)
                floor(f);
        });
    double bytes = 0;
    for (const auto& f : files)
        bytes += double(std::filesystem::file_size(f));
    state.counters["files_MiB"] = bytes / (1 << 20);
}

void BM_Thumbnail12MP(benchmark::State& state)
{
    RunAgainstFloor(state, {File12});
}
void BM_Thumbnail24MP(benchmark::State& state)
{
    RunAgainstFloor(state, {File24});
}
void BM_Thumbnail20Files(benchmark::State& state)
{
    RunAgainstFloor(state, Files20);
}
void BM_Thumbnail24MPProgressive(benchmark::State& state)
{
    RunAgainstFloor(state, {File24Progressive}, CoefficientFloor);
}

void AddWallpapers(int threads)
{
    static const TImageList defaults(nullptr, ThumbnailSize, ThumbnailSize);
    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    gallery.AddImages(Wallpapers, threads);
    if (gallery.FileNames().Count() != int(Wallpapers.size()))
        std::abort();
}

// Goal: every processor in at most 0.6 times the elapsed time of one.
void BM_AddWallpapers(benchmark::State& state)
{
    bench::RunPairs(
        state, [] { AddWallpapers(0); }, [] { AddWallpapers(1); }, bench::Clock::Wall);
    state.counters["threads"] = double(std::thread::hardware_concurrency());
    // Processor time over elapsed time of one more add on every processor: how many were at work,
    // which on a machine shared with others may be fewer than there are.
    const double start = bench::Now(bench::Clock::Process);
    const double elapsed = bench::Seconds([] { AddWallpapers(0); }, bench::Clock::Wall);
    state.counters["processors_busy"] = (bench::Now(bench::Clock::Process) - start) / elapsed;
    state.counters["files"] = double(Wallpapers.size());
}

void BM_PeakMemory(benchmark::State& state, const std::string& file)
{
    long thumbnail = 0, fullDecode = 0;
    for (auto _ : state) {
        thumbnail = bench::PeakGrowthKiB("thumbnail", file);
        fullDecode = bench::PeakGrowthKiB("decode", file);
    }
    state.counters["thumb_peak_MiB"] = double(thumbnail) / 1024;
    state.counters["full_decode_peak_MiB"] = double(fullDecode) / 1024;
}

void BM_PeakMemory24MP(benchmark::State& state)
{
    BM_PeakMemory(state, File24);
}
void BM_PeakMemory24MPProgressive(benchmark::State& state)
{
    BM_PeakMemory(state, File24Progressive);
}
// Goal: at most 8 MiB for the thumbnail.
void BM_PeakMemory24MPProgressive444(benchmark::State& state)
{
    BM_PeakMemory(state, File24Progressive444);
}

void BM_PeakMemoryAddWallpapers(benchmark::State& state)
{
    long all = 0, one = 0;
    for (auto _ : state) {
        all = bench::PeakGrowthKiB("add-all", Folder.string());
        one = bench::PeakGrowthKiB("add-one", Folder.string());
    }
    state.counters["all_threads_peak_MiB"] = double(all) / 1024;
    state.counters["one_thread_peak_MiB"] = double(one) / 1024;
}

// The pictures the benchmarks use, made once per folder (the child processes of the peak-memory
// benchmarks find them there).
void MakePictures()
{
    const bool made = std::filesystem::exists(Folder / "done");
    std::filesystem::create_directories(Folder);
    const auto jpeg = [&](const std::string& name, int width, int height, uint32_t seed, bool progressive = false,
                          int sampling = 2) {
        const std::string path = (Folder / name).string();
        return made ? path : WriteJpeg(name, width, height, seed, progressive, sampling);
    };
    File12 = jpeg("12mp.jpg", 4000, 3000, 1);
    File24 = jpeg("24mp.jpg", 6000, 4000, 2);
    File24Progressive = jpeg("24mp-progressive.jpg", 6000, 4000, 3, true);
    File24Progressive444 = jpeg("24mp-progressive-444.jpg", 6000, 4000, 4, true, 1);
    for (int i = 0; i < 20; ++i)
        Files20.push_back(jpeg("file" + std::to_string(i) + ".jpg", 2048 + 16 * i, 1536 - 8 * i, uint32_t(10 + i)));
    for (int i = 0; i < 200; ++i)
        Wallpapers.push_back(jpeg("wallpaper" + std::to_string(i) + ".jpg", 1920 - 8 * (i % 5), 1080 + 8 * (i % 3),
                                  uint32_t(100 + i), i % 3 == 2));
    std::ofstream(Folder / "done") << "";
}

} // namespace
} // namespace vorlane

int main(int argc, char** argv)
{
    using namespace vorlane;
    const bench::PeakWorks works = {
        {"thumbnail", [](const std::string& file) { benchmark::DoNotOptimize(Thumbnail(file)); }},
        {"decode", [](const std::string& file) { benchmark::DoNotOptimize(DecodeJpegFile(file, 24)); }},
        {"add-all",
         [](const std::string& folder) {
             Folder = folder;
             MakePictures();
             AddWallpapers(0);
         }},
        {"add-one",
         [](const std::string& folder) {
             Folder = folder;
             MakePictures();
             AddWallpapers(1);
         }},
    };
    if (const auto code = bench::RunPeakChild(argc, argv, works))
        return *code;
    benchmark::Initialize(&argc, argv);
    Folder = std::filesystem::temp_directory_path() / ("vorlane-thumbs-bench-" + std::to_string(::getpid()));
    MakePictures();

    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("Thumbnail/12MP", BM_Thumbnail12MP)->UseManualTime()->Iterations(15)->Unit(ms);
    benchmark::RegisterBenchmark("Thumbnail/24MP", BM_Thumbnail24MP)->UseManualTime()->Iterations(11)->Unit(ms);
    benchmark::RegisterBenchmark("Thumbnail/24MPProgressive", BM_Thumbnail24MPProgressive)
        ->UseManualTime()
        ->Iterations(11)
        ->Unit(ms);
    benchmark::RegisterBenchmark("Thumbnail/20files", BM_Thumbnail20Files)->UseManualTime()->Iterations(7)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/24MP", BM_PeakMemory24MP)->Iterations(1)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/24MPProgressive", BM_PeakMemory24MPProgressive)->Iterations(1)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/24MPProgressive444", BM_PeakMemory24MPProgressive444)
        ->Iterations(1)
        ->Unit(ms);
    benchmark::RegisterBenchmark("AddImages/200Wallpapers", BM_AddWallpapers)->UseManualTime()->Iterations(6)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/AddImages200Wallpapers", BM_PeakMemoryAddWallpapers)
        ->Iterations(1)
        ->Unit(ms);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder);
    return 0;
}
