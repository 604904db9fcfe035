#include "gallery/Vorlane1.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "component/ComponentReader.h"
#include "component/ComponentWriter.h"
#include "gallery/ImageList.h"
#include "component/Stream.h"
#include "image/Stretch.h"
#include "gallery/Thumbnail.h"
#include "gallery/ThumbnailBatch.h"
#include "gallery/View.h"
#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Path.h"
#include "platform/ReplacedFile.h"

namespace vorlane {
namespace {

PublishedProperty IntegerProperty(const char* name, int32_t& field)
{
    PublishedProperty property;
    property.name = name;
    property.kind = PropertyKind::Integer; // no declared default: stored unless NoDefault
    property.getInteger = [&field] { return field; };
    property.setInteger = [&field](int32_t value) { field = value; };
    return property;
}

PublishedProperty StringProperty(const char* name, std::string& field)
{
    PublishedProperty property;
    property.name = name;
    property.kind = PropertyKind::String;
    property.getString = [&field] { return field; };
    property.setString = [&field](const std::string& value) { field = value; };
    return property;
}

// The first bytes of every gallery file: the component stream's signature.
bool LooksLikeGallery(const std::string& file)
{
    const int fd = files::OpenRegularFileToRead(file);
    if (fd < 0)
        return false;
    char head[4] = {};
    const bool gallery =
        files::ReadSome(fd, head, sizeof head) == int64_t(sizeof head) && std::memcmp(head, "TPF0", 4) == 0;
    files::CloseFile(fd);
    return gallery;
}

// The file that a save replaces: a gallery reached through a symbolic link is replaced where it lies,
// so the link stays. A link that another user made (in a shared folder, say) is followed only into a
// gallery file: it must not turn the save into a write over one of the user's other files.
std::string SaveTarget(const std::string& path)
{
    if (files::EntryKindOf(path) != files::Kind::Link)
        return path;
    const std::string target = files::ResolvedPath(path);
    if (files::BelongsToThisUser(path))
        return target.empty() ? path : target;
    if (target.empty() || files::KindOf(target) != files::Kind::Regular || !LooksLikeGallery(target))
        throw EFCreateError(Format(msg::FCreateError, path.c_str()));
    return target;
}

// The component stream's output, straight into the replacing file.
class ReplacedFileStream final : public TStream {
public:
    explicit ReplacedFileStream(ReplacedFile& file) : file_(file) {}
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override
    {
        if (!file_.Write(std::span(static_cast<const uint8_t*>(buffer), count)))
            return 0;
        position_ += int64_t(count);
        return count;
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override
    {
        if (origin == SeekOrigin::Current && offset == 0)
            return position_;
        throw EWriteError(msg::WriteError); // the writer only appends
    }

private:
    ReplacedFile& file_;
    int64_t position_ = 0;
};

// Moves another program's version of `file` to a new name beside it: "name (2).gsk", "name (3).gsk", ...
// Never over an existing file, not even one made meanwhile.
std::string SetAside(const std::string& file)
{
    const std::string stem = path::ChangeFileExt(file, "");
    std::string aside;
    for (int n = 2; n < 1000; ++n) {
        aside = stem + Format(" (%d).gsk", n);
        const files::Renamed renamed = files::RenameWithoutReplacing(file, aside);
        if (renamed == files::Renamed::Yes)
            return aside;
        if (renamed == files::Renamed::Failed)
            break;
    }
    throw EFCreateError(Format(msg::FCreateError, aside.c_str()));
}

// Image `index` drawn through its mask onto a new white bitmap of the list's size and depth; an index past
// the list's end leaves it white.
Bitmap DrawnOnWhite(const TImageList& images, int index)
{
    Bitmap bitmap(images.Width(), images.Height(), images.BitsPerPixel());
    bitmap.Fill(MakeRgb(255, 255, 255));
    if (index < images.Count())
        images.Draw(bitmap, 0, 0, index);
    return bitmap;
}

// Stretches every image and its mask to the thumbnail size, keeping one source pixel per target pixel.
void FitToThumbnailSize(TImageList& images)
{
    std::vector<Bitmap> pictures, masks;
    for (int i = 0; i < images.Count(); ++i) {
        pictures.push_back(Stretch(images.Image(i), ThumbnailSize, ThumbnailSize, StretchMode::ColorOnColor));
        masks.push_back(
            NormalizedMask(Stretch(images.Mask(i), ThumbnailSize, ThumbnailSize, StretchMode::ColorOnColor)));
    }
    images.SetSize(ThumbnailSize, ThumbnailSize); // empties the list
    for (size_t i = 0; i < pictures.size(); ++i)
        images.Add(pictures[i], &masks[i]);
}

} // namespace

TVorlane::TVorlane(TComponent* owner)
    : TComponent(owner),
      fileNames_(std::make_unique<TStringList>()),
      images_(std::make_unique<TImageList>(nullptr, 32, 32)),
      defaults_(std::make_unique<TImageList>(nullptr, 32, 32)),
      managerName_(path::ProgramFolder() + "画集")
{
}

TVorlane::~TVorlane() = default;

std::vector<PublishedProperty> TVorlane::PublishedProperties()
{
    std::vector<PublishedProperty> properties = TComponent::PublishedProperties();

    PublishedProperty fileNames;
    fileNames.name = "FileNames";
    fileNames.kind = PropertyKind::StringList;
    fileNames.list = [this] { return &fileNames_->Items(); };
    // An image list holds at most 32767 images, the placeholder among them: a file naming more
    // pictures cannot be a gallery, and each name would cost a thumbnail's memory.
    fileNames.maxListEntries = MaxEntries;
    properties.push_back(std::move(fileNames));

    properties.push_back(IntegerProperty("FormTop", formTop_));
    properties.push_back(IntegerProperty("FormLeft", formLeft_));
    properties.push_back(IntegerProperty("FormWidth", formWidth_));
    properties.push_back(IntegerProperty("FormHeight", formHeight_));
    properties.push_back(StringProperty("InitialDir", initialDir_));
    // A Windows path read from a gallery file names no file here: the gallery keeps the path it was
    // opened under, so that it is saved where it was loaded from, and the Windows path only names it.
    PublishedProperty managerName = StringProperty("ManagerName", managerName_);
    managerName.getString = [this] { return StoredManagerName(); };
    managerName.setString = [this](const std::string& value) {
        if (path::IsWindowsPath(value)) {
            windowsName_ = value;
        } else {
            managerName_ = value;
            windowsName_.clear();
        }
    };
    properties.push_back(std::move(managerName));
    properties.push_back(StringProperty("IniManagerName", iniManagerName_));
    return properties;
}

std::string TVorlane::GalleryFileName() const
{
    return path::ChangeFileExt(managerName_, ".gsk");
}

std::string TVorlane::Caption(const std::string& fileName)
{
    return display::FileTitle(fileName);
}

void TVorlane::Caption(const std::string& fileName, std::string& caption)
{
    display::FileTitle(fileName, caption);
}

void TVorlane::SetDefaultImages(const TImageList& defaults)
{
    images_->Assign(defaults);
    defaults_->Assign(defaults);
}

void TVorlane::SetFileNames(const TStringList& names)
{
    fileNames_->Assign(names);
    modified_ = true;
}

void TVorlane::SetInitialDir(const std::string& folder)
{
    modified_ = modified_ || folder != initialDir_;
    initialDir_ = folder;
}

void TVorlane::RememberVersion(const std::string& fileName)
{
    versionFile_ = fileName;
    version_ = IdentityOf(fileName);
    modified_ = false;
}

void TVorlane::LoadGallery()
{
    const std::string fileName = GalleryFileName();
    const FolderLock lock(fileName, lockAsk_); // no save of another program in the middle of the read
    ReplacedFile::Recover(fileName);
    RememberVersion(fileName);
    if (files::KindOf(fileName) != files::Kind::Regular)
        return; // no gallery file yet: nothing changes, no refresh
    try {
        ReadGalleryFile(fileName, std::string(managerName_));
    } catch (...) {
        modified_ = true; // what was read is not what the file holds
        throw;
    }
    RefreshView();
}

void TVorlane::ReadGalleryFile(const std::string& fileName, const std::string& requestedName)
{
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    try {
        ReadStreams(file);
    } catch (...) {
        if (!SameFile(GalleryFileName(), fileName))
            managerName_ = requestedName;
        throw;
    }
    if (!SameFile(GalleryFileName(), fileName))
        managerName_ = requestedName;
}

bool TVorlane::ChangedOnDisk() const
{
    const std::string fileName = GalleryFileName();
    return (fileName == versionFile_ || SameFile(fileName, versionFile_)) && IdentityOf(fileName) != version_;
}

bool TVorlane::TakeContentOf(const std::string& fileName)
{
    TVorlane other;
    other.SetDefaultImages(*defaults_);
    other.SetDisplayBitsPerPixel(displayBitsPerPixel_);
    other.SetManagerName(managerName_);
    try {
        other.ReadGalleryFile(fileName, std::string(managerName_));
    } catch (const Exception&) {
        return false;
    }
    fileNames_->Assign(*other.fileNames_);
    images_->Assign(*other.images_);
    initialDir_ = other.initialDir_;
    iniManagerName_ = other.iniManagerName_;
    managerName_ = other.managerName_;
    windowsName_ = other.windowsName_;
    return true;
}

bool TVorlane::ReloadIfChanged()
{
    const std::string fileName = GalleryFileName();
    if (modified_ || !ChangedOnDisk())
        return false;
    try {
        const FolderLock lock(fileName, [](const std::string&) { return LockWait::GiveUp; });
        ReplacedFile::Recover(fileName);
        if (!ChangedOnDisk() || !IdentityOf(fileName))
            return false;
        if (!TakeContentOf(fileName))
            return false; // a damaged version stays for SaveGallery to move aside
        RememberVersion(fileName);
    } catch (const EFileBusy&) {
        return false; // another program is saving: a later notice or the next save takes its version
    }
    RefreshView();
    return true;
}

void TVorlane::ReadStreams(TStream& stream)
{
    try {
        // Each reader gives back what it fetched past its stream's end, so the second starts right
        // after the first.
        {
            ComponentReader reader(stream);
            reader.ReadComponent(*this);
        }
        {
            ComponentReader reader(stream);
            reader.ReadComponent(*images_);
        }
    } catch (...) {
        MatchThumbnailsToNames();
        throw;
    }
    MatchThumbnailsToNames();
}

void TVorlane::WriteStreams(TStream& stream)
{
    {
        ComponentWriter writer(stream);
        writer.WriteComponent(*this);
    }
    ComponentWriter writer(stream);
    writer.WriteComponent(*images_);
}

// A file whose image list does not fit its names (damaged, cut short after stream 1, a gallery without
// entries loaded into one that has some, thumbnails of another size) would leave indices and sizes that
// later operations trip over, and an image size from the file would make every placeholder as large as
// that claims. Surplus thumbnails are dropped, the rest stretched to 32x32 when they are not, and
// missing ones become the placeholder over white. Image data that failed to read leaves no placeholder
// at all: the program's own comes back, rather than a white one that every later save would keep.
void TVorlane::MatchThumbnailsToNames()
{
    if (images_->Count() == 0 && defaults_->Count() > 0)
        images_->Assign(*defaults_);
    const int wanted = fileNames_->Count() + 1;
    while (images_->Count() > wanted)
        images_->Delete(images_->Count() - 1);
    if (images_->Width() != ThumbnailSize || images_->Height() != ThumbnailSize)
        FitToThumbnailSize(*images_);
    while (images_->Count() < wanted)
        images_->Add(DrawnOnWhite(*images_, 0));
}

void TVorlane::SaveGallery()
{
    keptAside_.reset();
    const std::string fileName = GalleryFileName();
    std::string target = SaveTarget(fileName);
    const FolderLock lock(target, lockAsk_); // from the check below to the rename
    std::optional<FolderLock> nameLock;      // the gallery's own folder, when the save goes there instead
    ReplacedFile::Recover(target);

    if (ChangedOnDisk() && IdentityOf(target)) {
        if (!modified_ && TakeContentOf(target)) {
            RefreshView();
        } else if (target != fileName && !LooksLikeGallery(target)) {
            // The user's link now leads to another kind of file: that file is no version of the gallery
            // and keeps its name; the link goes aside, and the gallery is saved under its own name.
            nameLock.emplace(fileName, lockAsk_);
            keptAside_ = SetAside(fileName);
            target = fileName;
        } else {
            keptAside_ = SetAside(target);
        }
    }

    ReplacedFile file(target, files::NewFileMode());
    if (!file.Open())
        throw EFCreateError(Format(msg::FCreateError, fileName.c_str()));
    ReplacedFileStream stream(file);
    WriteStreams(stream);
    if (!file.Commit(true)) {
        // A failed write in place put the old content back, which this gallery knew already; only its
        // time is new (another user's file cannot take its old time back).
        if (file.InPlace())
            version_ = IdentityOf(target);
        throw EWriteError(msg::WriteError);
    }
    RememberVersion(fileName);
}

void TVorlane::AddImages(const std::vector<std::string>& fileNames, int threads,
                         const std::function<void(size_t)>& progress)
{
    // Decoded on every core, appended in list order as AddImage appends one. AddImage refuses the
    // first picture past the limit, or with a path longer than the system takes, before decoding it;
    // so does this, after adding those before it.
    const size_t room = MaxEntries - std::min(MaxEntries, size_t(fileNames_->Count()));
    const auto tooLong = std::find_if_not(fileNames.begin(), fileNames.end(), files::PathFits);
    const std::vector<std::string> fitting(
        fileNames.begin(),
        fileNames.begin() + ptrdiff_t(std::min({room, fileNames.size(), size_t(tooLong - fileNames.begin())})));
    size_t added = 0;
    const auto waiting = [&] { progress(added); };
    MakeThumbnails(
        fitting, *images_, displayBitsPerPixel_, threads,
        [&](size_t i, Bitmap thumbnail) {
            const int index = images_->Add(thumbnail);
            try {
                fileNames_->Add(fitting[i]);
            } catch (...) {
                images_->Delete(index);
                throw;
            }
            modified_ = true;
            if (progress)
                progress(++added);
        },
        progress ? std::function<void()>(waiting) : std::function<void()>());
    if (fitting.size() < fileNames.size())
        AddImage(fileNames[fitting.size()]); // refused: the gallery is full, or the path too long
    RefreshView();
}

void TVorlane::AddImage(const std::string& fileName)
{
    if (size_t(fileNames_->Count()) >= MaxEntries)
        throw EInvalidOperation(Format("画集に入る画像は %d 枚までです", int(MaxEntries)));
    files::CheckPathLength(fileName);
    const Bitmap thumbnail = MakeThumbnail(fileName, *images_, displayBitsPerPixel_);
    const int index = images_->Add(thumbnail);
    try {
        fileNames_->Add(fileName);
    } catch (...) {
        images_->Delete(index);
        throw;
    }
    modified_ = true;
}

void TVorlane::RefreshView()
{
    if (!view_)
        return;
    view_->BeginUpdate();
    try {
        view_->Clear();
        view_->SetLargeImages(images_.get());
        std::string caption;
        for (int i = 0; i < fileNames_->Count(); ++i) {
            Caption(fileNames_->Get(i), caption);
            view_->AddItem(caption, i + 1);
        }
    } catch (...) {
        view_->EndUpdate();
        throw;
    }
    view_->EndUpdate();
}

std::string TVorlane::GetSelectedFileName() const
{
    const std::optional<int> selected = view_ ? view_->SelectedIndex() : std::nullopt;
    return selected ? fileNames_->Get(*selected) : std::string();
}

void TVorlane::DeleteImage(int index)
{
    fileNames_->Delete(index);
    images_->Delete(index + 1);
    modified_ = true;
}

void TVorlane::DeleteSelected()
{
    const std::optional<int> selected = view_ ? view_->SelectedIndex() : std::nullopt;
    if (!selected)
        return;
    DeleteImage(*selected);
    RefreshView();
}

void TVorlane::ClearImages()
{
    for (int k = fileNames_->Count() - 1; k >= 0; --k)
        DeleteImage(k);
    RefreshView();
}

void TVorlane::MoveSelected()
{
    if (!view_)
        return;
    const std::optional<int> dragged = view_->SelectedIndex();
    const std::optional<int> target = view_->DropTargetIndex();
    if (!dragged || !target)
        return;
    const int s = *dragged;
    const int t = *target;
    const std::string name = fileNames_->Get(s); // both indices are checked before anything changes
    fileNames_->Get(t);

    // The copy is the thumbnail drawn onto white and goes in without a mask (opaque).
    const Bitmap copy = DrawnOnWhite(*images_, s + 1);
    fileNames_->Insert(t, name);
    try {
        images_->Insert(t + 1, copy);
    } catch (...) {
        fileNames_->Delete(t);
        throw;
    }
    // Inserting before the dragged entry moved it one place on.
    if (t < s) {
        fileNames_->Delete(s + 1);
        images_->Delete(s + 2);
    } else {
        fileNames_->Delete(s);
        images_->Delete(s + 1);
    }
    modified_ = true;
    RefreshView();
}

} // namespace vorlane
