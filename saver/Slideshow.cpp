#include "saver/Slideshow.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <numeric>

#include "platform/CodePage.h"
#include "platform/Exceptions.h"

namespace vorlane::saver {
namespace {

// "--name" or "-name" for the option "--name".
bool Is(const std::string& argument, const char* option)
{
    return argument == option || argument == option + 1;
}

unsigned long WindowIdOf(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long id = std::strtoul(text.c_str(), &end, 0); // 0x... as XScreenSaver writes it
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || id == 0 || id > 0x1FFFFFFFul)
        throw UsageError("'" + text + "' is not a window id");
    return id;
}

} // namespace

double ParseDelaySeconds(const std::string& text)
{
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < MinDelaySeconds ||
        seconds > MaxDelaySeconds)
        throw UsageError("'" + text + "' is not a delay in seconds (0.1 to 86400)");
    return seconds;
}

Options ParseOptions(const std::vector<std::string>& arguments)
{
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 == arguments.size())
                throw UsageError("option '" + argument + "' needs a value");
            return arguments[++i];
        };
        if (argument == "-h" || Is(argument, "--help"))
            options.help = true;
        else if (Is(argument, "--version"))
            options.version = true;
        else if (Is(argument, "--root"))
            options.root = true;
        else if (Is(argument, "--window-id"))
            options.windowId = WindowIdOf(value());
        else if (Is(argument, "--delay"))
            options.delaySeconds = ParseDelaySeconds(value());
        else if (Is(argument, "--random"))
            options.random = true;
        else
            throw UsageError("unknown argument '" + argument + "'");
    }
    return options;
}

std::string HelpText()
{
    return std::string("Usage: ") + ProgramName +
           " [--root | --window-id ID] [--delay SECONDS] [--random]\n"
           "\n"
           "Shows the pictures of the gallery Vorlane names for the screen saver (its menu\n"
           "\"ｽｸﾘｰﾝｾｰﾊﾞ > 画集の設定\"), or of the current gallery, one after another at the\n"
           "recorded wallpaper placement (tiled pictures are fitted to the screen).\n"
           "\n"
           "  --root          draw on the (virtual) root window\n"
           "  --window-id ID  draw in the window ID (decimal, or hexadecimal with 0x); wins\n"
           "                  over --root, as XScreenSaver's settings preview adds it\n"
           "  --delay SECONDS how long each picture shows (default 10)\n"
           "  --random        random order instead of the gallery's\n"
           "  -h, --help      show this help\n"
           "  --version       show the version\n"
           "\n"
           "Without --root or --window-id it draws in $XSCREENSAVER_WINDOW, as XScreenSaver, MATE's\n"
           "screen saver and xsecurelock start it, or else in a window of its own. Options also\n"
           "take a single dash (-root, -delay 10).\n";
}

PictureOrder::PictureOrder(size_t count, bool random)
    : round_(count),
      random_(random),
      generator_(std::random_device{}())
{
    std::iota(round_.begin(), round_.end(), size_t(0));
    if (random_)
        Shuffle();
}

void PictureOrder::Shuffle()
{
    const std::optional<size_t> last = round_.empty() ? std::nullopt : std::optional(round_.back());
    std::shuffle(round_.begin(), round_.end(), generator_);
    if (round_.size() > 1 && last && round_.front() == *last)
        std::swap(round_.front(), round_.back());
}

size_t PictureOrder::Next()
{
    if (round_.empty())
        return 0;
    if (at_ == round_.size()) {
        at_ = 0;
        if (random_)
            Shuffle();
    }
    return round_[at_++];
}

Slideshow::Slideshow(std::vector<std::string> pictures, bool random)
    : pictures_(std::move(pictures)),
      order_(pictures_.size(), random)
{
}

uintptr_t Slideshow::DrawNext(const Draw& draw, const Report& report)
{
    for (size_t tried = 0; tried < pictures_.size(); ++tried) {
        const size_t index = order_.Next();
        const std::string& picture = pictures_[index];
        try {
            if (const uintptr_t drawn = draw(picture))
                return drawn;
        } catch (const Exception& error) {
            if (reported_.insert(index).second)
                report(codepage::DisplayText(picture) + ": " + error.what());
        }
    }
    return 0;
}

} // namespace vorlane::saver
