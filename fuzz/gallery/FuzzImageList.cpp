// Reads any bytes as image-list data into an image list; every failure must be one of the system's
// exceptions. What was read must write back and read again to the same images.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gallery/ImageList.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vorlane;
    TImageList list(nullptr, 32, 32);
    try {
        list.ReadData({data, size});
    } catch (const Exception&) {
        if (list.Count() != 0)
            std::abort(); // a failed read leaves the list empty
        return 0;
    }
    try {
        TImageList again;
        again.ReadData(list.WriteData());
        if (again.Count() != list.Count())
            std::abort();
        for (int k = 0; k < list.Count(); ++k)
            if (!(again.Image(k) == list.Image(k)) || !(again.Mask(k) == list.Mask(k)))
                std::abort();
    } catch (const EWriteError&) {
        // A list read in the older layout may be too large for the current one.
    }
    return 0;
}
