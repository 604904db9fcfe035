#include "tools/vorlane-gsk/Commands.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string>

#include "component/ComponentReader.h"
#include "gallery/ImageList.h"
#include "component/Stream.h"
#include "gallery/Thumbnail.h"
#include "gallery/View.h"
#include "gallery/Vorlane1.h"
#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Path.h"
#include "platform/ReplacedFile.h"
#include "tools/vorlane-gsk/Json.h"
#include "tools/vorlane-gsk/Placeholder.h"
#include "tools/vorlane-gsk/Png.h"
#include "tools/vorlane-gsk/Relink.h"
#include "tools/vorlane-gsk/Text.h"

namespace vorlane::gsk {
namespace fs = std::filesystem;
namespace {

// The tool shows no list; the view only tells the gallery which entry is "selected" and which one it
// is "dropped on", so that removing and moving go through the gallery's own operations.
class SelectionView : public GalleryView {
public:
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void Clear() override {}
    void SetLargeImages(TImageList*) override {}
    void AddItem(const std::string&, int) override {}
    std::optional<int> SelectedIndex() const override { return selected; }
    std::optional<int> DropTargetIndex() const override { return dropTarget; }

    std::optional<int> selected;
    std::optional<int> dropTarget;
};

} // namespace

std::string AbsolutePath(const std::string& operand)
{
    std::string path = path::ExpandFileName(operand);
    files::CheckPathLength(path); // refused as the window refuses it, never cut
    return path;
}

// The gallery always works on "ManagerName with the extension .gsk", so a FILE with another extension
// would make it read or write a different file than the one named.
std::string GalleryOperand(const std::string& operand)
{
    const std::string file = AbsolutePath(operand);
    if (path::ChangeFileExt(file, ".gsk") != file)
        throw UsageError("'" + operand + "' is not a gallery file name: it must end in \".gsk\"");
    return file;
}

namespace {

void UsePlaceholder(TVorlane& gallery)
{
    TImageList defaults(nullptr, ThumbnailSize, ThumbnailSize);
    const Bitmap image = PlaceholderImage();
    const Bitmap mask = PlaceholderMask();
    defaults.Add(image, &mask);
    gallery.SetDefaultImages(defaults);
}

} // namespace

void LoadExisting(TVorlane& gallery, const std::string& file)
{
    if (!fs::is_regular_file(file))
        throw EFOpenError(Format(msg::FOpenError, file.c_str()));
    UsePlaceholder(gallery);
    gallery.SetManagerName(file);
    gallery.LoadGallery();
}

void ReportKeptAside(const TVorlane& gallery)
{
    if (gallery.KeptAside())
        std::fprintf(stderr, "%s: note: the version another program saved meanwhile is kept in %s\n", ToolName,
                     TerminalText(*gallery.KeptAside()).c_str());
}

namespace {

// Edits of one gallery exclude each other, across processes, from the read to the rename of the saved
// file: two edits at once each see the other's result instead of both starting from the same old file.
// The gallery is saved to the file it was loaded from (the name stored in a copied file does not lead
// elsewhere), and a version saved meanwhile by a program that did not wait is kept aside, not overwritten.
template <class Change>
void Edit(const std::string& file, TVorlane& gallery, Change change)
{
    const FolderLock lock(file);
    LoadExisting(gallery, file);
    change();
    gallery.SaveGallery();
    ReportKeptAside(gallery);
}

// An entry index operand, counted from 0; `pastLast` also admits the number of entries, the place after
// the last one.
int IndexOperand(const std::string& operand, const TVorlane& gallery, bool pastLast = false)
{
    int value = 0;
    const char* end = operand.data() + operand.size();
    const auto [stop, error] = std::from_chars(operand.data(), end, value);
    if (error != std::errc() || stop != end || operand.empty())
        throw UsageError("'" + operand + "' is not an entry index (a whole number from 0)");
    const int count = gallery.FileNames().Count();
    if (value < 0 || value > count || (value == count && !pastLast))
        throw EStringListError(Format(msg::ListIndexError, value));
    return value;
}

void Show(const Invocation& invocation, std::FILE* out)
{
    const std::string file = GalleryOperand(invocation.operands[0]);
    TVorlane gallery;
    LoadExisting(gallery, file);
    const TImageList& images = gallery.Images();
    const TStringList& names = gallery.FileNames();

    if (invocation.json) {
        JsonWriter json;
        json.BeginObject();
        json.Member("file", file);
        json.Member("managerName", gallery.StoredManagerName());
        json.Member("name", display::FileName(gallery.StoredManagerName()));
        json.Member("initialDir", gallery.InitialDir());
        json.Member("iniManagerName", gallery.IniManagerName());
        json.Member("formLeft", gallery.FormLeft());
        json.Member("formTop", gallery.FormTop());
        json.Member("formWidth", gallery.FormWidth());
        json.Member("formHeight", gallery.FormHeight());
        json.Key("images");
        json.BeginObject();
        json.Member("count", images.Count());
        json.Member("width", images.Width());
        json.Member("height", images.Height());
        json.Member("bitsPerPixel", images.BitsPerPixel());
        json.EndObject();
        json.Key("entries");
        json.BeginArray();
        for (const std::string& name : names.Items())
            json.String(name);
        json.EndArray();
        json.EndObject();
        std::fprintf(out, "%s\n", json.Text().c_str());
        return;
    }

    std::fprintf(out, "File:           %s\n", TerminalText(file).c_str());
    std::fprintf(out, "ManagerName:    %s\n", TerminalText(gallery.StoredManagerName()).c_str());
    std::fprintf(out, "Name:           %s\n", TerminalText(display::FileName(gallery.StoredManagerName())).c_str());
    std::fprintf(out, "InitialDir:     %s\n", TerminalText(gallery.InitialDir()).c_str());
    if (!gallery.IniManagerName().empty())
        std::fprintf(out, "IniManagerName: %s\n", TerminalText(gallery.IniManagerName()).c_str());
    std::fprintf(out, "Window:         left %d, top %d, width %d, height %d\n", int(gallery.FormLeft()),
                 int(gallery.FormTop()), int(gallery.FormWidth()), int(gallery.FormHeight()));
    std::fprintf(out, "Images:         %d of %dx%d, %d bits per pixel (the placeholder and one per entry)\n",
                 images.Count(), images.Width(), images.Height(), images.BitsPerPixel());
    std::fprintf(out, "Entries:        %d\n", names.Count());
    for (int i = 0; i < names.Count(); ++i)
        std::fprintf(out, "%4d  %s\n", i, TerminalText(names[i]).c_str());
}

void Add(const Invocation& invocation, std::FILE* out)
{
    const std::string file = GalleryOperand(invocation.operands[0]);
    TVorlane gallery;
    std::vector<std::string> pictures;
    for (size_t i = 1; i < invocation.operands.size(); ++i)
        pictures.push_back(AbsolutePath(invocation.operands[i]));

    const FolderLock lock(file);
    const bool exists = fs::exists(file);
    const auto addPictures = [&] {
        // On every core. The pictures before a failing one are added, so the count names the one that
        // failed; nothing is saved then, so the file stays as it was.
        const int before = gallery.FileNames().Count();
        ProgressLine progress("adding pictures");
        try {
            gallery.AddImages(pictures, 0, [&](size_t added) { progress.Show(added, pictures.size()); });
        } catch (const Exception& error) {
            const std::string& failed = pictures.at(size_t(gallery.FileNames().Count() - before));
            throw Exception(failed + ": " + error.Message());
        }
        // As the window's add command: the folder of the first picture, without its trailing separator.
        gallery.SetInitialDir(path::ExtractFileDir(pictures.front()));
    };
    if (exists) {
        Edit(file, gallery, addPictures);
    } else {
        UsePlaceholder(gallery);
        gallery.SetManagerName(file);
        gallery.LoadGallery(); // nothing to read: remembers that no file was there
        addPictures();
        gallery.SaveGallery();
        ReportKeptAside(gallery);
    }
    std::fprintf(out, "%s: %zu added, %d entries%s\n", TerminalText(file).c_str(), pictures.size(),
                 gallery.FileNames().Count(), exists ? "" : " (new gallery)");
}

void Remove(const Invocation& invocation, std::FILE* out)
{
    const std::string file = GalleryOperand(invocation.operands[0]);
    TVorlane gallery;
    SelectionView view;
    std::string removed;
    Edit(file, gallery, [&] {
        gallery.SetView(&view);
        view.selected = IndexOperand(invocation.operands[1], gallery);
        removed = gallery.GetSelectedFileName();
        gallery.DeleteSelected();
        gallery.SetView(nullptr);
    });
    std::fprintf(out, "%s: removed %d %s, %d entries left\n", TerminalText(file).c_str(), *view.selected,
                 TerminalText(removed).c_str(), gallery.FileNames().Count());
}

void Move(const Invocation& invocation, std::FILE* out)
{
    const std::string file = GalleryOperand(invocation.operands[0]);
    TVorlane gallery;
    SelectionView view;
    int from = 0, landed = 0;
    Edit(file, gallery, [&] {
        gallery.SetView(&view);
        from = IndexOperand(invocation.operands[1], gallery);
        const int to = IndexOperand(invocation.operands[2], gallery, true);
        const int last = gallery.FileNames().Count() - 1;
        view.selected = from;
        view.dropTarget = std::min(to, last);
        gallery.MoveSelected();
        landed = to > from ? to - 1 : to;
        if (to > last && from < last) {
            // A drop lands before its target, so the place after the last entry takes a second drag, as in
            // the window: the entry now just before the last one, then the last one dropped onto it.
            view.selected = last;
            view.dropTarget = last - 1;
            gallery.MoveSelected();
            landed = last;
        }
        gallery.SetView(nullptr);
    });
    std::fprintf(out, "%s: entry %d is now entry %d\n", TerminalText(file).c_str(), from, landed);
}

void Thumbs(const Invocation& invocation, std::FILE* out)
{
    const std::string file = GalleryOperand(invocation.operands[0]);
    TVorlane gallery;
    LoadExisting(gallery, file);
    const TImageList& images = gallery.Images();

    RgbaPicture sheet;
    sheet.width = images.Width() * images.Count();
    sheet.height = images.Height();
    sheet.pixels.assign(size_t(sheet.width) * size_t(sheet.height) * 4, 0);
    for (int i = 0; i < images.Count(); ++i) {
        const Bitmap& image = images.Image(i);
        const Bitmap& mask = images.Mask(i);
        for (int y = 0; y < images.Height(); ++y)
            for (int x = 0; x < images.Width(); ++x) {
                const Rgb colour = image.PixelRgb(x, y);
                const bool clear = !mask.Empty() && mask.PixelValue(x, y) != 0;
                uint8_t* pixel =
                    sheet.pixels.data() + (size_t(y) * size_t(sheet.width) + size_t(i * images.Width() + x)) * 4;
                pixel[0] = RedOf(colour);
                pixel[1] = GreenOf(colour);
                pixel[2] = BlueOf(colour);
                pixel[3] = clear ? 0 : 255;
            }
    }
    WriteFileBytes(invocation.operands[1], EncodePng(sheet));
    std::fprintf(out, "%s: %d images, %dx%d\n", TerminalText(invocation.operands[1]).c_str(), images.Count(),
                 sheet.width, sheet.height);
}

void Check(const Invocation& invocation, std::FILE* out)
{
    const std::string file = GalleryOperand(invocation.operands[0]);
    if (!fs::is_regular_file(file))
        throw EFOpenError(Format(msg::FOpenError, file.c_str()));
    const FolderLock lock(file); // as the program's load: no save of another program in the middle
    ReplacedFile::Recover(file); // and an in-place save killed half-way undone, as the load does

    // The file read once, by the program's own readers in the order of its load, so that a file the
    // program cannot load fails here with the same message. The gallery starts without a placeholder
    // and nothing is fitted to the names afterwards, so the counts below are the file's own; the load
    // stops after the image list and never looks further, while a whole file ends there.
    TVorlane gallery;
    TFileStream stream(file, TFileStream::Mode::OpenRead);
    {
        ComponentReader(stream).ReadComponent(gallery);
    }
    {
        ComponentReader(stream).ReadComponent(gallery.Images());
    }
    if (const int64_t rest = stream.Remaining(); rest > 0)
        throw Exception(TerminalText(file) + ": " + std::to_string(rest) + " bytes after the image list");

    const int entries = gallery.FileNames().Count();
    const TImageList& images = gallery.Images();
    if (images.Width() != ThumbnailSize || images.Height() != ThumbnailSize)
        throw Exception(TerminalText(file) + ": the images are " + std::to_string(images.Width()) + "x" +
                        std::to_string(images.Height()) + ", not 32x32");
    if (images.Count() != entries + 1)
        throw Exception(TerminalText(file) + ": " + std::to_string(entries) + " entries but " +
                        std::to_string(images.Count()) + " images (the placeholder and one per entry expected)");
    std::fprintf(out, "%s: ok (%d entries, %d images)\n", TerminalText(file).c_str(), entries, images.Count());
}

} // namespace

void RunCommand(const Invocation& invocation, std::FILE* out)
{
    const std::string& command = invocation.command;
    if (command == "show")
        Show(invocation, out);
    else if (command == "add")
        Add(invocation, out);
    else if (command == "remove")
        Remove(invocation, out);
    else if (command == "move")
        Move(invocation, out);
    else if (command == "thumbs")
        Thumbs(invocation, out);
    else if (command == "check")
        Check(invocation, out);
    else if (command == "relink")
        Relink(invocation, out);
    else
        throw UsageError("unknown command '" + command + "'");
}

} // namespace vorlane::gsk
