// The program's arguments as text in the system code page.
#pragma once

#include <string>
#include <vector>

namespace vorlane {

// The arguments after the program's name. Windows hands a program its command line in UTF-16 and
// narrows argv by best fit, which turns characters the code page lacks into look-alikes ("∕" into "/");
// there the arguments come from the wide command line instead, and one that the code page cannot
// express raises Exception ("argument N cannot be expressed in the system code page").
std::vector<std::string> CommandLineArguments(int argc, char** argv);

} // namespace vorlane
