// The progress of long work on the common controls: a dialog with a text, a progress bar and a cancel
// button over the main window, shown once the work has lasted a second. Until then the system keeps
// showing the window as it was.
#pragma once

#include <windows.h>

#include <string>

#include "app/MainWindowFrontEnd.h"

namespace vorlane {

class TProgressForm final : public WorkProgress {
public:
    // `owner` is the main window, disabled while the dialog is up; `title` the dialog's caption.
    TProgressForm(HWND owner, std::string title, std::string text, size_t total);
    ~TProgressForm() override;
    TProgressForm(const TProgressForm&) = delete;
    TProgressForm& operator=(const TProgressForm&) = delete;

    // Once the dialog is up, handles every message (the window is drawn again; the owner is disabled, so
    // no command starts); before, none.
    bool Step(size_t done) override;

private:
    void Show();
    std::string Label(size_t done) const;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    const std::string title_;
    const std::string text_;
    const size_t total_;
    const ULONGLONG start_;
    HWND hwnd_ = nullptr;
    HWND label_ = nullptr;
    HWND bar_ = nullptr;
    bool cancelled_ = false;
};

} // namespace vorlane
