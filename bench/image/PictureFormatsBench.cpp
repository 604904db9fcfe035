// Thumbnails of 24-megapixel pictures of every format against floors measured on the same files in the
// same run, and their peak memory. The pictures are made at start into a temporary folder.
// - PNG, WebP, AVIF: the floor is the library's own full decode of the file (libpng reading every row,
//   WebPDecodeBGRA, libavif's decode and colour conversion). Goal: at most 1.05 times.
// - BMP: the floor is reading the file. Goal: at most 1.0 times.
// - Peak memory (the growth of the peak resident size of a fresh process making one thumbnail): PNG at
//   most 8 MiB and one row, BMP at most 8 MiB. (JPEG: bench_thumbnail.)
// Pairs of work and floor alternate (bench/PairedRuns.h).
#include <benchmark/benchmark.h>

#include <avif/avif.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/PairedRuns.h"
#include "bench/PeakMemory.h"
#include "gallery/ImageList.h"
#include "gallery/Thumbnail.h"
#include "image/BmpFile.h"
#include "tests/TestFiles.h"
#include "tests/image/JpegEncode.h" // TestPicture

namespace vorlane {
namespace {

constexpr int Width = 6000, Height = 4000;
std::filesystem::path Folder;
std::string Png, Webp, Avif, Bmp;

Bitmap Thumbnail(const std::string& path)
{
    static const TImageList images(nullptr, ThumbnailSize, ThumbnailSize);
    return MakeThumbnail(path, images, 24);
}

std::vector<uint8_t> RgbBytes(const Bitmap& picture)
{
    std::vector<uint8_t> rgb(size_t(picture.Width()) * size_t(picture.Height()) * 3);
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* row = picture.Row(y);
        uint8_t* out = rgb.data() + size_t(y) * size_t(picture.Width()) * 3;
        for (int x = 0; x < picture.Width(); ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
    }
    return rgb;
}

void WritePng(const std::string& path, const std::vector<uint8_t>& rgb)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, Width, Height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < Height; ++y)
        png_write_row(png, rgb.data() + size_t(y) * Width * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void WriteWebp(const std::string& path, const std::vector<uint8_t>& rgb)
{
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeRGB(rgb.data(), Width, Height, Width * 3, 85, &out);
    test::WriteFile(path, std::span<const uint8_t>(out, size));
    WebPFree(out);
}

void WriteAvif(const std::string& path, const std::vector<uint8_t>& rgb)
{
    avifImage* image = avifImageCreate(Width, Height, 8, AVIF_PIXEL_FORMAT_YUV420);
    avifRGBImage source;
    avifRGBImageSetDefaults(&source, image);
    source.format = AVIF_RGB_FORMAT_RGB;
    source.pixels = const_cast<uint8_t*>(rgb.data());
    source.rowBytes = Width * 3;
    avifImageRGBToYUV(image, &source);
    avifEncoder* encoder = avifEncoderCreate();
    encoder->speed = AVIF_SPEED_FASTEST;
    encoder->maxThreads = 2;
    avifRWData output = AVIF_DATA_EMPTY;
    if (avifEncoderWrite(encoder, image, &output) == AVIF_RESULT_OK)
        test::WriteFile(path, std::span<const uint8_t>(output.data, output.size));
    avifRWDataFree(&output);
    avifEncoderDestroy(encoder);
    avifImageDestroy(image);
}

// ---- Floors ----

void PngFloor(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_read_info(png, info);
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y)
        png_read_row(png, row.data(), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
}

void WebpFloor(const std::string& path)
{
    const std::vector<uint8_t> data = test::ReadBytes(path);
    int width = 0, height = 0;
    uint8_t* pixels = WebPDecodeBGRA(data.data(), data.size(), &width, &height);
    benchmark::DoNotOptimize(pixels);
    WebPFree(pixels);
}

void AvifFloor(const std::string& path)
{
    const std::vector<uint8_t> data = test::ReadBytes(path);
    avifDecoder* decoder = avifDecoderCreate();
    avifImage* image = avifImageCreateEmpty();
    if (avifDecoderReadMemory(decoder, image, data.data(), data.size()) == AVIF_RESULT_OK) {
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image);
        rgb.format = AVIF_RGB_FORMAT_BGRA;
        avifRGBImageAllocatePixels(&rgb);
        avifImageYUVToRGB(image, &rgb);
        avifRGBImageFreePixels(&rgb);
    }
    avifImageDestroy(image);
    avifDecoderDestroy(decoder);
}

void ReadFloor(const std::string& path)
{
    benchmark::DoNotOptimize(test::ReadBytes(path));
}

void RunAgainstFloor(benchmark::State& state, const std::string& file, void (*floor)(const std::string&))
{
    bench::RunPairs(
        state, [&] { benchmark::DoNotOptimize(Thumbnail(file)); }, [&] { floor(file); });
    state.counters["file_MiB"] = double(std::filesystem::file_size(file)) / (1 << 20);
}

void BM_Png(benchmark::State& state)
{
    RunAgainstFloor(state, Png, PngFloor);
}
void BM_Webp(benchmark::State& state)
{
    RunAgainstFloor(state, Webp, WebpFloor);
}
void BM_Avif(benchmark::State& state)
{
    RunAgainstFloor(state, Avif, AvifFloor);
}
void BM_Bmp(benchmark::State& state)
{
    RunAgainstFloor(state, Bmp, ReadFloor);
}

void BM_PeakMemory(benchmark::State& state, const std::string* file)
{
    long thumbnail = 0;
    for (auto _ : state)
        thumbnail = bench::PeakGrowthKiB("thumbnail", *file);
    state.counters["thumb_peak_MiB"] = double(thumbnail) / 1024;
}

void MakePictures()
{
    const bool made = std::filesystem::exists(Folder / "done");
    std::filesystem::create_directories(Folder);
    Png = (Folder / "24mp.png").string();
    Webp = (Folder / "24mp.webp").string();
    Avif = (Folder / "24mp.avif").string();
    Bmp = (Folder / "24mp.bmp").string();
    if (made)
        return;
    const Bitmap picture = test::TestPicture(Width, Height, 7);
    const std::vector<uint8_t> rgb = RgbBytes(picture);
    WritePng(Png, rgb);
    WriteWebp(Webp, rgb);
    WriteAvif(Avif, rgb);
    test::WriteFile(Bmp, WriteBmp(picture));
    std::ofstream(Folder / "done") << "";
}

} // namespace
} // namespace vorlane

int main(int argc, char** argv)
{
    using namespace vorlane;
    const bench::PeakWorks works = {
        {"thumbnail", [](const std::string& file) { benchmark::DoNotOptimize(Thumbnail(file)); }},
    };
    if (const auto code = bench::RunPeakChild(argc, argv, works))
        return *code;
    benchmark::Initialize(&argc, argv);
    Folder = std::filesystem::temp_directory_path() / ("vorlane-formats-bench-" + std::to_string(::getpid()));
    MakePictures();

    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark("Thumbnail/24MP_PNG", BM_Png)->UseManualTime()->Iterations(7)->Unit(ms);
    benchmark::RegisterBenchmark("Thumbnail/24MP_WebP", BM_Webp)->UseManualTime()->Iterations(7)->Unit(ms);
    benchmark::RegisterBenchmark("Thumbnail/24MP_AVIF", BM_Avif)->UseManualTime()->Iterations(7)->Unit(ms);
    benchmark::RegisterBenchmark("Thumbnail/24MP_BMP", BM_Bmp)->UseManualTime()->Iterations(15)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/24MP_PNG", BM_PeakMemory, &Png)->Iterations(1)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/24MP_WebP", BM_PeakMemory, &Webp)->Iterations(1)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/24MP_AVIF", BM_PeakMemory, &Avif)->Iterations(1)->Unit(ms);
    benchmark::RegisterBenchmark("PeakMemory/24MP_BMP", BM_PeakMemory, &Bmp)->Iterations(1)->Unit(ms);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(Folder);
    return 0;
}
