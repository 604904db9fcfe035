#include "saver/win32/ScreenSaverArguments.h"

#include <cerrno>
#include <cstdlib>

#include "saver/Slideshow.h"

namespace vorlane::saver {
namespace {

// A window handle as the system writes it: a decimal number.
uintptr_t WindowOf(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long window = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || errno != 0 || window == 0 ||
        window > UINTPTR_MAX)
        throw UsageError("'" + text + "' is not a window handle");
    return uintptr_t(window);
}

} // namespace

ScreenSaverArguments ParseScreenSaverArguments(const std::vector<std::string>& arguments)
{
    ScreenSaverArguments result;
    if (arguments.empty())
        return result;
    const std::string& first = arguments[0];
    if (first.size() < 2 || (first[0] != '/' && first[0] != '-'))
        throw UsageError("unknown argument '" + first + "'");
    switch (first[1] | 0x20) { // the letter in lower case
    case 's':
        result.mode = ScreenSaverMode::FullScreen;
        break;
    case 'p':
        result.mode = ScreenSaverMode::Preview;
        break;
    case 'c':
        result.mode = ScreenSaverMode::Settings;
        break;
    default:
        throw UsageError("unknown argument '" + first + "'");
    }
    // The window follows after a colon or as the next argument.
    std::string window;
    size_t used = 1;
    if (first.size() > 2) {
        if (first[2] != ':')
            throw UsageError("unknown argument '" + first + "'");
        window = first.substr(3);
    } else if (arguments.size() > 1) {
        window = arguments[1];
        used = 2;
    }
    if (used < arguments.size())
        throw UsageError("unknown argument '" + arguments[used] + "'");
    if (result.mode == ScreenSaverMode::FullScreen && !window.empty())
        throw UsageError("unknown argument '" + window + "'");
    if (!window.empty())
        result.window = WindowOf(window);
    else if (result.mode == ScreenSaverMode::Preview)
        throw UsageError("the preview needs the window to draw in");
    return result;
}

} // namespace vorlane::saver
