// Conversion between UTF-8, the system code page (this platform's text: UTF-8 here, the ANSI code page
// on Windows) and the Shift_JIS code page (932) that Windows peers read and write, and the one rule by
// which a stored name of either kind is shown.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorlane::codepage {

// The text in Shift_JIS, or nothing when it holds a character that code page 932 cannot express
// (or bytes that are not UTF-8). An empty text converts to an empty text.
std::optional<std::string> Utf8ToShiftJis(std::string_view utf8);

// The text in UTF-8, or nothing when the bytes are not valid Shift_JIS.
std::optional<std::string> ShiftJisToUtf8(std::string_view shiftJis);

// UTF-8 text in the system code page, for a text the system hands over in Unicode (a typed text, a name
// chosen in a dialog): nothing when it holds a character the code page cannot express; never a
// look-alike or "?" in its place. Here, where the system code page is UTF-8, valid UTF-8 is itself.
std::optional<std::string> Utf8ToSystem(std::string_view utf8);

// The same, refusing such a text: Exception(msg::NotInCodePage) naming `what`.
std::string Utf8ToSystemOrRefuse(std::string_view utf8, const std::string& what);

// Text of the system code page in Shift_JIS, or nothing when it holds a character that code page 932
// cannot express (or bytes that are not text of the system code page).
std::optional<std::string> SystemToShiftJis(std::string_view text);

// The length of the well-formed UTF-8 character at the start of `text` (not empty); 0 when there is none
// (an overlong form, a surrogate, a value above U+10FFFF, a sequence cut short), and then `invalid`,
// when given, receives how many bytes form the run to replace: the lead and the continuation bytes
// that still fitted it, at least 1.
size_t Utf8CharacterLength(std::string_view text, size_t* invalid = nullptr);

// Whether the bytes are UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// A stored name as this platform shows it. Names are bytes in the system code page: UTF-8 here,
// Shift_JIS in galleries made on Windows. UTF-8 stays as it is; otherwise the bytes are read as
// Shift_JIS when they are that; otherwise each byte that is not part of a valid UTF-8 sequence becomes
// U+FFFD. Never fails; the result is always valid UTF-8. (On Windows names are shown in the code page:
// UTF-8 is converted to it, "?" standing for what it lacks.)
std::string DisplayText(std::string_view bytes);

} // namespace vorlane::codepage
