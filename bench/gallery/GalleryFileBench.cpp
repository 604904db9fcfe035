// A 10,000-picture gallery (32x32 thumbnails at 24 bits per pixel, every tenth with a mask) between its
// file and memory, each against a floor measured in the same run on the same bytes:
// - the image-list data written and read in memory, against a copy of the data into a new buffer;
// - the gallery loaded (LoadGallery), against reading the file's bytes into a new buffer;
// - the gallery saved (SaveGallery), against writing the same bytes to a new file beside it, syncing
//   it and renaming it over the old one, as a save that replaces a file safely must;
// - the growth of the peak resident size while a fresh process loads the gallery, and while it loads and
//   saves it, against the file size.
// Pairs of work and floor alternate (bench/PairedRuns.h).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/PairedRuns.h"
#include "bench/PeakMemory.h"
#include "gallery/ImageList.h"
#include "gallery/Vorlane1.h"

namespace vorlane {
namespace {

constexpr int ImageCount = 10000;

TImageList* List;
std::vector<uint8_t>* Data;
std::filesystem::path Folder;
std::string GalleryName; // the gallery's ManagerName; its file is GalleryName + ".gsk"

Bitmap Thumbnail(int k)
{
    Bitmap image(32, 32, 24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.SetPixelRgb(x, y, MakeRgb(uint8_t(k + x), uint8_t(k * 3 + y), uint8_t(x * y)));
    return image;
}

void MakeList()
{
    List = new TImageList(nullptr, 32, 32);
    Bitmap mask(32, 32, 1);
    mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    for (int i = 0; i < 32; ++i)
        mask.SetPixelValue(i, 31 - i, 1);
    for (int k = 0; k < ImageCount; ++k)
        List->Add(Thumbnail(k), k % 10 == 0 ? &mask : nullptr);
    Data = new std::vector<uint8_t>(List->WriteData());
}

// The gallery: entry i names a picture of its own; image i+1 is its thumbnail.
void MakeGallery()
{
    TImageList images(nullptr, 32, 32);
    images.Assign(*List);
    TVorlane gallery;
    gallery.SetDefaultImages(images); // image 0 and 9,999 thumbnails...
    gallery.Images().Add(Thumbnail(ImageCount));
    TStringList names;
    for (int i = 0; i < ImageCount; ++i)
        names.Add((Folder / "pictures" / ("wallpaper " + std::to_string(i) + ".jpg")).string());
    gallery.SetFileNames(names);
    gallery.SetManagerName(GalleryName);
    gallery.SaveGallery();
}

std::string GalleryFile()
{
    return GalleryName + ".gsk";
}

size_t FileSize(const std::string& path)
{
    return size_t(std::filesystem::file_size(path));
}

// Memory that is not zero-filled first, as a loader's own buffer need not be.
std::unique_ptr<uint8_t[]> Uninitialised(size_t size)
{
    return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
}

void CopyData()
{
    const auto copy = Uninitialised(Data->size());
    std::memcpy(copy.get(), Data->data(), Data->size());
    benchmark::DoNotOptimize(copy.get());
    benchmark::ClobberMemory();
}

// The file's bytes into a new buffer: what any load must at least do.
std::unique_ptr<uint8_t[]> ReadFile(const std::string& path, size_t& size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    ::fstat(fd, &st);
    size = size_t(st.st_size);
    auto bytes = Uninitialised(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, bytes.get() + done, size - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    return bytes;
}

// The same bytes written beside the gallery, synced and renamed over a file of their own.
void WriteFile(const uint8_t* bytes, size_t size)
{
    const std::string temporary = (Folder / "copy.tmp").string();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::fsync(fd);
    ::close(fd);
    ::rename(temporary.c_str(), (Folder / "copy.gsk").c_str());
}

void BM_WriteImageListData(benchmark::State& state)
{
    bench::RunPairs(
        state, [] { benchmark::DoNotOptimize(List->WriteData()); }, CopyData);
    state.counters["MB"] = double(Data->size()) / 1e6;
}

void BM_ReadImageListData(benchmark::State& state)
{
    TImageList target(nullptr, 32, 32);
    bench::RunPairs(
        state,
        [&] {
            target.ReadData(*Data);
            benchmark::DoNotOptimize(target.Count());
        },
        CopyData);
    if (target.Count() != ImageCount)
        state.SkipWithError("the data did not read back");
}

void BM_LoadGallery(benchmark::State& state)
{
    size_t size = 0;
    bench::RunPairs(
        state,
        [] {
            TVorlane gallery;
            gallery.SetManagerName(GalleryName);
            gallery.LoadGallery();
            if (gallery.FileNames().Count() != ImageCount)
                std::abort();
        },
        [&] { benchmark::DoNotOptimize(ReadFile(GalleryFile(), size)); });
    state.counters["file_MB"] = double(size) / 1e6;
}

void BM_SaveGallery(benchmark::State& state)
{
    TVorlane gallery;
    gallery.SetManagerName(GalleryName);
    gallery.LoadGallery();
    size_t size = 0;
    const auto bytes = ReadFile(GalleryFile(), size);
    bench::RunPairs(
        state, [&] { gallery.SaveGallery(); }, [&] { WriteFile(bytes.get(), size); });
    if (FileSize(GalleryFile()) != size)
        state.SkipWithError("the gallery did not save to the same size");
}

// `work`: "load", or "save" (a load, then a save of what was loaded).
void BM_PeakMemory(benchmark::State& state, const char* work)
{
    long peak = 0;
    for (auto _ : state)
        peak = bench::PeakGrowthKiB(work, GalleryName);
    const double file = double(FileSize(GalleryFile()));
    state.counters["peak_MB"] = double(peak) * 1024 / 1e6;
    state.counters["peak_per_file_size"] = double(peak) * 1024 / file;
}

} // namespace
} // namespace vorlane

int main(int argc, char** argv)
{
    using namespace vorlane;
    const auto load = [](const std::string& name, bool save) {
        TVorlane gallery;
        gallery.SetManagerName(name);
        gallery.LoadGallery();
        if (save)
            gallery.SaveGallery();
    };
    const bench::PeakWorks works = {{"load", [&](const std::string& name) { load(name, false); }},
                                    {"save", [&](const std::string& name) { load(name, true); }}};
    if (const auto code = bench::RunPeakChild(argc, argv, works))
        return *code;
    benchmark::Initialize(&argc, argv);
    Folder = std::filesystem::temp_directory_path() / ("vorlane-gallery-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Folder);
    GalleryName = (Folder / "gallery").string();
    MakeList();
    MakeGallery();
    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("ImageListData/Write10000", BM_WriteImageListData)
        ->UseManualTime()
        ->Iterations(31)
        ->Unit(ms);
    benchmark::RegisterBenchmark("ImageListData/Read10000", BM_ReadImageListData)
        ->UseManualTime()
        ->Iterations(31)
        ->Unit(ms);
    benchmark::RegisterBenchmark("GalleryFile/Load10000", BM_LoadGallery)->UseManualTime()->Iterations(31)->Unit(ms);
    benchmark::RegisterBenchmark("GalleryFile/Save10000", BM_SaveGallery)->UseManualTime()->Iterations(21)->Unit(ms);
    benchmark::RegisterBenchmark("GalleryFile/LoadPeakMemory", BM_PeakMemory, "load")->Iterations(1)->Unit(ms);
    benchmark::RegisterBenchmark("GalleryFile/SavePeakMemory", BM_PeakMemory, "save")->Iterations(1)->Unit(ms);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete Data;
    delete List;
    std::filesystem::remove_all(Folder);
    return 0;
}
