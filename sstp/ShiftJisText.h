// The text of an SSTP request as mascots read it: Shift_JIS (code page 932), whatever the request's
// CharSet line says.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::sstp {

// This platform's UTF-8 text in Shift_JIS. Each character that code page 932 cannot express becomes
// "?", as the system's own conversion to the Japanese code page does, and so does each run of bytes
// that is not UTF-8 (an invalid byte, or the valid start of a sequence cut short).
std::string ToShiftJis(std::string_view utf8);

} // namespace vorlane::sstp
