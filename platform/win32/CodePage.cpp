// The conversions on Windows' own tables: code page 932 is Shift_JIS with the vendor extensions.
#include "platform/CodePage.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace vorlane::codepage {
namespace {

constexpr unsigned ShiftJis = 932;

std::optional<std::string> Convert(std::string_view text, unsigned from, unsigned to)
{
    const std::optional<std::wstring> wide = win32::ToWide(text, from);
    return wide ? win32::FromWide(*wide, to) : std::nullopt;
}

} // namespace

std::optional<std::string> Utf8ToShiftJis(std::string_view utf8)
{
    return Convert(utf8, CP_UTF8, ShiftJis);
}

std::optional<std::string> ShiftJisToUtf8(std::string_view shiftJis)
{
    return Convert(shiftJis, ShiftJis, CP_UTF8);
}

std::optional<std::string> Utf8ToSystem(std::string_view utf8)
{
    return Convert(utf8, CP_UTF8, CP_ACP);
}

std::optional<std::string> SystemToShiftJis(std::string_view text)
{
    if (GetACP() == ShiftJis)
        return Convert(text, ShiftJis, ShiftJis); // checked, not changed
    return Convert(text, CP_ACP, ShiftJis);
}

// Shown here in the ANSI code page, as every narrow text of the system: a UTF-8 name (from a gallery
// made elsewhere) is converted, a character the code page lacks becoming "?"; other bytes are taken
// as they are, and bytes that are no text of the code page become "?".
std::string DisplayText(std::string_view bytes)
{
    if (IsValidUtf8(bytes)) {
        if (const auto wide = win32::ToWide(bytes, CP_UTF8))
            return win32::FromWideReplacing(*wide, CP_ACP);
    }
    if (win32::ToWide(bytes, CP_ACP))
        return std::string(bytes);
    std::string shown;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = IsDBCSLeadByte(static_cast<BYTE>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        const std::string_view character = bytes.substr(i, length);
        shown += win32::ToWide(character, CP_ACP) ? std::string(character) : "?";
        i += length;
    }
    return shown;
}

} // namespace vorlane::codepage
