// The main window's dialogs as settings plus a runner that shows them. The commands only fill in the
// settings and read the outcome, so tests run them with a runner of their own and nothing blocks.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorlane {

// An open-file dialog's settings and outcome.
struct TOpenDialog {
    // Windows filter text: pairs of "description|patterns", patterns separated by ";".
    std::string Filter;
    int FilterIndex = 1; // the selected pair, from 1
    std::string InitialDir;
    bool AllowMultiSelect = false;
    bool FileMustExist = false;
    bool Sizable = true;
    bool PicturePreview = false;    // the picture dialog's preview panel
    std::string FileName;           // outcome: the (first) chosen file
    std::vector<std::string> Files; // outcome: every chosen file, in the dialog's order
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
    // Shows the gallery-name dialog modally: the text of its edit box when the user chose OK (modal
    // result mrOk), nothing for any other result. The edit box keeps its text from one showing to the next.
    virtual std::optional<std::string> AskGalleryName() = 0;
};

} // namespace vorlane
