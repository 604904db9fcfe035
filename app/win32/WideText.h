// Texts the system hands the window in UTF-16 (typed, chosen in a dialog) as the program's texts, in the
// system code page, and back.
#pragma once

#include <string>
#include <string_view>

namespace vorlane {

// The text in the system code page. One holding a character the code page lacks is refused, never
// changed to a look-alike: Exception (msg::NotInCodePage) naming it, "?" standing for what is missing.
std::string SystemText(std::wstring_view text);

// Text of the system code page in UTF-16, for the system's wide calls.
std::wstring WideText(std::string_view text);

} // namespace vorlane
