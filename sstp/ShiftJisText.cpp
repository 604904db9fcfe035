#include "sstp/ShiftJisText.h"

#include "platform/CodePage.h"

#include <cstdint>
#include <optional>

namespace vorlane::sstp {
namespace {

// The length of the well-formed UTF-8 character at the start of `text`; when there is none, 0, and
// `invalid` receives how many bytes form the run to replace (the lead and the continuation bytes that
// still fitted it, at least 1).
size_t CharacterLength(std::string_view text, size_t& invalid)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    invalid = 1;
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    // The range of the second byte, which rules out overlong forms, surrogates and code points above
    // U+10FFFF; every later byte is a plain continuation byte.
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const uint8_t min = i == 1 ? low : 0x80;
        const uint8_t max = i == 1 ? high : 0xBF;
        if (i >= text.size() || byte(i) < min || byte(i) > max) {
            invalid = i;
            return 0;
        }
    }
    return length;
}

} // namespace

std::string ToShiftJis(std::string_view utf8)
{
    if (std::optional<std::string> whole = codepage::SystemToShiftJis(utf8))
        return *whole; // the common case: everything has its Shift_JIS form
    std::string converted;
    while (!utf8.empty()) {
        size_t invalid = 0;
        const size_t length = CharacterLength(utf8, invalid);
        if (length == 0) {
            converted += '?';
            utf8.remove_prefix(invalid);
            continue;
        }
        const std::optional<std::string> character = codepage::Utf8ToShiftJis(utf8.substr(0, length));
        converted += character ? *character : "?";
        utf8.remove_prefix(length);
    }
    return converted;
}

} // namespace vorlane::sstp
