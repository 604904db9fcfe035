// The dialogs of the main window on Windows: the common open-file dialog (with the picture panel where
// the settings ask for it) and the gallery-name dialog shown modally.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/Dialogs.h"

namespace vorlane {

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
