#include "app/win32/Win32Dialogs.h"

#include <commdlg.h>

#include <cstring>
#include <vector>

#include "app/win32/GskFormUnit.h"
#include "app/win32/PicturePreview.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

// Room for the names of a multiple selection; a choice that does not fit is refused by the dialog.
constexpr size_t FileBufferSize = 64 * 1024;

// The filter of the common dialog: "description|patterns|..." as pairs of NUL-ended strings, ending in
// an empty one.
std::string CommonDialogFilter(const std::string& filter)
{
    std::string result = filter;
    for (char& c : result)
        if (c == '|')
            c = '\0';
    result.push_back('\0');
    result.push_back('\0');
    return result;
}

// The files a multiple-selection dialog returned in `buffer`: either one full path, or the folder
// followed by the names, each NUL-ended, the last followed by a second NUL.
std::vector<std::string> ChosenFiles(const char* buffer, size_t size)
{
    std::vector<std::string> parts;
    for (size_t at = 0; at < size && buffer[at] != '\0';) {
        const size_t length = strnlen(buffer + at, size - at);
        parts.emplace_back(buffer + at, length);
        at += length + 1;
    }
    if (parts.size() <= 1)
        return parts;
    std::string folder = parts.front();
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    std::vector<std::string> files;
    for (size_t i = 1; i < parts.size(); ++i)
        files.push_back(folder + parts[i]);
    return files;
}

} // namespace

bool Win32DialogRunner::Execute(TOpenDialog& dialog)
{
    const std::string filter = CommonDialogFilter(dialog.Filter);
    std::string files(FileBufferSize, '\0');
    OPENFILENAMEA settings{};
    settings.lStructSize = sizeof settings;
    settings.hwndOwner = owner_;
    settings.lpstrFilter = filter.c_str();
    settings.nFilterIndex = DWORD(dialog.FilterIndex);
    settings.lpstrFile = files.data();
    settings.nMaxFile = DWORD(files.size());
    settings.lpstrInitialDir = dialog.InitialDir.empty() ? nullptr : dialog.InitialDir.c_str();
    settings.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (dialog.AllowMultiSelect)
        settings.Flags |= OFN_ALLOWMULTISELECT;
    if (dialog.FileMustExist)
        settings.Flags |= OFN_FILEMUSTEXIST;
    if (dialog.Sizable)
        settings.Flags |= OFN_ENABLESIZING;
    PicturePreviewPanel panel;
    if (dialog.PicturePreview)
        panel.Attach(settings);
    if (!GetOpenFileNameA(&settings))
        return false;
    dialog.Files =
        dialog.AllowMultiSelect ? ChosenFiles(files.data(), files.size()) : std::vector<std::string>{files.c_str()};
    dialog.FileName = dialog.Files.empty() ? std::string() : dialog.Files.front();
    dialog.FilterIndex = int(settings.nFilterIndex);
    return !dialog.Files.empty();
}

std::optional<std::string> Win32DialogRunner::AskGalleryName()
{
    if (GskForm->ShowModal(owner_) != mrOk)
        return std::nullopt;
    return GskForm->Text();
}

} // namespace vorlane
