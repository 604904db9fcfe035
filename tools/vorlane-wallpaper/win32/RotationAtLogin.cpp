// rotate --at-login on Windows: the rotation's command line as a value of the user's "Run" key, which
// the system starts at each of the user's logins (and lists under the programs started with Windows).
#include "tools/vorlane-wallpaper/Rotation.h"

#include <string>

#include "platform/Exceptions.h"

#include <windows.h>

namespace vorlane::wallpapertool {
namespace {

constexpr const wchar_t* RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* RunValue = L"Vorlane wallpaper rotation";

// One argument as the system's command-line parsing takes it apart again: quoted when it holds a blank
// or a quote, backslashes doubled where a quote follows them.
std::wstring QuotedArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

std::wstring Wide(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    if (length <= 0 ||
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), wide.data(), length) != length)
        throw Exception("the gallery's name cannot be recorded for the login");
    return wide;
}

std::wstring ThisProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            throw Exception("the program's own path is not known");
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace

void SetRotationAtLogin(const RotationInvocation* invocation)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        throw Exception("the programs started at login cannot be changed (HKEY_CURRENT_USER\\...\\Run)");
    LSTATUS result = ERROR_SUCCESS;
    if (invocation) {
        std::wstring command =
            QuotedArgument(ThisProgram()) + L" rotate --every " + Wide(PeriodText(invocation->periodMs));
        if (invocation->step == Step::Random)
            command += L" --random";
        if (!invocation->gallery.empty())
            command += L" " + QuotedArgument(Wide(invocation->gallery)); // absolute: never taken for an option
        result = RegSetValueExW(key, RunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                DWORD((command.size() + 1) * sizeof(wchar_t)));
    } else {
        result = RegDeleteValueW(key, RunValue);
        if (result == ERROR_FILE_NOT_FOUND)
            result = ERROR_SUCCESS; // not started at login: nothing to remove
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        throw Exception("the programs started at login cannot be changed (HKEY_CURRENT_USER\\...\\Run)");
}

} // namespace vorlane::wallpapertool
