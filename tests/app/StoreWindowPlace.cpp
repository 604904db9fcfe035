// Test helper: stores a window place in a gallery file, as a close of the window stores it.
//   store-window-place GALLERY-FILE LEFT TOP WIDTH HEIGHT
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "gallery/Vorlane1.h"

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s GALLERY-FILE LEFT TOP WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    try {
        vorlane::TVorlane gallery;
        gallery.SetManagerName(argv[1]);
        gallery.LoadGallery();
        gallery.SetFormLeft(std::atoi(argv[2]));
        gallery.SetFormTop(std::atoi(argv[3]));
        gallery.SetFormWidth(std::atoi(argv[4]));
        gallery.SetFormHeight(std::atoi(argv[5]));
        gallery.SaveGallery();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
