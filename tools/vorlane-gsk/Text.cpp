#include "tools/vorlane-gsk/Text.h"

#include <cstdio>
#include <utility>

#include "platform/Terminal.h"

namespace vorlane::gsk {

std::string TerminalText(std::string_view bytes)
{
    const std::string text = DisplayText(bytes);
    std::string result;
    result.reserve(text.size());
    char escaped[8];
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(byte));
            result += escaped;
        } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) { // U+0080 to U+009F
            std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(next));
            result += escaped;
            ++i;
        } else {
            result += char(byte);
        }
    }
    return result;
}

ProgressLine::ProgressLine(std::string what) : what_(std::move(what)), terminal_(IsTerminal(stderr))
{
}

ProgressLine::~ProgressLine()
{
    if (shown_)
        std::fputs("\r\033[K", stderr); // carriage return, then erase to the end of the line
}

void ProgressLine::Show(size_t done, size_t total)
{
    if (!terminal_ || (shown_ && done == last_))
        return;
    if (total > 0)
        std::fprintf(stderr, "\r%s: %zu / %zu", what_.c_str(), done, total);
    else
        std::fprintf(stderr, "\r%s: %zu", what_.c_str(), done);
    std::fflush(stderr);
    shown_ = true;
    last_ = done;
}

} // namespace vorlane::gsk
