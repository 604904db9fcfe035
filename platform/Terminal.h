// Whether a standard stream goes to a terminal (a console window on Windows), where progress may be
// drawn in place; a file or a pipe gets none of it.
#pragma once

#include <cstdio>

namespace vorlane {

bool IsTerminal(std::FILE* stream);

} // namespace vorlane
