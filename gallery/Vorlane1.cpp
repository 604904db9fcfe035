#include "gallery/Vorlane1.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "component/ComponentReader.h"
#include "component/ComponentWriter.h"
#include "gallery/ImageList.h"
#include "component/Stream.h"
#include "image/Stretch.h"
#include "gallery/Thumbnail.h"
#include "gallery/View.h"
#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"

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

// The file that a save replaces: a gallery reached through a symbolic link is replaced where it lies,
// so the link stays.
std::string SaveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// Creates a new, empty temporary file beside `target`; its mode follows the umask like any new file.
int CreateTemporary(const std::string& target, std::string& temporary)
{
    static unsigned counter = 0;
    // Named apart from the gallery's own name, so that a name near the length limit still saves.
    const std::string folder = path::ExtractFilePath(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + Format(".vorlane-save-%d-%u.tmp", int(::getpid()), counter++);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
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
        masks.push_back(NormalizedMask(
            Stretch(images.Mask(i), ThumbnailSize, ThumbnailSize, StretchMode::ColorOnColor)));
    }
    images.SetSize(ThumbnailSize, ThumbnailSize); // empties the list
    for (size_t i = 0; i < pictures.size(); ++i)
        images.Add(pictures[i], &masks[i]);
}

void SyncFolder(const std::string& target)
{
    std::string folder = path::ExtractFileDir(target);
    if (folder.empty())
        folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // the rename is durable once the folder is; a failure here loses nothing
        ::close(fd);
    }
}

} // namespace

TVorlane::TVorlane(TComponent* owner)
    : TComponent(owner),
      fileNames_(std::make_unique<TStringList>()),
      images_(std::make_unique<TImageList>(nullptr, 32, 32)),
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

void TVorlane::SetDefaultImages(const TImageList& defaults)
{
    images_->Assign(defaults);
}

void TVorlane::LoadGallery()
{
    const std::string fileName = GalleryFileName();
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return; // no gallery file yet: nothing changes, no refresh
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    ReadStreams(file);
    RefreshView();
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
// missing ones become the placeholder over white.
void TVorlane::MatchThumbnailsToNames()
{
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
    const std::string fileName = GalleryFileName();
    const std::string target = SaveTarget(fileName);
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0)
        throw EFCreateError(Format(msg::FCreateError, fileName.c_str()));
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777); // the gallery keeps its permissions

    TFileStream file(fd);
    try {
        WriteStreams(file);
        if (!file.Sync() || !file.Close())
            throw EWriteError(msg::WriteError);
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            throw EFCreateError(Format(msg::FCreateError, fileName.c_str()));
    } catch (...) {
        file.Close();
        ::unlink(temporary.c_str());
        throw;
    }
    SyncFolder(target);
}

void TVorlane::AddImages(const std::vector<std::string>& fileNames)
{
    for (const std::string& fileName : fileNames)
        AddImage(fileName);
    RefreshView();
}

void TVorlane::AddImage(const std::string& fileName)
{
    const Bitmap thumbnail = MakeThumbnail(fileName, *images_, displayBitsPerPixel_);
    const int index = images_->Add(thumbnail);
    try {
        fileNames_->Add(fileName);
    } catch (...) {
        images_->Delete(index);
        throw;
    }
}

void TVorlane::RefreshView()
{
    if (!view_)
        return;
    view_->BeginUpdate();
    try {
        view_->Clear();
        view_->SetLargeImages(images_.get());
        for (int i = 0; i < fileNames_->Count(); ++i)
            view_->AddItem(Caption(fileNames_->Get(i)), i + 1);
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
    RefreshView();
}

} // namespace vorlane
