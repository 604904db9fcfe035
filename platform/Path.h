// Taking paths apart, by characters of the code page, under this platform's rules or the Windows ones.
//
// Galleries made on Windows hold Windows paths in Shift_JIS, where the second byte of a double-byte
// character may be 0x5C ("\"); the Windows rules never take such a byte for a delimiter.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::path {

enum class Rules {
    Native,      // this platform's rules: the Windows ones on Windows (taking "/" too); elsewhere "/"
                 // separates folders in UTF-8, so every byte below 0x80 is a character of its own
    Windows,     // "\" separates folders, ":" ends a drive; Shift_JIS lead bytes 0x81-0x9F and 0xE0-0xFC
    WindowsUtf8, // the Windows delimiters in a UTF-8 text (a Windows path converted or typed here)
};

// Whether a stored name is a Windows path: a drive letter and a colon, or a leading "\\".
bool IsWindowsPath(std::string_view path);
// The rules a stored name is taken apart by: the Windows ones for a Windows path (in Shift_JIS unless the
// name is valid UTF-8), this platform's otherwise.
Rules RulesOf(std::string_view path);

// The folder separator of a rule set: "/" or "\".
char Separator(Rules rules = Rules::Native);

// The file-name part: everything after the last separator (or drive colon).
std::string ExtractFileName(std::string_view path, Rules rules = Rules::Native);
std::string_view FileNamePart(std::string_view path, Rules rules = Rules::Native);
// The folder part with its trailing separator ("C:\V\a.b" -> "C:\V\"; "a.b" -> "").
std::string ExtractFilePath(std::string_view path, Rules rules = Rules::Native);
// The folder part without the trailing separator, keeping a root ("C:\V\a" -> "C:\V", "C:\a" -> "C:\",
// "/a" -> "/").
std::string ExtractFileDir(std::string_view path, Rules rules = Rules::Native);
// The extension, dot included, from the last "." after the last separator; empty when there is none.
std::string ExtractFileExt(std::string_view path, Rules rules = Rules::Native);
// The path with its extension replaced (or, without one, with `extension` appended), and without it.
std::string ChangeFileExt(std::string_view path, std::string_view extension, Rules rules = Rules::Native);
std::string_view WithoutFileExt(std::string_view path, Rules rules = Rules::Native);
// ASCII letters lower-cased; other bytes unchanged (only ASCII letters matter for extension tests).
std::string AsciiLowerCase(std::string_view text);

// The absolute form of `path` against the working folder, "." and ".." steps resolved.
std::string ExpandFileName(const std::string& path);

// The running executable's full name; empty when the system does not tell it.
std::string ExecutablePath();
// The folder of the running executable, with a trailing separator.
std::string ExecutableFolder();

// The name this system opens for a name that either system stored (a gallery named in the settings
// file): on Windows as it is; elsewhere a Windows path names the file of its name in the program folder,
// and a name in Shift_JIS (written on Windows) is read in UTF-8.
std::string OpenableName(const std::string& stored);

// The folder the program keeps its galleries and "Temp.bmp" in, with a trailing separator: the
// executable's folder when a file can be created there (a build folder, a portable copy) and it is not a
// system program folder such as /usr/bin/ (root can write there), otherwise the per-user
// data folder $XDG_DATA_HOME/vorlane/ (or ~/.local/share/vorlane/), created on first use, since an
// installed program's folder is not writable.
std::string ProgramFolder();

// The one shared folder of the settings file "Vorlane.ini" and the desktop settings store, with a trailing
// separator: $XDG_CONFIG_HOME, or ~/.config when that is unset. On Windows the Windows directory, unless
// the user may not write "Vorlane.ini" there or already keeps it in %APPDATA%\Vorlane\ (decided once a
// process).
std::string SettingsFolder();

// Tests point the program folder elsewhere; an empty text restores the rule above.
void SetProgramFolderForTesting(const std::string& folder);

} // namespace vorlane::path
