#include "gallery/ThumbnailBatch.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "gallery/ImageList.h"
#include "gallery/Thumbnail.h"

namespace vorlane {
namespace {

constexpr std::chrono::milliseconds WaitingTick{100};

struct Result {
    std::optional<Bitmap> thumbnail;
    std::exception_ptr error;
};

// What the threads share: the next file to take, the results, and where the batch ends.
class Batch {
public:
    Batch(const std::vector<std::string>& files, const TImageList& images, int displayBitsPerPixel)
        : files_(files),
          images_(images),
          displayBitsPerPixel_(displayBitsPerPixel),
          results_(files.size()),
          end_(files.size())
    {
    }

    void Work()
    {
        for (;;) {
            size_t index;
            {
                std::lock_guard lock(mutex_);
                if (next_ >= end_)
                    return;
                index = next_++;
            }
            Result result;
            try {
                result.thumbnail = MakeThumbnail(files_[index], images_, displayBitsPerPixel_);
            } catch (...) {
                result.error = std::current_exception();
            }
            {
                std::lock_guard lock(mutex_);
                if (result.error) // nothing past a failed file is wanted
                    end_ = std::min(end_, index + 1);
                results_[index] = std::move(result);
            }
            changed_.notify_all();
        }
    }

    // Waits for file `index` and gives its result; `waiting` is called, unlocked, at each tick of the wait.
    Result Take(size_t index, const std::function<void()>& waiting)
    {
        std::unique_lock lock(mutex_);
        const auto ready = [&] { return results_[index].thumbnail || results_[index].error; };
        if (waiting) {
            while (!changed_.wait_for(lock, WaitingTick, ready)) {
                lock.unlock();
                waiting();
                lock.lock();
            }
        } else {
            changed_.wait(lock, ready);
        }
        return std::exchange(results_[index], Result{});
    }

    void Stop()
    {
        std::lock_guard lock(mutex_);
        end_ = next_;
    }

private:
    const std::vector<std::string>& files_;
    const TImageList& images_;
    const int displayBitsPerPixel_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Result> results_;
    size_t next_ = 0;
    size_t end_; // no file from here on is wanted
};

// The placeholder alone, so that the threads read nothing the caller changes.
void CopyPlaceholder(const TImageList& images, TImageList& placeholder)
{
    placeholder.SetBitsPerPixel(images.BitsPerPixel());
    if (images.Count() > 0) {
        const Bitmap mask = images.Mask(0);
        placeholder.Add(images.Image(0), &mask);
    }
}

} // namespace

void MakeThumbnails(const std::vector<std::string>& files, const TImageList& images, int displayBitsPerPixel,
                    int threads, const std::function<void(size_t, Bitmap)>& take, const std::function<void()>& waiting)
{
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = int(std::min<size_t>(size_t(threads), files.size()));
    if (threads <= 1) {
        for (size_t i = 0; i < files.size(); ++i)
            take(i, MakeThumbnail(files[i], images, displayBitsPerPixel));
        return;
    }

    TImageList placeholder(nullptr, images.Width(), images.Height());
    CopyPlaceholder(images, placeholder);
    Batch batch(files, placeholder, displayBitsPerPixel);
    std::vector<std::jthread> workers;
    // However the batch ends, the workers are told to stop before they are joined.
    struct StopOnExit {
        Batch& batch;
        std::vector<std::jthread>& workers;
        ~StopOnExit()
        {
            batch.Stop();
            workers.clear();
        }
    } stopOnExit{batch, workers};
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&batch] { batch.Work(); });
    for (size_t i = 0; i < files.size(); ++i) {
        Result result = batch.Take(i, waiting);
        if (result.error)
            std::rethrow_exception(result.error);
        take(i, std::move(*result.thumbnail));
    }
}

} // namespace vorlane
