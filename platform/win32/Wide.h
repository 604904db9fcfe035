// Private to the Windows platform layer: strict conversions between a code page and UTF-16. A byte
// sequence that is not text of the code page, or a character the code page lacks, gives nothing; no
// best-fit look-alikes and no "?" in its place.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorlane::win32 {

std::optional<std::wstring> ToWide(std::string_view text, unsigned codePage);
std::optional<std::string> FromWide(std::wstring_view text, unsigned codePage);
// Every character the code page lacks becomes "?" (no best-fit look-alikes).
std::string FromWideReplacing(std::wstring_view text, unsigned codePage);

} // namespace vorlane::win32
