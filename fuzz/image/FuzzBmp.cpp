// Reads any bytes as a bitmap file; every failure must be EInvalidGraphic. A picture that was read must
// write and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image/BmpFile.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vorlane;
    Bitmap picture;
    size_t consumed = 0;
    try {
        picture = ReadBmp({data, size}, &consumed);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    if (consumed > size)
        std::abort();
    if (!(ReadBmp(WriteBmp(picture)) == picture))
        std::abort();
    return 0;
}
