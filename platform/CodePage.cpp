#include "platform/CodePage.h"

#include <cstdint>
#include <utility>

#include "platform/Exceptions.h"

namespace vorlane::codepage {

std::string Utf8ToSystemOrRefuse(std::string_view utf8, const std::string& what)
{
    std::optional<std::string> text = Utf8ToSystem(utf8);
    if (!text)
        throw Exception(Format(msg::NotInCodePage, what.c_str()));
    return std::move(*text);
}

size_t Utf8CharacterLength(std::string_view text, size_t* invalid)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    size_t ignored = 0;
    size_t& run = invalid ? *invalid : ignored;
    run = 1;
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
            run = i;
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8CharacterLength(bytes.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

} // namespace vorlane::codepage
