// The thumbnails of many picture files, made on several threads and handed over in list order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "image/Bitmap.h"

namespace vorlane {

class TImageList;

// Makes the thumbnail of every file (as MakeThumbnail does) with up to `threads` threads (0: one per
// processor) and passes each to `take(index, thumbnail)` on the calling thread, in list order, as soon
// as it and every earlier one are ready. The first file whose thumbnail fails ends the batch: the
// earlier ones have been taken, no later one is, and its error is thrown here. An error thrown by
// `take` ends the batch too. No thread outlives the call.
//
// Each thread holds one picture's decoding state at a time, so memory grows with the threads, not the
// files. Missing files get image 0 of `images`, which is copied before any thread starts: `take` may
// change `images`.
//
// While the calling thread waits for the next thumbnail, it calls `waiting` (when given) about every
// tenth of a second, so that a window can be drawn meanwhile; an error it throws ends the batch as one
// of `take` does.
void MakeThumbnails(const std::vector<std::string>& files, const TImageList& images, int displayBitsPerPixel,
                    int threads, const std::function<void(size_t, Bitmap)>& take,
                    const std::function<void()>& waiting = {});

} // namespace vorlane
