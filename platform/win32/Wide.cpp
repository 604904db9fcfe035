#include "platform/win32/Wide.h"

#include <climits>
#include <windows.h>

namespace vorlane::win32 {

std::optional<std::wstring> ToWide(std::string_view text, unsigned codePage)
{
    if (text.empty())
        return std::wstring();
    if (text.size() > INT_MAX)
        return std::nullopt;
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

std::optional<std::string> FromWide(std::wstring_view text, unsigned codePage)
{
    if (text.empty())
        return std::string();
    if (text.size() > INT_MAX)
        return std::nullopt;
    // UTF-8 has every character and refuses the flags (and lone surrogates come back as errors).
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* usedDefault = utf8 ? nullptr : &defaulted;
    const int length =
        WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), nullptr, 0, nullptr, usedDefault);
    if (length <= 0 || defaulted)
        return std::nullopt;
    std::string narrow(size_t(length), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), narrow.data(), length, nullptr, usedDefault);
    if (defaulted)
        return std::nullopt;
    // Whatever look-alike the flags still let through reads back as another text.
    if (!utf8 && ToWide(narrow, codePage) != std::optional<std::wstring>(text))
        return std::nullopt;
    return narrow;
}

std::string FromWideReplacing(std::wstring_view text, unsigned codePage)
{
    if (text.empty() || text.size() > INT_MAX)
        return std::string();
    const int length =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), nullptr, 0, "?", nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(size_t(length), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), narrow.data(), length, "?",
                        nullptr);
    return narrow;
}

} // namespace vorlane::win32
