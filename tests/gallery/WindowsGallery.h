// A gallery file as the program on Japanese Windows writes it: its names are Windows paths in Shift_JIS,
// among them characters whose second byte is 0x5C ("\"), and its ManagerName has a drive letter.
#pragma once

#include <string>
#include <vector>

#include "component/ComponentWriter.h"
#include "component/Stream.h"
#include "gallery/ImageList.h"
#include "tests/component/StreamBytes.h"
#include "tests/platform/ShiftJisNames.h"

namespace vorlane::test {

struct WindowsGallery {
    // C:\写真\夏休み.jpg, C:\写真\ソ表\能.bmp, C:\写真\表.jpg, D:\ソ.jpg
    std::vector<std::string> entries = {
        "C:\\" + sjis::Shashin + "\\" + sjis::Natsuyasumi + ".jpg",
        "C:\\" + sjis::Shashin + "\\" + sjis::So + sjis::Hyo + "\\" + sjis::No + ".bmp",
        "C:\\" + sjis::Shashin + "\\" + sjis::Hyo + ".jpg",
        "D:\\" + sjis::So + ".jpg",
    };
    // The list captions these give, and the caption's name.
    std::vector<std::string> captions = {"夏休み", "能", "表", "ソ"};
    std::string managerName = "C:\\Vorlane\\" + sjis::Ryoko;
    std::string initialDir = "C:\\" + sjis::Shashin;

    // Image i: the placeholder (0) or a thumbnail, each of its own colour.
    static Bitmap Image(size_t i)
    {
        Bitmap image(32, 32, 24);
        image.Fill(MakeRgb(uint8_t(40 * i), 200, uint8_t(255 - 40 * i)));
        return image;
    }

    // The whole file. Stream 1 is laid out byte by byte; stream 2, the image list, comes from the image
    // list's own writer, since its bytes are the same on both systems.
    Bytes File() const
    {
        Bytes names = B({0x01});
        for (const std::string& entry : entries)
            names = Cat({names, B({0x06}), Short(entry)});
        Bytes file = Cat({Text("TPF0"),
                          Short("TVorlane"),
                          B({0x00}),
                          Short("FileNames.Strings"),
                          names,
                          B({0x00}),
                          Short("FormTop"),
                          B({0x02, 100}),
                          Short("FormLeft"),
                          B({0x02, 50}),
                          Short("FormWidth"),
                          B({0x03, 0x58, 0x02}),
                          Short("FormHeight"),
                          B({0x03, 0x90, 0x01}),
                          Short("InitialDir"),
                          B({0x06}),
                          Short(initialDir),
                          Short("ManagerName"),
                          B({0x06}),
                          Short(managerName),
                          B({0x00, 0x00})});
        TImageList images(nullptr, 32, 32);
        for (size_t i = 0; i <= entries.size(); ++i)
            images.Add(Image(i));
        TMemoryStream stream;
        ComponentWriter(stream).WriteComponent(images);
        return Cat({file, stream.Bytes()});
    }
};

} // namespace vorlane::test
