// Prints the file the wallpaper command hands to the desktop for the picture named on its command line,
// so that a test can run a copy of it from an installed program's (unwritable) folder.
#include <cstdio>
#include <exception>

#include "wallpaper/WallpaperFile.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    try {
        std::printf("%s\n", vorlane::PrepareWallpaperFile(argv[1], 24).c_str());
        return 0;
    } catch (const std::exception& error) {
        std::printf("error: %s\n", error.what());
        return 1;
    }
}
