#include "platform/Path.h"

#include <algorithm>

#include "platform/NativePathRules.h"

#include "platform/CodePage.h"

namespace vorlane::path {
namespace {

Rules Resolved(Rules rules)
{
    return rules == Rules::Native ? detail::NativeRules : rules;
}

bool IsLeadByte(unsigned char byte, Rules rules)
{
    return Resolved(rules) == Rules::Windows && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

// The native rules on Windows take "/" as a separator too, as its file system does; galleries from
// Windows are read by the written rules, "\" and ":" alone. No byte of a Shift_JIS character is "/".
bool IsFolderDelimiter(char c, Rules rules)
{
    if (Resolved(rules) == Rules::Native)
        return c == '/';
    return c == '\\' || c == ':' || (rules == Rules::Native && c == '/');
}

// Position of the last character start whose byte is in `delimiters`, or npos. Scanning goes forward
// character by character so that a trailing byte of a double-byte character is never matched.
size_t LastDelimiter(std::string_view path, Rules rules, bool dot)
{
    if (Resolved(rules) == Rules::Native) { // characters of one byte: the last match from the end
        for (size_t i = path.size(); i-- > 0;)
            if (path[i] == '/' || (dot && path[i] == '.'))
                return i;
        return std::string_view::npos;
    }
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (IsFolderDelimiter(c, rules) || (dot && c == '.'))
            found = i;
        if (IsLeadByte(static_cast<unsigned char>(c), rules) && i + 1 < path.size())
            ++i;
    }
    return found;
}

} // namespace

bool IsWindowsPath(std::string_view path)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') || path.starts_with("\\\\");
}

Rules RulesOf(std::string_view path)
{
    if (!IsWindowsPath(path))
        return Rules::Native;
    // On Windows a Windows path in the code page is a native one (which may use "/" as well).
    const bool windows = detail::NativeRules == Rules::Windows;
    const bool ascii =
        std::all_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (codepage::IsValidUtf8(path) && !(windows && ascii))
        return Rules::WindowsUtf8;
    return windows ? Rules::Native : Rules::Windows;
}

char Separator(Rules rules)
{
    return Resolved(rules) == Rules::Native ? '/' : '\\';
}

std::string ExtractFileName(std::string_view path, Rules rules)
{
    return std::string(FileNamePart(path, rules));
}

std::string_view FileNamePart(std::string_view path, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, false);
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string ExtractFilePath(std::string_view path, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, false);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string ExtractFileDir(std::string_view path, Rules rules)
{
    size_t at = LastDelimiter(path, rules, false);
    if (at == std::string_view::npos)
        return {};
    // Drop the trailing separator unless it ends a root ("C:\", "/").
    if (at > 0 && path[at] != ':') {
        const size_t before = LastDelimiter(path.substr(0, at), rules, false);
        if (before != at - 1)
            return std::string(path.substr(0, at));
    }
    return std::string(path.substr(0, at + 1));
}

std::string ExtractFileExt(std::string_view path, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, true);
    if (at == std::string_view::npos || path[at] != '.')
        return {};
    return std::string(path.substr(at));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension, Rules rules)
{
    std::string result(WithoutFileExt(path, rules));
    result.append(extension);
    return result;
}

std::string_view WithoutFileExt(std::string_view path, Rules rules)
{
    const size_t at = LastDelimiter(path, rules, true);
    return at == std::string_view::npos || path[at] != '.' ? path : path.substr(0, at);
}

std::string AsciiLowerCase(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return result;
}

} // namespace vorlane::path
