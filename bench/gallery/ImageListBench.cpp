// Writing and reading the image-list data of a 10,000-image list (32x32 at 24 bits per pixel, every
// tenth image with a mask), against a floor measured on the same bytes in the same run: a plain copy of
// the data into a new buffer, which any writer or reader must at least do.
//
// Reported: processor time per write, per read and per copy (the best of several rounds, taken
// alternately so that the other users of a shared machine disturb both alike), and the ratio to the copy.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>


#include "bench/gallery/ThreadTime.h"
#include "gallery/ImageList.h"

namespace vorlane {
namespace {

constexpr int ImageCount = 10000;

TImageList* List;
std::vector<uint8_t>* Data;

void MakeList()
{
    List = new TImageList(nullptr, 32, 32);
    Bitmap mask(32, 32, 1);
    mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
    for (int i = 0; i < 32; ++i)
        mask.SetPixelValue(i, 31 - i, 1);
    Bitmap image(32, 32, 24);
    for (int k = 0; k < ImageCount; ++k) {
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                image.SetPixelRgb(x, y, MakeRgb(uint8_t(k + x), uint8_t(k * 3 + y), uint8_t(x * y)));
        List->Add(image, k % 10 == 0 ? &mask : nullptr);
    }
    Data = new std::vector<uint8_t>(List->WriteData());
}

using bench::Seconds;

void PlainCopy()
{
    std::vector<uint8_t> copy(Data->size());
    std::memcpy(copy.data(), Data->data(), Data->size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
}

template <typename F>
void RunAgainstCopy(benchmark::State& state, F&& work)
{
    double bestWork = 1e9, bestCopy = 1e9;
    for (auto _ : state) {
        const double copy = Seconds(PlainCopy);
        const double measured = Seconds(work);
        state.SetIterationTime(measured);
        bestWork = std::min(bestWork, measured);
        bestCopy = std::min(bestCopy, copy);
    }
    state.counters["work_ms"] = bestWork * 1e3;
    state.counters["copy_ms"] = bestCopy * 1e3;
    state.counters["ratio"] = bestWork / bestCopy;
    state.counters["MB"] = double(Data->size()) / 1e6;
}

void BM_WriteImageListData(benchmark::State& state)
{
    RunAgainstCopy(state, [] { benchmark::DoNotOptimize(List->WriteData()); });
}

void BM_ReadImageListData(benchmark::State& state)
{
    TImageList target(nullptr, 32, 32);
    RunAgainstCopy(state, [&] {
        target.ReadData(*Data);
        benchmark::DoNotOptimize(target.Count());
    });
    if (target.Count() != ImageCount)
        state.SkipWithError("the data did not read back");
}

} // namespace
} // namespace vorlane

int main(int argc, char** argv)
{
    using namespace vorlane;
    benchmark::Initialize(&argc, argv);
    MakeList();
    benchmark::RegisterBenchmark("ImageListData/Write10000", BM_WriteImageListData)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ImageListData/Read10000", BM_ReadImageListData)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete Data;
    delete List;
    return 0;
}
