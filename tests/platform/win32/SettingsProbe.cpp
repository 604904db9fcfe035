// Reads "Manager" of the settings file and then writes it, as the window does at start and at exit, in a
// process of its own: where the settings file lives is decided once a process.
//   settings_probe EXPECTED NEW
// Exit code 0 when it read EXPECTED and wrote NEW; 2 when it read something else; 1 when the write failed.
#include <cstdio>
#include <exception>
#include <string>

#include "platform/Profile.h"

int main(int argc, char** argv)
{
    if (argc != 3)
        return 3;
    vorlane::TIniFile settings("Vorlane.ini");
    const std::string read = settings.ReadString("Initial", "Manager", "(none)");
    if (read != argv[1]) {
        std::fprintf(stderr, "read \"%s\" from %s\n", read.c_str(), vorlane::ProfileFilePath("Vorlane.ini").c_str());
        return 2;
    }
    try {
        settings.WriteString("Initial", "Manager", argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
