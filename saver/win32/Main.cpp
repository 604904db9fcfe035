// vorlane-saver.scr: the companion screen saver as the system runs screen savers (see
// ScreenSaverArguments.h): the pictures of the gallery named for it in "Vorlane.ini" on the whole
// screen or in the settings' preview, or its settings dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/CommandLine.h"
#include "saver/win32/SaverSettings.h"
#include "saver/win32/SaverWindow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    using namespace vorlane::saver;
    const auto report = [](const std::string& line) { std::fprintf(stderr, "%s: %s\n", ProgramName, line.c_str()); };
    try {
        const ScreenSaverArguments arguments = ParseScreenSaverArguments(vorlane::CommandLineArguments(__argc, __argv));
        const HWND window = reinterpret_cast<HWND>(arguments.window);
        if (arguments.mode == ScreenSaverMode::Settings) {
            RunSaverSettings(window);
            return 0;
        }
        return RunSaverWindow(arguments.mode, window, ReadSaverOptions(report));
    } catch (const UsageError& error) {
        report(error.what());
        MessageBoxA(nullptr, (std::string(error.what()) + "\n\n/s, /p HWND, /c [HWND]").c_str(), ProgramName,
                    MB_OK | MB_ICONERROR);
        return 2;
    } catch (const std::exception& error) {
        report(error.what());
        return 1;
    }
}
