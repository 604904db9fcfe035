// Reads a whole gallery file (the gallery's stream, then its image list's) from the input bytes, then
// writes the result back. Every failure must be one of the system's exceptions; nothing may crash,
// hang or allocate more than the input can justify.
#include <cstddef>
#include <cstdint>
#include <span>

#include "gallery/ComponentReader.h"
#include "gallery/ComponentWriter.h"
#include "gallery/ImageList.h"
#include "gallery/Stream.h"
#include "gallery/Vorlane1.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vorlane;
    static const bool once = [] {
        path::SetProgramFolderForTesting("/nonexistent/"); // no folder probing for every input
        return true;
    }();
    (void)once;

    TVorlane gallery;
    TMemoryStream file(std::span<const uint8_t>(data, size));
    try {
        {
            ComponentReader reader(file);
            reader.ReadComponent(gallery);
        }
        {
            ComponentReader reader(file);
            reader.ReadComponent(gallery.Images());
        }
    } catch (const Exception&) {
        // A damaged file: the error is the answer; what was read so far stays and is written below.
    }
    try {
        TMemoryStream out;
        ComponentWriter(out).WriteComponent(gallery);
        ComponentWriter(out).WriteComponent(gallery.Images());
    } catch (const Exception&) {
    }
    return 0;
}
