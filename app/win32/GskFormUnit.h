// The gallery-name dialog on Windows: a fixed-size dialog frame with a label, one edit box and OK and
// Cancel, as the layout (app/MainWindowLayout.h) places them. The window lives from start-up to the end of the process
// and is only hidden between showings, so the edit box keeps the last typed text.
#pragma once

#include <windows.h>

#include <string>

namespace vorlane {

class TGskForm {
public:
    TGskForm();
    ~TGskForm();
    TGskForm(const TGskForm&) = delete;
    TGskForm& operator=(const TGskForm&) = delete;

    HWND Label1;
    HWND GskEdit;
    HWND BitBtn1; // OK: default button (Enter), modal result 1
    HWND BitBtn2; // キャンセル: Escape and the frame's close box too, modal result 2

    // Shows the dialog over `owner`, which is disabled meanwhile, until OK or Cancel; returns the modal
    // result.
    int ShowModal(HWND owner);
    // The edit box's text in the system code page; a text it cannot express is refused (Exception).
    std::string Text() const;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    int modalResult_ = 0;
};

// The application's gallery-name dialog, alive from start-up to the end of the process.
extern TGskForm* GskForm;

} // namespace vorlane
