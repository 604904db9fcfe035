// Prints the program folder this executable gets, so that a test can run a copy of it from folders of its
// choosing (and as another user).
#include <cstdio>

#include "platform/Path.h"

int main()
{
    std::printf("%s\n", vorlane::path::ProgramFolder().c_str());
    return 0;
}
