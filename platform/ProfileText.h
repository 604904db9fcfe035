// Private to the platform layer: how names and values reach a profile file on either system.
#pragma once

#include <string_view>

namespace vorlane::profile {

// A line break inside a name or a value would start a line of its own (a forged key or section), so
// everything from the first one on is dropped.
inline std::string_view OneLine(std::string_view text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

// A default loses its trailing blanks, tabs included; leading ones are part of it.
inline std::string_view WithoutTrailingBlanks(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace vorlane::profile
