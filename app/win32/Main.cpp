// The program Vorlane16 on Windows: the common controls, the main window and the gallery-name dialog,
// then the message loop until the main window is gone.
// Before the system's headers, which define the desktop call's constants as macros.
#include "wallpaper/Desktop.h"

#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <string>

#include "app/ErrorText.h"
#include "app/win32/GskFormUnit.h"
#include "app/win32/MaonFormUnit.h"
#include "app/win32/MessageLoop.h"
#include "app/win32/Win32Dialogs.h"
#include "platform/EventLoop.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show)
{
    using namespace vorlane;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    Win32DialogRunner dialogs;
    // What escapes a handler outside the window's own (a timer tick, a socket notice) is shown too.
    SetExceptionHandler([](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            const std::string text = CurrentErrorBoxText();
            if (MainForm)
                MainForm->ShowError(text);
        }
    });
    try {
        MainForm = new TMainForm(dialogs, SystemDesktop());
        dialogs.SetOwner(MainForm->Handle());
        GskForm = new TGskForm;
    } catch (const std::exception& error) {
        // Nothing of the program can run without its windows.
        MessageBoxA(nullptr, StartupErrorText(error).c_str(), StartupErrorTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
        return 1;
    }
    ShowWindow(MainForm->Handle(), show);
    UpdateWindow(MainForm->Handle());
    const int code = RunMessageLoop(*MainForm);
    delete MainForm;
    MainForm = nullptr;
    delete GskForm;
    GskForm = nullptr;
    return code;
}
