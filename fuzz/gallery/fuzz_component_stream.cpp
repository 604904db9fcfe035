// Reads a whole gallery file (the gallery's stream, then its image list's) from the input bytes as
// LoadGallery does, works on the result as the gallery commands do, then writes it back. Every failure
// must be one of the system's exceptions; nothing may crash, hang or allocate more than the input can
// justify, and after a load, failed or not, every operation must find one thumbnail per name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "gallery/ImageList.h"
#include "component/Stream.h"
#include "gallery/View.h"
#include "gallery/Vorlane1.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"

namespace {

// Selects and drops on entries chosen by the input's first bytes.
class FuzzView : public vorlane::GalleryView {
public:
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void Clear() override {}
    void SetLargeImages(vorlane::TImageList*) override {}
    void AddItem(const std::string&, int) override {}
    std::optional<int> SelectedIndex() const override { return selected; }
    std::optional<int> DropTargetIndex() const override { return dropTarget; }

    std::optional<int> selected;
    std::optional<int> dropTarget;
};

void CheckInvariant(const vorlane::TVorlane& gallery)
{
    const vorlane::TImageList& images = gallery.Images();
    if (images.Count() != gallery.FileNames().Count() + 1 || images.Width() != 32 || images.Height() != 32)
        std::abort();
}

} // namespace

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
        gallery.ReadStreams(file);
    } catch (const Exception&) {
        // A damaged file: the error is the answer; what was read so far stays and is used below.
    }
    CheckInvariant(gallery);

    FuzzView view;
    gallery.SetView(&view);
    try {
        gallery.AddImage("/nonexistent/picture.jpg"); // the placeholder over white
        const int count = gallery.FileNames().Count();
        view.selected = size > 0 ? data[0] % count : 0;
        view.dropTarget = size > 1 ? data[1] % count : count - 1;
        gallery.MoveSelected();
        gallery.DeleteSelected();
    } catch (const Exception&) {
        std::abort(); // nothing here may fail while one thumbnail stands for each name
    }
    CheckInvariant(gallery);
    try {
        TMemoryStream out;
        gallery.WriteStreams(out);
    } catch (const EWriteError&) {
        // More images than the image-list data can count.
    }
    gallery.ClearImages();
    CheckInvariant(gallery);
    return 0;
}
