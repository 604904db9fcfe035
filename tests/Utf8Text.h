// UTF-8 text in a test whatever the compiler's execution character set, which is the system code page
// (Shift_JIS in the Windows build): for tests whose subject is UTF-8 bytes themselves.
#pragma once

#include <string>

namespace vorlane::test {

inline std::string Utf8(const char8_t* text)
{
    return reinterpret_cast<const char*>(text);
}

} // namespace vorlane::test
