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

std::optional<std::string> SystemToShiftJis(std::string_view text)
{
    if (GetACP() == ShiftJis)
        return Convert(text, ShiftJis, ShiftJis); // checked, not changed
    return Convert(text, CP_ACP, ShiftJis);
}

} // namespace vorlane::codepage
