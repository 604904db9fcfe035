#include "app/win32/WindowClass.h"

namespace vorlane {

void RegisterWindowClass(const char* name, WNDPROC procedure, UINT style, HICON icon)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = icon;
    windowClass.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    RegisterClassExA(&windowClass); // fails harmlessly when the class exists
}

} // namespace vorlane
