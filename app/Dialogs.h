// The main window's dialogs as settings plus a runner that shows them. The commands only fill in the
// settings and read the outcome, so tests run them with a runner of their own and nothing blocks.
#pragma once

#include <string>
#include <vector>

namespace vorlane {

class TGskForm;

// An open-file dialog's settings and outcome.
struct TOpenDialog {
    // Windows filter text: pairs of "description|patterns", patterns separated by ";".
    std::string Filter;
    int FilterIndex = 1;                  // the selected pair, from 1
    std::string InitialDir;
    bool AllowMultiSelect = false;
    bool FileMustExist = false;
    bool Sizable = true;
    bool PicturePreview = false;          // the picture dialog's preview panel
    std::string FileName;                 // outcome: the (first) chosen file
    std::vector<std::string> Files;       // outcome: every chosen file, in the dialog's order
};

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Shows the dialog; true when the user chose, with FileName and Files filled in.
    virtual bool Execute(TOpenDialog& dialog) = 0;
    // Shows the gallery-name dialog modally and returns its modal result.
    virtual int ShowModal(TGskForm& form) = 0;
};

} // namespace vorlane
