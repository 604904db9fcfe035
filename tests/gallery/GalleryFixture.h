// What the gallery component's tests share: an in-memory list view, file helpers and a fixture with a
// temporary program folder, a placeholder list and one-colour pictures.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSystemCalls.h"
#include "image/BmpFile.h"
#include "component/ComponentReader.h"
#include "component/ComponentWriter.h"
#include "gallery/ImageList.h"
#include "component/Stream.h"
#include "gallery/View.h"
#include "gallery/Vorlane1.h"
#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "tests/TestFiles.h"

namespace vorlane::test {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

class MemoryView : public GalleryView {
public:
    struct Item {
        std::string caption;
        int imageIndex;
        friend bool operator==(const Item&, const Item&) = default;
    };

    void BeginUpdate() override { ++updates; }
    void EndUpdate() override { --updates; }
    void Clear() override
    {
        ++refreshes;
        items.clear();
    }
    void SetLargeImages(TImageList* list) override { images = list; }
    void AddItem(const std::string& caption, int imageIndex) override { items.push_back({caption, imageIndex}); }
    std::optional<int> SelectedIndex() const override { return selected; }
    std::optional<int> DropTargetIndex() const override { return dropTarget; }

    std::vector<Item> items;
    TImageList* images = nullptr;
    std::optional<int> selected;
    std::optional<int> dropTarget;
    int updates = 0;
    int refreshes = 0;
};

inline Rgb ColourOf(char letter)
{
    return MakeRgb(uint8_t(letter * 3), uint8_t(letter * 5), uint8_t(letter * 7));
}

// Runs `save` in a child process (so that limits and identities stay there) and returns its exit code.
template <class F>
int InChild(F save)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 0;
        try {
            code = save();
        } catch (...) {
            code = 99;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// Runs `action` in a child process as an ordinary user (permissions do not bind root): 0 when it raised E
// with exactly `message`, another code otherwise.
template <class E, class F>
int FailsAsOrdinaryUser(F action, const std::string& message)
{
    return InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 3;
        try {
            action();
        } catch (const E& error) {
            return error.what() == message ? 0 : 2;
        }
        return 1;
    });
}

inline std::vector<std::string> FolderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class GalleryModel : public testing::Test {
protected:
    void SetUp() override
    {
        dir = scratch_.Path().string() + "/";
        path::SetProgramFolderForTesting(dir);

        // The placeholder: blue with a transparent top-left corner.
        Bitmap image(32, 32, 24);
        image.Fill(MakeRgb(0, 0, 255));
        Bitmap mask(32, 32, 1);
        mask.Palette() = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}}; // set bits: transparent
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                mask.SetPixelValue(x, y, 1);
        defaults.Add(image, &mask);
    }
    void TearDown() override
    {
        // A case may have made it read-only; the scratch folder removes it with all it holds.
        fs::permissions(dir, fs::perms::owner_all);
        path::SetProgramFolderForTesting("");
    }

    // A 2x2 bitmap file of one colour per letter, named after the letter.
    std::string Picture(char letter)
    {
        Bitmap bitmap(2, 2, 24);
        bitmap.Fill(ColourOf(letter));
        const std::string file = dir + std::string(1, letter) + ".bmp";
        WriteFile(file, WriteBmp(bitmap));
        return file;
    }

    // Entry names and, for each, the letter its thumbnail was made from.
    std::string Order(const TVorlane& gallery)
    {
        std::string letters;
        for (int i = 0; i < gallery.FileNames().Count(); ++i) {
            const char letter = path::ExtractFileName(gallery.FileNames()[i])[0];
            EXPECT_EQ(gallery.Images().Image(i + 1).PixelRgb(16, 16), ColourOf(letter)) << "entry " << i;
            letters += letter;
        }
        EXPECT_EQ(gallery.Images().Count(), gallery.FileNames().Count() + 1);
        return letters;
    }

    void Prepare(TVorlane& gallery, const std::string& letters)
    {
        gallery.SetDefaultImages(defaults);
        gallery.SetView(&view);
        std::vector<std::string> files;
        for (char letter : letters)
            files.push_back(Picture(letter));
        gallery.AddImages(files);
    }

    // The gallery of `managerName` as a new window loads it.
    std::unique_ptr<TVorlane> Loaded(const std::string& managerName)
    {
        auto gallery = std::make_unique<TVorlane>();
        gallery->SetDefaultImages(defaults);
        gallery->SetManagerName(managerName);
        gallery->LoadGallery();
        return gallery;
    }

    // Another program's edit of the gallery file, made the way any of them makes it: load, change, save.
    void EditElsewhere(const std::string& managerName, const std::string& picture)
    {
        const auto other = Loaded(managerName);
        other->AddImage(picture);
        other->SaveGallery();
    }

    const ScratchFolder scratch_{"vorlane-model"};
    std::string dir;
    TImageList defaults{nullptr, 32, 32};
    MemoryView view;
};

} // namespace vorlane::test
