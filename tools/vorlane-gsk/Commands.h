// The commands of vorlane-gsk, each working on a gallery file through the gallery component TVorlane.
#pragma once

#include <cstdio>

#include "tools/vorlane-gsk/Arguments.h"

namespace vorlane::gsk {

// Runs a parsed command line; output goes to `out`. Failures are thrown: the system's exceptions
// (vorlane::Exception), UsageError for operands that are not what the command needs.
void RunCommand(const Invocation& invocation, std::FILE* out);

} // namespace vorlane::gsk
