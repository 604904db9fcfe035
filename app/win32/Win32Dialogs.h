// The dialogs of the main window on Windows: the common open-file dialog (with the picture panel where
// the settings ask for it) and the gallery-name dialog shown modally.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/Dialogs.h"

namespace vorlane {

// The filter of the common dialog: "description|patterns|..." as pairs of NUL-ended strings, ending in
// an empty one.
std::string CommonDialogFilter(const std::string& filter);

// The files a multiple-selection dialog returned in `buffer`: either one full path, or the folder
// followed by the names, each NUL-ended, the last followed by a second NUL.
std::vector<std::string> ChosenFiles(const char* buffer, size_t size);

class Win32DialogRunner final : public DialogRunner {
public:
    explicit Win32DialogRunner(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    bool Execute(TOpenDialog& dialog) override;
    // Shows GskForm.
    std::optional<std::string> AskGalleryName() override;

private:
    HWND owner_;
};

} // namespace vorlane
