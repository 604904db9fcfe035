#include "platform/Terminal.h"

#include <unistd.h>

namespace vorlane {

bool IsTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

} // namespace vorlane
