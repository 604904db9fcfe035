// The commands of vorlane-gsk, each working on a gallery file through the gallery component TVorlane.
#pragma once

#include <cstdio>
#include <string>

#include "tools/vorlane-gsk/Arguments.h"

namespace vorlane {
class TVorlane;
}

namespace vorlane::gsk {

// Runs a parsed command line; output goes to `out`. Failures are thrown: the system's exceptions
// (vorlane::Exception), UsageError for operands that are not what the command needs.
void RunCommand(const Invocation& invocation, std::FILE* out);

// What the commands share.
// A picture or gallery operand as an absolute path; the gallery stores the paths it is given, and a
// relative one would mean something else to the program, whose working folder is not ours. A path
// longer than the system takes is refused (EPathTooLong).
std::string AbsolutePath(const std::string& operand);
// The gallery file operand as an absolute path; UsageError unless it ends in ".gsk".
std::string GalleryOperand(const std::string& operand);
// Reads an existing gallery file the way the program's load command does (EFOpenError when it is not
// there).
void LoadExisting(TVorlane& gallery, const std::string& file);
// Tells on standard error where a save put another program's version of the file, if it had to.
void ReportKeptAside(const TVorlane& gallery);

} // namespace vorlane::gsk
