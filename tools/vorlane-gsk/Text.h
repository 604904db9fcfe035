// Gallery texts are bytes in the system code page: UTF-8 here, Shift_JIS in galleries made on Windows.
// A terminal and a JSON reader both want UTF-8, so names are shown through this one conversion.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::gsk {

bool IsValidUtf8(std::string_view bytes);

// UTF-8 text as it is; otherwise the bytes read as Shift_JIS (code page 932) when they are that; otherwise
// each byte that is not part of a valid UTF-8 sequence becomes U+FFFD. Never fails.
std::string DisplayText(std::string_view bytes);

// DisplayText for a terminal: control characters (C0, DEL and C1) are shown as \xHH or \uHHHH, so that a
// name can neither split a line nor send the terminal a command (a new title, a cursor move).
std::string TerminalText(std::string_view bytes);

} // namespace vorlane::gsk
