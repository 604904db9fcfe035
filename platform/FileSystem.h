// What the program asks of the file system beyond the C++ library, named by what it does. Each system
// answers in its own file (linux/FileSystem.cpp, win32/FileSystem.cpp); code above this layer makes no
// POSIX or Windows file call of its own. Paths are in the system's encoding, as everywhere in the
// program: UTF-8 on Linux, the ANSI code page on Windows (which is why std::filesystem, whose narrow
// names are UTF-8 under mingw, is not used for them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace vorlane::files {

enum class Kind { None, Regular, Folder, Link, Other };

// What is at `path`, links followed (never Link); None when nothing is.
Kind KindOf(const std::string& path);
// What `path` names itself: Link for a symbolic link. Windows: as KindOf (no links are told apart there).
Kind EntryKindOf(const std::string& path);
// Whether the entry `path` names (a link itself, not followed) belongs to the user this program runs
// as. Windows: always, every file has the one owner there.
bool BelongsToThisUser(const std::string& path);
// The absolute path with every symbolic link, "." and ".." resolved; empty when nothing is at `path`.
// Windows: made absolute only.
std::string ResolvedPath(const std::string& path);

// Whether `path` is a socket (a bus or a compositor listening). Windows: never.
bool IsSocket(const std::string& path);
// The names in `folder`, "." and ".." aside; none when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);
// What the symbolic link `path` holds; empty when it is no link. Windows: always empty.
std::string LinkTarget(const std::string& path);
// Makes `link` a symbolic link holding `target`; false when something is there or it cannot. Windows:
// never made.
bool MakeSymbolicLink(const std::string& target, const std::string& link);
// Removes the file (or link itself) `path`; false when it cannot.
bool RemoveFile(const std::string& path);
// Makes the folder `path` open to this user alone; true when it is made or something is there already
// (which the caller checks when it matters).
bool MakeOwnFolder(const std::string& path);
// Refuses a path longer than the system's file calls take, with EPathTooLong (msg::PathTooLong): on
// Windows 259 characters (MAX_PATH less its NUL; a double-byte character counts once, as the system
// counts), here PATH_MAX less its NUL, in bytes. A path that comes in (a dialog's choice, a typed name,
// an argument, the wallpaper to set) passes here, so a longer one is refused where it arrives, never cut.
void CheckPathLength(const std::string& path);
// Whether CheckPathLength lets `path` pass.
bool PathFits(const std::string& path);

enum class Renamed { Yes, NameTaken, Failed };
// Renames `from` to `to` in one step, unless something is called `to` already (even when it came
// meanwhile): NameTaken then.
Renamed RenameWithoutReplacing(const std::string& from, const std::string& to);

// The permission bits a new file gets from the process: 0666 less its file-creation mask.
unsigned NewFileMode();

// Open files are the C runtime's descriptors; -1 is none.
// Opens `path` for reading; -1 when it cannot.
int OpenToRead(const std::string& path);
// Opens `path` for reading only when it is a regular file, without waiting on a pipe or a device
// first; -1 when it cannot be opened or is not a regular file.
int OpenRegularFileToRead(const std::string& path);
// Creates `path`, or empties the file that is there, for writing; -1 when it cannot.
int CreateToWrite(const std::string& path);
// Reads up to `count` bytes (0 at the end of the file); -1 on a failure. An interrupted call is repeated.
int64_t ReadSome(int fd, void* buffer, size_t count);
// Writes up to `count` bytes; how many went, -1 on a failure. An interrupted call is repeated.
int64_t WriteSome(int fd, const void* buffer, size_t count);
enum class From { Start, Current, End };
// Moves the position of `fd`; the new position from the start, or -1.
int64_t SeekTo(int fd, int64_t offset, From from);
// The size of the regular file open as `fd`; none for anything else or when it cannot be told.
std::optional<int64_t> RegularFileSize(int fd);
// The same for the file that a C stream reads.
std::optional<int64_t> RegularFileSize(std::FILE* file);
// Flushes what was written through `fd` to the disk.
bool SyncFile(int fd);
bool CloseFile(int fd);
// A C stream reading `fd` in binary, which then owns it; nullptr (and `fd` closed) when none can be made.
std::FILE* ReadingStream(int fd);

} // namespace vorlane::files
