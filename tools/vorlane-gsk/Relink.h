// relink: pointing a gallery's entries at where their pictures are on this machine, by moving a folder
// prefix or by searching for the file names. Galleries made on Windows hold Windows paths in Shift_JIS.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "tools/vorlane-gsk/Arguments.h"

namespace vorlane::gsk {

// `entry` moved from the folder `from` to the folder `to` (UTF-8, an absolute folder of this system):
// the entry's path below `from`, in UTF-8, appended to `to`. Nothing when the entry is not below `from`
// or is neither UTF-8 nor Shift_JIS. A Windows `from` matches Windows entries only, compared as Windows
// compares paths (ASCII letters in either case, "\" and "/" alike); a folder of this system matches
// exactly. "." and ".." are resolved first in both.
std::optional<std::string> RelinkedPath(std::string_view entry, std::string_view from, std::string_view to);

// `relink FILE [--dry-run] FROM TO` and `relink FILE [--dry-run] --search DIR`: reports every entry,
// writes FILE (as a whole) only when an entry changed and --dry-run is not given.
void Relink(const Invocation& invocation, std::FILE* out);

} // namespace vorlane::gsk
