// Where the program's files live on Windows: the executable's folder (from the module's file name), and
// the settings file's folder: the Windows directory, where the profile functions put a bare file name,
// unless the user may not write "Vorlane.ini" there.
#include "platform/Path.h"

#include <string>
#include <windows.h>
#include <shlobj.h>

#include "platform/FoldersSystem.h"
#include "platform/NativePathRules.h"
#include "platform/Profile.h"
#include "platform/win32/SettingsFolder.h"

namespace vorlane::path {

namespace detail {
const Rules NativeRules = Rules::Windows;
} // namespace detail

namespace {

// Whether a file can really be created in `folder`: the permission bits say nothing about a folder that
// only administrators may change, or a read-only medium.
bool CanCreateFileIn(const std::string& folder)
{
    const std::string probe = folder + ".vorlane-write-probe-" + std::to_string(GetCurrentProcessId());
    const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// A last byte 5C may be the second byte of a character; only a real separator counts.
std::string WithSeparator(std::string folder)
{
    if (!ExtractFileName(folder).empty())
        folder += '\\';
    return folder;
}

} // namespace

bool detail::ProgramMayWriteIn(const std::string& folder)
{
    return CanCreateFileIn(folder);
}

// A program installed under "Program Files" cannot write beside itself: its galleries and "Temp.bmp" go
// to the user's local application data.
std::string detail::UserProgramFolder()
{
    char data[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, data) != S_OK)
        return {};
    const std::string folder = WithSeparator(data) + "Vorlane\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// The C++ library's paths give their text back in UTF-8 here, not in the code page; the system's own
// call keeps the code page.
std::string ExpandFileName(const std::string& path)
{
    std::string full(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetFullPathNameA(path.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length); // the length needed, its NUL included
    }
}

std::string ExecutablePath()
{
    std::string name(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, name.data(), DWORD(name.size()));
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        if (name.size() >= 32768)
            return {};
        name.resize(name.size() * 2); // cut short: the name is longer than the buffer
    }
}

std::string ExecutableFolder()
{
    const std::string executable = ExecutablePath();
    return executable.empty() ? ".\\" : ExtractFilePath(executable);
}

std::string OpenableName(const std::string& stored)
{
    return stored;
}

std::string detail::WindowsFolder()
{
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return ".\\";
    return WithSeparator(std::string(windows, length));
}

std::string detail::UserSettingsFolder()
{
    char data[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, data) != S_OK)
        return {};
    return WithSeparator(data) + "Vorlane\\";
}

namespace {

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the profile functions could write "Vorlane.ini" in `folder`: the file opens for writing (another
// process holding it open only for a moment does not count against it), or there is none and a file can
// be created beside it. A user without administrator rights can do neither in the Windows directory, and a
// program that declares its execution level is not redirected to a copy of its own there.
bool SettingsWritableIn(const std::string& folder)
{
    const std::string file = folder + SettingsFileName;
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return CanCreateFileIn(folder);
    const HANDLE handle =
        CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(handle);
    return true;
}

// The settings stay in the Windows directory, where every earlier copy kept them, while they can be
// written there; once a user's own copy exists, it is the one.
std::string ChooseSettingsFolder()
{
    const std::string windows = detail::WindowsFolder();
    const std::string user = detail::UserSettingsFolder();
    if (user.empty() || (!IsFile(user + SettingsFileName) && SettingsWritableIn(windows)))
        return windows;
    return user;
}

} // namespace

// Decided once: every read and write of a process goes to one file.
std::string SettingsFolder()
{
    static const std::string folder = ChooseSettingsFolder();
    return folder;
}

} // namespace vorlane::path
