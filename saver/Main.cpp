// vorlane-saver: the companion screen saver. Shows the pictures of the gallery named for it in
// "Vorlane.ini" one after another (see SaverGallery.h, SaverScreen.h); ends on SIGTERM at once, as
// screen savers are ended.
#include <cstdio>
#include <exception>
#include <string>

#include "platform/CommandLine.h"
#include "saver/SaverGallery.h"
#include "saver/SaverScreen.h"
#include "saver/Slideshow.h"

namespace {

using namespace vorlane;
using namespace vorlane::saver;

void Report(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", ProgramName, message.c_str());
}

// Shows `line` until the window goes.
int ShowOnly(SaverScreen& screen, const std::string& line)
{
    Report(line);
    screen.ShowText(line);
    while (screen.WaitUntil(SaverScreen::Clock::now() + std::chrono::hours(1))) {}
    return 0;
}

int Run(const Options& options)
{
    SaverScreen screen(options);
    if (!screen.Failure().empty()) {
        Report(screen.Failure());
        return 1;
    }
    const SaverGallery gallery = ReadSaverGallery();
    if (!gallery.problem.empty())
        return ShowOnly(screen, gallery.problem);
    const WallpaperPlacement placement = SaverPlacement(Report);
    const auto delay =
        std::chrono::duration_cast<SaverScreen::Clock::duration>(std::chrono::duration<double>(options.delaySeconds));

    Slideshow slideshow(gallery.pictures, options.random);
    auto turn = SaverScreen::Clock::now(); // when the next picture is due
    for (;;) {
        // Drawn while the previous picture shows.
        const unsigned long next =
            slideshow.DrawNext([&](const std::string& picture) { return screen.Draw(picture, placement); }, Report);
        if (next == 0) { // a whole round failed: say so, and try again later
            screen.ShowText(NothingShownText(gallery.name));
            if (!screen.WaitUntil(SaverScreen::Clock::now() + delay))
                return 0;
            continue;
        }
        if (!screen.WaitUntil(turn))
            return 0;
        screen.Show(next);
        turn = SaverScreen::Clock::now() + delay;
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = ParseOptions(CommandLineArguments(argc, argv));
    } catch (const UsageError& error) {
        Report(error.what());
        std::fprintf(stderr, "Try '%s --help' for more information.\n", ProgramName);
        return 2;
    }
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", ProgramName, VORLANE_VERSION);
        return 0;
    }
    try {
        return Run(options);
    } catch (const std::exception& error) {
        Report(error.what());
        return 1;
    }
}
