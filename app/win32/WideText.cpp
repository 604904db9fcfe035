#include "app/win32/WideText.h"

#include <windows.h>

#include <climits>

#include "platform/CodePage.h"

namespace vorlane {
namespace {

// A lone surrogate becomes U+FFFD here, which no code page of the system holds: it is refused too.
std::string Utf8Text(std::wstring_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

} // namespace

std::string SystemText(std::wstring_view text)
{
    const std::string utf8 = Utf8Text(text);
    return codepage::Utf8ToSystemOrRefuse(utf8, "\"" + codepage::DisplayText(utf8) + "\"");
}

std::wstring WideText(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

} // namespace vorlane
