#include "sstp/ShiftJisText.h"

#include <optional>

#include "platform/CodePage.h"

namespace vorlane::sstp {

std::string ToShiftJis(std::string_view utf8)
{
    if (std::optional<std::string> whole = codepage::SystemToShiftJis(utf8))
        return *whole; // the common case: everything has its Shift_JIS form
    std::string converted;
    while (!utf8.empty()) {
        size_t invalid = 0;
        const size_t length = codepage::Utf8CharacterLength(utf8, &invalid);
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
