// The program's own window classes and the object each window answers for.
#pragma once

#include <windows.h>

namespace vorlane {

// Registers the class `name` of the program with a button-face background and the arrow cursor; a class
// registered before stays as it is.
void RegisterWindowClass(const char* name, WNDPROC procedure, UINT style = 0, HICON icon = nullptr);

// The object `window` was created for (its creation parameter), kept with the window from WM_NCCREATE
// on; null before that and once taken away.
template <class T>
T* WindowObject(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    return reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

} // namespace vorlane
