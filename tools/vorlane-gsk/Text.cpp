#include "tools/vorlane-gsk/Text.h"

#include <cstdio>

#include "platform/CodePage.h"

namespace vorlane::gsk {
namespace {

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t Utf8SequenceLength(std::string_view s, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else
        return 0;
    if (s.size() - at < length)
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string DisplayText(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    if (auto converted = codepage::ShiftJisToUtf8(bytes))
        return *converted;
    std::string result;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            result += "\xEF\xBF\xBD"; // U+FFFD
            ++i;
        } else {
            result.append(bytes.substr(i, length));
            i += length;
        }
    }
    return result;
}

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

} // namespace vorlane::gsk
