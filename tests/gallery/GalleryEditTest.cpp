// Saving without losing anybody's edit: another program's version of the file, the file's permissions,
// owner and links, links planted by other users, temporary files of interrupted saves, and the most
// pictures a gallery file can hold.
#include <fcntl.h>
#include <sys/file.h>

#include "TestSystemCalls.h"
#include "tests/gallery/GalleryFixture.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/ErrorOf.h"

namespace vorlane::test {
namespace {

TEST_F(GalleryModel, SaveTakesAnotherProgramsVersionWhenItHasNoChangeOfItsOwn)
{
    TVorlane gallery;
    Prepare(gallery, "AB");
    gallery.SaveGallery();
    EditElsewhere(gallery.ManagerName(), Picture('C'));
    EXPECT_TRUE(gallery.ChangedOnDisk());

    // The window closes: only its geometry is new.
    gallery.SetFormTop(77);
    gallery.SaveGallery();
    EXPECT_FALSE(gallery.KeptAside());
    EXPECT_EQ(Order(gallery), "ABC");
    EXPECT_EQ(view.items.size(), 3u);
    const auto saved = Loaded(gallery.ManagerName());
    EXPECT_EQ(saved->FileNames(), gallery.FileNames());
    EXPECT_EQ(saved->FormTop(), 77);

    // While open, without changes of its own, the gallery shows the other version at once.
    EditElsewhere(gallery.ManagerName(), Picture('D'));
    EXPECT_TRUE(gallery.ReloadIfChanged());
    EXPECT_EQ(Order(gallery), "ABCD");
    EXPECT_FALSE(gallery.ReloadIfChanged());
}

TEST_F(GalleryModel, SaveKeepsAnotherProgramsVersionAsideWhenBothChanged)
{
    TVorlane gallery;
    Prepare(gallery, "AB");
    gallery.SaveGallery();
    EditElsewhere(gallery.ManagerName(), Picture('C'));
    const Bytes theirs = ReadBytes(gallery.GalleryFileName());
    WriteFile(dir + "画集 (2).gsk", Bytes{'m', 'i', 'n', 'e'}); // an unrelated file of the first free name

    view.selected = 0;
    gallery.DeleteSelected();
    EXPECT_FALSE(gallery.ReloadIfChanged()) << "an own change is never dropped";
    gallery.SaveGallery();
    ASSERT_TRUE(gallery.KeptAside());
    EXPECT_EQ(*gallery.KeptAside(), dir + "画集 (3).gsk");
    EXPECT_EQ(ReadBytes(*gallery.KeptAside()), theirs);
    EXPECT_EQ(ReadBytes(dir + "画集 (2).gsk"), (Bytes{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(Loaded(gallery.ManagerName())->FileNames(), gallery.FileNames());
    EXPECT_EQ(Order(gallery), "B");

    // Saved again with nothing new on disk: nothing more is set aside.
    gallery.SaveGallery();
    EXPECT_FALSE(gallery.KeptAside());
}

// A file nobody may write stays as it is, for root as well; the message is the one for a file that
// cannot be created.
TEST_F(GalleryModel, WriteProtectedFileIsRefused)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    const Bytes old = ReadBytes(gallery.GalleryFileName());
    ASSERT_EQ(::chmod(gallery.GalleryFileName().c_str(), 0444), 0);
    gallery.AddImage(Picture('B'));
    EXPECT_EQ(test::ErrorOf<EFCreateError>([&] { gallery.SaveGallery(); }),
              "ファイル " + gallery.GalleryFileName() + " を作成できません");
    EXPECT_EQ(ReadBytes(gallery.GalleryFileName()), old);
    EXPECT_EQ(FolderEntries(dir).size(), 3u) << "a.bmp, b.bmp and the gallery, nothing else";
    ::chmod(gallery.GalleryFileName().c_str(), 0644); // Windows removes no read-only file
}

// The file keeps its mode and owner, and every one of its names sees the new content.
TEST_F(GalleryModel, SaveKeepsModeOwnerAndHardLinks)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    const std::string file = gallery.GalleryFileName();
    ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    gallery.AddImage(Picture('B'));
    gallery.SaveGallery();
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);

    ASSERT_EQ(::link(file.c_str(), (dir + "second.gsk").c_str()), 0);
    gallery.AddImage(Picture('C'));
    gallery.SaveGallery();
    EXPECT_EQ(ReadBytes(dir + "second.gsk"), ReadBytes(file));
    struct stat again {};
    ASSERT_EQ(::stat(file.c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, st.st_ino);
    EXPECT_EQ(again.st_nlink, 2u);
}

// A writable gallery in a folder that takes no new file is written in place; a disk that fills up
// meanwhile leaves the old content.
TEST_F(GalleryModel, WritableGalleryInAnUnwritableFolderIsSavedInPlace)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    const std::string file = gallery.GalleryFileName();
    ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    const Bytes old = ReadBytes(file);
    gallery.AddImages({Picture('B'), Picture('C')});
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    const auto entries = FolderEntries(dir);

    EXPECT_EQ(InChild([&] {
                  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                      return 3;
                  try {
                      const FileSizeLimit full(old.size()); // the new content is longer
                      gallery.SaveGallery();
                      return 1;
                  } catch (const EWriteError& error) {
                      if (error.Message() != "ストリームへの書き込みエラー")
                          return 2;
                  }
                  if (ReadBytes(file) != old)
                      return 4;
                  gallery.SaveGallery();
                  return 0;
              }),
              0);
    EXPECT_EQ(FolderEntries(dir), entries);
    EXPECT_EQ(Order(*Loaded(gallery.ManagerName())), "ABC");
}

// In a shared folder another user links the gallery's name to one of the victim's other files: the save
// refuses rather than write a gallery over it. A link of that user into a gallery is still followed.
TEST_F(GalleryModel, LinkPlantedByAnotherUserIntoAnotherFileIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link owned by another user needs root to make";
    TVorlane gallery;
    Prepare(gallery, "A");
    WriteFile(dir + "notes.txt", Bytes{'n', 'o', 't', 'e', 's'});
    ASSERT_EQ(::symlink((dir + "notes.txt").c_str(), (dir + "new.gsk").c_str()), 0);
    ASSERT_EQ(::lchown((dir + "new.gsk").c_str(), 1234, 1234), 0);
    gallery.SetManagerName(dir + "new");
    EXPECT_THROW(gallery.SaveGallery(), EFCreateError);
    EXPECT_EQ(ReadBytes(dir + "notes.txt"), (Bytes{'n', 'o', 't', 'e', 's'}));

    gallery.SetManagerName(dir + "real");
    gallery.SaveGallery();
    ASSERT_EQ(::symlink((dir + "real.gsk").c_str(), (dir + "shared.gsk").c_str()), 0);
    ASSERT_EQ(::lchown((dir + "shared.gsk").c_str(), 1234, 1234), 0);
    gallery.SetManagerName(dir + "shared");
    gallery.AddImage(Picture('B'));
    gallery.SaveGallery();
    EXPECT_TRUE(fs::is_symlink(dir + "shared.gsk"));
    EXPECT_EQ(Loaded(dir + "real")->FileNames().Count(), 2);
}

// The user replaces the open gallery's file by a link of their own to a text file: the text file keeps
// its name and bytes, the link is what goes aside, and the gallery is saved under its own name.
TEST_F(GalleryModel, OwnLinkToATextFileInPlaceOfTheGalleryGoesAsideNotTheTextFile)
{
    TVorlane gallery;
    Prepare(gallery, "A");
    gallery.SaveGallery();
    gallery.AddImage(Picture('B'));
    const std::string file = gallery.GalleryFileName();
    const Bytes notes{'n', 'o', 't', 'e', 's'};
    WriteFile(dir + "notes.txt", notes);
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::symlink((dir + "notes.txt").c_str(), file.c_str()), 0);

    gallery.SaveGallery();
    EXPECT_EQ(test::ReadBytes(dir + "notes.txt"), notes);
    ASSERT_TRUE(gallery.KeptAside());
    EXPECT_EQ(fs::read_symlink(*gallery.KeptAside()), dir + "notes.txt");
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(Order(*Loaded(gallery.ManagerName())), "AB");
}

// Temporary files of saves whose process is gone are removed by the next save in the folder; one whose
// writer still runs, and files of other names, stay.
TEST_F(GalleryModel, SaveRemovesTemporaryFilesOfGoneWriters)
{
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = Format(".vorlane-%d-00000000deadbeef.tmp", int(gone));
    const std::string former = Format(".vorlane-save-%d-7.tmp", int(gone));
    WriteFile(dir + stale, Bytes(5000, 1));
    WriteFile(dir + former, Bytes(5000, 2));
    WriteFile(dir + ".vorlane-notes.tmp", Bytes(5, 3));

    // A writer alive in another process holds its file locked.
    int ready[2], finish[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(finish), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const std::string name = dir + Format(".vorlane-%d-0123456789abcdef.tmp", int(::getpid()));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ::flock(fd, LOCK_EX);
        char byte = 0;
        if (::write(ready[1], &byte, 1) != 1 || ::read(finish[0], &byte, 1) != 1)
            ::_exit(1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    const std::string live = Format(".vorlane-%d-0123456789abcdef.tmp", int(writer));

    TVorlane gallery;
    gallery.SetDefaultImages(defaults);
    gallery.SaveGallery();
    EXPECT_FALSE(fs::exists(dir + stale));
    EXPECT_FALSE(fs::exists(dir + former));
    EXPECT_TRUE(fs::exists(dir + live));
    EXPECT_TRUE(fs::exists(dir + ".vorlane-notes.tmp"));
    ASSERT_EQ(::write(finish[1], &byte, 1), 1);
    ::waitpid(writer, nullptr, 0);
    for (int fd : {ready[0], ready[1], finish[0], finish[1]})
        ::close(fd);
}

// A gallery file holds at most 32767 images, the placeholder among them: the picture that would not fit
// is refused when it is added, not at every save after it.
TEST_F(GalleryModel, AddRefusesAPictureNoGalleryFileCouldHold)
{
    TVorlane gallery;
    Prepare(gallery, "");
    TStringList names;
    for (size_t i = 0; i < TVorlane::MaxEntries; ++i)
        names.Add("n");
    gallery.SetFileNames(names);
    EXPECT_EQ(test::ErrorOf<EInvalidOperation>([&] { gallery.AddImage(Picture('A')); }),
              "画集に入る画像は 32766 枚までです");
    EXPECT_EQ(size_t(gallery.FileNames().Count()), TVorlane::MaxEntries);
    EXPECT_EQ(gallery.Images().Count(), 1);
}

} // namespace
} // namespace vorlane::test
