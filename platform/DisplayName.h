// How stored names are shown: a picture entry or a gallery's ManagerName is kept as the bytes it was
// stored with (Shift_JIS and a Windows path in a gallery made on Windows), and taken apart and converted
// only to be shown.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::display {

// The file-name part, split by the name's own rules and shown as UTF-8 ("C:\Vorlane\旅行" stored in
// Shift_JIS gives "旅行"; "/home/u/a.jpg" gives "a.jpg").
std::string FileName(std::string_view storedName);

// The file-name part without its extension, as a list item shows a picture ("C:\P\a.b.jpg" -> "a.b").
std::string FileTitle(std::string_view storedName);
// The same into `title`, whose room is used again: a list of 10,000 entries needs no string of its own
// for each caption.
void FileTitle(std::string_view storedName, std::string& title);

} // namespace vorlane::display
