#include "app/win32/Win32Dialogs.h"

#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "app/win32/GskFormUnit.h"
#include "app/win32/PicturePreview.h"
#include "app/win32/WideText.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

// Room for the names of a multiple selection; a choice that does not fit is refused by the dialog.
constexpr size_t FileBufferSize = 64 * 1024;

// The filter of the common dialog: "description|patterns|..." as pairs of NUL-ended strings, ending in
// an empty one.
std::wstring CommonDialogFilter(const std::string& filter)
{
    std::wstring result = WideText(filter);
    for (wchar_t& c : result)
        if (c == L'|')
            c = L'\0';
    result.push_back(L'\0');
    result.push_back(L'\0');
    return result;
}

// The files a multiple-selection dialog returned in `buffer`: either one full path, or the folder
// followed by the names, each NUL-ended, the last followed by a second NUL. Each in the system code
// page: a name it cannot express is refused, never changed into another file's name.
std::vector<std::string> ChosenFiles(const wchar_t* buffer, size_t size)
{
    std::vector<std::wstring> parts;
    for (size_t at = 0; at < size && buffer[at] != L'\0';) {
        const size_t length = wcsnlen(buffer + at, size - at);
        parts.emplace_back(buffer + at, length);
        at += length + 1;
    }
    std::vector<std::string> files;
    if (parts.size() <= 1) {
        for (const std::wstring& part : parts)
            files.push_back(SystemText(part));
        return files;
    }
    std::wstring folder = parts.front();
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    for (size_t i = 1; i < parts.size(); ++i)
        files.push_back(SystemText(folder + parts[i]));
    return files;
}

} // namespace

// The wide dialog: the narrow one hands back best-fit look-alikes ("cafe.jpg" for "café.jpg", "?" for
// what has none), the names of other files or of none.
bool Win32DialogRunner::Execute(TOpenDialog& dialog)
{
    const std::wstring filter = CommonDialogFilter(dialog.Filter);
    const std::wstring initialDir = WideText(dialog.InitialDir);
    std::wstring files(FileBufferSize, L'\0');
    OPENFILENAMEW settings{};
    settings.lStructSize = sizeof settings;
    settings.hwndOwner = owner_;
    settings.lpstrFilter = filter.c_str();
    settings.nFilterIndex = DWORD(dialog.FilterIndex);
    settings.lpstrFile = files.data();
    settings.nMaxFile = DWORD(files.size());
    settings.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
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
    if (!GetOpenFileNameW(&settings))
        return false;
    dialog.Files = dialog.AllowMultiSelect ? ChosenFiles(files.data(), files.size())
                                           : std::vector<std::string>{SystemText(files.c_str())};
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
