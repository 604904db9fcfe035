// The picture dialog's panel at the right of the common open-file dialog: the size label, the framed
// preview area and the preview button; and the resizable preview window they open.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "image/Bitmap.h"

namespace vorlane {

// The picture a file holds when it loads as a bitmap or a JPEG picture (chosen by its extension, as the
// picture dialog does); an empty bitmap otherwise.
Bitmap LoadPreviewPicture(const std::string& path);

// Draws `picture` into `area` of `dc`: centred at its own size when it fits, otherwise scaled down to
// fit with its proportions kept; or stretched over the whole area.
void DrawPicture(HDC dc, const RECT& area, const Bitmap& picture, bool stretch);

class PicturePreviewPanel {
public:
    PicturePreviewPanel() = default;
    PicturePreviewPanel(const PicturePreviewPanel&) = delete;
    PicturePreviewPanel& operator=(const PicturePreviewPanel&) = delete;

    // Makes the dialog run with this panel: sets its hook. The panel must outlive the dialog.
    void Attach(OPENFILENAMEW& settings);
    // The selected file changed.
    void ShowFile(const std::string& path);
    const Bitmap& Picture() const { return picture_; }

    HWND SizeLabel = nullptr;
    HWND Area = nullptr;
    HWND PreviewButton = nullptr;

private:
    static UINT_PTR CALLBACK Hook(HWND child, UINT message, WPARAM, LPARAM lParam);
    void Create(HWND dialog);
    void OpenPreviewWindow();

    HWND dialog_ = nullptr;
    Bitmap picture_;
};

// The resizable tool window with the layout's caption in the middle of the screen: the picture inside
// the layout's border, first at its own size, stretched to the window when resized; Escape closes it.
// Runs modally over `owner`.
void ShowPreviewWindow(const Bitmap& picture, HWND owner);

} // namespace vorlane
