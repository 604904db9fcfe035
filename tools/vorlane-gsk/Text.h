// Gallery texts are bytes in the system code page: UTF-8 here, Shift_JIS in galleries made on Windows.
// A terminal and a JSON reader both want UTF-8, so names are shown through the platform's one conversion.
#pragma once

#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace vorlane::gsk {

using codepage::DisplayText;

// DisplayText for a terminal: control characters (C0, DEL and C1) are shown as \xHH or \uHHHH, so that a
// name can neither split a line nor send the terminal a command (a new title, a cursor move).
std::string TerminalText(std::string_view bytes);

} // namespace vorlane::gsk
