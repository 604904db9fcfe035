// Private to the platform layer: what each system says about where the program keeps its files.
// FoldersCommon.cpp chooses the program folder from it.
#pragma once

#include <string>

namespace vorlane::path::detail {

// Whether the program may keep its galleries and "Temp.bmp" beside itself, in `folder`.
bool ProgramMayWriteIn(const std::string& folder);

// The user's own folder for the program's files, made when missing; empty when the system names none.
std::string UserProgramFolder();

} // namespace vorlane::path::detail
