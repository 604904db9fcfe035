// The gallery component: the current gallery's picture list, a parallel list of 32x32 thumbnails, the
// main window's last position and size, and two path settings. It fills the list view and reads and
// writes its own gallery file (two component streams: this component's, then its image list's).
//
// Invariant kept by every operation: Images() holds one image more than FileNames() has entries; image
// 0 is the placeholder and entry i's thumbnail is image i+1; after RefreshView list item i shows entry i
// with image i+1.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "component/Component.h"
#include "platform/FileIdentity.h"
#include "platform/FolderLock.h"
#include "platform/StringList.h"

namespace vorlane {

class GalleryView;
class TImageList;
class TStream;

class TVorlane : public TComponent {
public:
    explicit TVorlane(TComponent* owner = nullptr);
    ~TVorlane() override;
    std::string ClassName() const override { return "TVorlane"; }

    // The most pictures a gallery file can hold: its image list counts at most 32767 images.
    static constexpr size_t MaxEntries = 32766;

    // Published, in this order after the inherited Name and Tag: FileNames, FormTop, FormLeft,
    // FormWidth, FormHeight, InitialDir, ManagerName, IniManagerName.
    std::vector<PublishedProperty> PublishedProperties() override;

    const TStringList& FileNames() const { return *fileNames_; }
    void SetFileNames(const TStringList& names); // copies the entries
    TImageList& Images() { return *images_; }
    const TImageList& Images() const { return *images_; }

    // The list view; not owned. Without one, RefreshView does nothing and nothing is selected.
    GalleryView* View() const { return view_; }
    void SetView(GalleryView* view) { view_ = view; }

    // Path of the current gallery; the gallery file is this path with its extension replaced by ".gsk".
    // Starts as the program folder followed by "画集". Naming the gallery ends its Windows name.
    const std::string& ManagerName() const { return managerName_; }
    void SetManagerName(const std::string& name)
    {
        managerName_ = name;
        windowsName_.clear();
    }
    // ManagerName as the gallery file stores it, which the caption shows. A gallery made on Windows
    // stores a Windows path (in Shift_JIS) that names no file here: loading it leaves ManagerName the
    // path the file was opened under, where it is saved, and keeps the Windows path as its name, written
    // back unchanged, until the gallery is given another.
    const std::string& StoredManagerName() const { return windowsName_.empty() ? managerName_ : windowsName_; }
    const std::string& IniManagerName() const { return iniManagerName_; }
    void SetIniManagerName(const std::string& name) { iniManagerName_ = name; }
    const std::string& InitialDir() const { return initialDir_; }
    void SetInitialDir(const std::string& folder);

    // The main window's geometry at the last close (0, 0, 600, 400 at first).
    int32_t FormTop() const { return formTop_; }
    int32_t FormLeft() const { return formLeft_; }
    int32_t FormWidth() const { return formWidth_; }
    int32_t FormHeight() const { return formHeight_; }
    void SetFormTop(int32_t value) { formTop_ = value; }
    void SetFormLeft(int32_t value) { formLeft_ = value; }
    void SetFormWidth(int32_t value) { formWidth_ = value; }
    void SetFormHeight(int32_t value) { formHeight_ = value; }

    // Bits per pixel of the display the thumbnails are made for (24 unless the application sets the
    // screen's); it chooses the stretch mode and, at 8 or fewer, the JPEG colour reduction.
    int DisplayBitsPerPixel() const { return displayBitsPerPixel_; }
    void SetDisplayBitsPerPixel(int bitsPerPixel) { displayBitsPerPixel_ = bitsPerPixel; }

    // ManagerName with its extension replaced by ".gsk" (appended when it has none).
    std::string GalleryFileName() const;
    // A list item's caption: the file name without folder and without extension ("a.b.jpg" -> "a.b"),
    // shown as UTF-8. A Windows path (in Shift_JIS from a gallery made on Windows) is taken apart by
    // the Windows rules; the entry itself keeps its bytes. Also into `caption`, whose room is used again.
    static std::string Caption(const std::string& fileName);
    static void Caption(const std::string& fileName, std::string& caption);

    // Images becomes a copy of `defaults` (the placeholder list), which is also kept to restore the
    // placeholder when a damaged file takes it away. Called once, before anything else.
    void SetDefaultImages(const TImageList& defaults);

    // Reads the gallery file, when one exists, into this component and Images, then refreshes the view.
    // Values read before an error stay applied. A file whose thumbnails do not match its names gets
    // placeholder thumbnails (or loses the surplus), and thumbnails of another size are stretched to
    // 32x32, so the invariant holds. The ManagerName stored in the file is taken only when it names
    // this very file: a copy, a moved file or a hand-made one keeps the name it was opened under, so it
    // is saved where it was loaded from. An in-place save that was killed half-way is undone first
    // (ReplacedFile::Recover). Errors: EFOpenError, EReadError, EFileBusy.
    void LoadGallery();
    // Writes this component and Images into the gallery file, through ReplacedFile: the old file stays
    // as it was until the new content is complete and on the disk, a write-protected file is refused,
    // and the file keeps its mode, owner and links. A symbolic link is followed when the user owns it,
    // or when it leads to a gallery file; a link planted by another user into any other file is
    // refused. Edits of the gallery exclude each other across processes (FolderLock).
    //
    // When the file changed on disk since this gallery last read or wrote it (another program saved
    // it): without changes of its own the gallery first takes the other version's content (keeping its
    // window geometry), so nothing of it is lost; with changes of its own the other version is moved
    // aside to a new name beside the gallery, never over an existing file, and KeptAside() names it.
    // When the gallery's name is a link that now leads to a file that is no gallery, the link is what
    // goes aside: that file keeps its name and content, and the gallery is saved under its own name.
    // Errors: EFCreateError, EWriteError, EFileBusy.
    void SaveGallery();
    // Where the last SaveGallery put another program's version of the file, if it had to.
    const std::optional<std::string>& KeptAside() const { return keptAside_; }
    // True when the entries, their thumbnails or InitialDir changed since the file was last read or
    // written (the window's geometry does not count).
    bool Modified() const { return modified_; }
    // True when the gallery file is not the version this gallery last read or wrote.
    bool ChangedOnDisk() const;
    // Takes the file's new content when it changed on disk and this gallery has no changes of its own,
    // then refreshes the view; true when it did. False also when another program held the gallery's lock
    // for a moment: the version it is saving comes with its own notice. Errors: those of LoadGallery.
    bool ReloadIfChanged();
    // The gallery file's content without the file: this component's stream, then Images', back to back.
    // Reading leaves one 32x32 thumbnail per name also when it fails part-way (see LoadGallery); neither
    // touches the view.
    void ReadStreams(TStream& stream);
    void WriteStreams(TStream& stream);

    // Appends each file in order (AddImage), then refreshes once. Stops at the first file whose
    // thumbnail cannot be made: those before it stay added, the view is not refreshed. The thumbnails
    // are made on `threads` threads (0: one per processor); the result is the same for any number.
    // `progress` (when given) is told how many of the files are added, after each one and about every
    // tenth of a second while the next is made; an error it throws ends the add as a failing file does.
    void AddImages(const std::vector<std::string>& fileNames, int threads = 0,
                   const std::function<void(size_t added)>& progress = {});
    // Appends the name and its thumbnail together (a missing file gets the placeholder). On an error
    // (EFOpenError, EInvalidGraphic, EJPEG; EInvalidOperation when the gallery holds MaxEntries
    // pictures already, as no more could be saved; EPathTooLong for a path longer than the system
    // takes, files::CheckPathLength) nothing changes.
    void AddImage(const std::string& fileName);

    // Asked when another program of the user held the gallery's lock for a moment (FolderLock), by the
    // load and the save; without it they wait up to FolderLock::CommandPatience. The window sets one, as
    // its thread must not stall.
    void SetLockAsk(LockAsk ask) { lockAsk_ = std::move(ask); }

    // Rebuilds the view's items from FileNames.
    void RefreshView();
    // The entry of the view's selected item; empty when nothing is selected.
    std::string GetSelectedFileName() const;
    // Removes entry i and image i+1; no refresh.
    void DeleteImage(int index);
    // Removes the selected entry and refreshes; nothing at all without a selection.
    void DeleteSelected();
    // Removes every entry and thumbnail (the placeholder stays), then refreshes.
    void ClearImages();
    // Moves the selected entry to just before the drop-target entry, then refreshes; nothing at all
    // without a selection or a drop target.
    void MoveSelected();

private:
    void MatchThumbnailsToNames();
    // Reads `fileName` (which exists) into this gallery, keeping `requestedName` unless the stored name
    // leads to the same file.
    void ReadGalleryFile(const std::string& fileName, const std::string& requestedName);
    // The other version's content, read into a scratch gallery, replaces this one's; the geometry stays.
    bool TakeContentOf(const std::string& fileName);
    void RememberVersion(const std::string& fileName);

    std::unique_ptr<TStringList> fileNames_;
    std::unique_ptr<TImageList> images_;   // freed before fileNames_
    std::unique_ptr<TImageList> defaults_; // the program's own placeholder list
    GalleryView* view_ = nullptr;
    std::string managerName_;
    std::string windowsName_; // the stored ManagerName when it is a Windows path
    std::string iniManagerName_;
    int32_t formTop_ = 0;
    int32_t formLeft_ = 0;
    int32_t formWidth_ = 600;
    int32_t formHeight_ = 400;
    std::string initialDir_;
    int displayBitsPerPixel_ = 24;
    // The version of the gallery file last read or written, to notice another program's change.
    std::string versionFile_;
    std::optional<FileIdentity> version_;
    bool modified_ = false;
    std::optional<std::string> keptAside_;
    LockAsk lockAsk_;
};

} // namespace vorlane
