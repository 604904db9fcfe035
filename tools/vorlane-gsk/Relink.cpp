#include "tools/vorlane-gsk/Relink.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

#include "gallery/Vorlane1.h"
#include "platform/CodePage.h"
#include "platform/DisplayName.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/FolderLock.h"
#include "platform/Path.h"
#include "tools/vorlane-gsk/Commands.h"
#include "tools/vorlane-gsk/Text.h"

namespace vorlane::gsk {
namespace fs = std::filesystem;
namespace {

// A path taken apart for comparing folders: its root and its folder and file names, with "." dropped and
// ".." resolved.
struct SplitPath {
    bool windows = false;
    std::string root; // "C:" (a drive), "\\" (a server), "/" or empty (relative)
    std::vector<std::string> parts;
};

// `text` is UTF-8, so no byte of a multi-byte character is taken for a separator.
SplitPath Split(std::string_view text)
{
    SplitPath split;
    split.windows = path::IsWindowsPath(text);
    const auto separator = [&](char c) { return c == '/' || (split.windows && c == '\\'); };
    size_t at = 0;
    if (split.windows) {
        split.root = text[1] == ':' ? std::string(text.substr(0, 2)) : "\\\\";
        at = 2;
    } else if (!text.empty() && text[0] == '/') {
        split.root = "/";
    }
    while (at < text.size()) {
        size_t end = at;
        while (end < text.size() && !separator(text[end]))
            ++end;
        const std::string_view part = text.substr(at, end - at);
        if (part == "..") {
            if (!split.parts.empty())
                split.parts.pop_back();
        } else if (!part.empty() && part != ".") {
            split.parts.emplace_back(part);
        }
        at = end + 1;
    }
    return split;
}

// Windows compares names without regard to the case of ASCII letters.
bool SameName(const std::string& a, const std::string& b, bool windows)
{
    return windows ? path::AsciiLowerCase(a) == path::AsciiLowerCase(b) : a == b;
}

// The stored name as UTF-8, or nothing when it is neither UTF-8 nor Shift_JIS: such a name could only be
// rewritten by guessing at its bytes.
std::optional<std::string> Readable(std::string_view stored)
{
    if (codepage::IsValidUtf8(stored))
        return std::string(stored);
    return codepage::ShiftJisToUtf8(stored);
}

// Whether the picture is here: an absolute path naming a regular file. A Windows path names no file
// here, whatever the current folder holds.
bool IsHere(const std::string& entry)
{
    return !entry.empty() && entry[0] == '/' && files::KindOf(entry) == files::Kind::Regular;
}

// A folder operand of this system, absolute, without a trailing "/".
std::string FolderOperand(const std::string& operand, bool mustExist)
{
    if (path::IsWindowsPath(operand))
        throw UsageError("relink: '" + operand + "' is a Windows path; the new folder must be one of this system");
    std::string folder = AbsolutePath(operand);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (mustExist && !fs::is_directory(folder))
        throw UsageError("relink: '" + operand + "' is not a folder");
    return folder;
}

struct EntryReport {
    std::string before;
    std::string after;                   // the entry as it is written
    std::vector<std::string> candidates; // more than one: ambiguous
};

std::vector<EntryReport> MoveFolder(const std::vector<std::string>& entries, const std::string& from,
                                    const std::string& to)
{
    std::vector<EntryReport> reports;
    for (const std::string& entry : entries)
        reports.push_back({entry, RelinkedPath(entry, from, to).value_or(entry), {}});
    return reports;
}

// Every missing picture is looked for by its file name under `folder`, in one walk that keeps only the
// files whose names are wanted.
std::vector<EntryReport> SearchByName(const std::vector<std::string>& entries, const std::string& folder)
{
    std::vector<EntryReport> reports;
    std::map<std::string, std::vector<std::string>> found; // by the lower-cased name
    for (const std::string& entry : entries) {
        reports.push_back({entry, entry, {}});
        if (!IsHere(entry))
            found.emplace(path::AsciiLowerCase(display::FileName(entry)), std::vector<std::string>());
    }
    if (found.empty())
        return reports;

    std::error_code error;
    ProgressLine progress("searching " + TerminalText(folder) + ", files seen");
    size_t seen = 0;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (++seen % 64 == 0)
            progress.Show(seen);
        const auto wanted = found.find(path::AsciiLowerCase(it->path().filename().string()));
        std::error_code ignored;
        if (wanted != found.end() && it->is_regular_file(ignored))
            wanted->second.push_back(it->path().string());
    }
    if (error)
        throw Exception(folder + ": " + error.message());

    for (EntryReport& report : reports) {
        if (IsHere(report.before))
            continue;
        const std::string name = display::FileName(report.before);
        const bool windows = path::IsWindowsPath(report.before);
        for (const std::string& candidate : found[path::AsciiLowerCase(name)])
            if (SameName(path::ExtractFileName(candidate), name, windows))
                report.candidates.push_back(candidate);
        std::sort(report.candidates.begin(), report.candidates.end());
        if (report.candidates.size() == 1)
            report.after = report.candidates.front();
    }
    return reports;
}

} // namespace

std::optional<std::string> RelinkedPath(std::string_view entry, std::string_view from, std::string_view to)
{
    const std::optional<std::string> readable = Readable(entry);
    if (!readable)
        return std::nullopt;
    const SplitPath name = Split(*readable);
    const SplitPath folder = Split(from);
    if (name.windows != folder.windows || !SameName(name.root, folder.root, name.windows) ||
        name.parts.size() <= folder.parts.size())
        return std::nullopt;
    for (size_t i = 0; i < folder.parts.size(); ++i)
        if (!SameName(name.parts[i], folder.parts[i], name.windows))
            return std::nullopt;

    std::string result(to);
    for (size_t i = folder.parts.size(); i < name.parts.size(); ++i) {
        if (result.empty() || result.back() != '/')
            result += '/';
        result += name.parts[i];
    }
    return result;
}

void Relink(const Invocation& invocation, std::FILE* out)
{
    const std::vector<std::string>& operands = invocation.operands;
    if (operands.size() != (invocation.search ? 2u : 3u))
        throw UsageError(
            std::string("relink: ") + (invocation.search ? "--search takes one folder" : "missing operand") +
            " (usage: " + ToolName + " relink FILE [--dry-run] FROM TO, or FILE [--dry-run] --search DIR)");
    const std::string file = GalleryOperand(operands[0]);
    // The walk holds no lock: it may take long, and every other edit of the gallery would wait for it.
    // The result is applied, by name, to the gallery as it is once locked.
    TVorlane gallery;
    LoadExisting(gallery, file);
    const std::vector<std::string>& entries = gallery.FileNames().Items();
    std::vector<EntryReport> reports;
    if (invocation.search) {
        reports = SearchByName(entries, FolderOperand(operands[1], true));
    } else {
        const std::string& from = operands[1];
        reports = MoveFolder(entries, path::IsWindowsPath(from) ? from : AbsolutePath(from),
                             FolderOperand(operands[2], false));
    }

    int changed = 0, here = 0, missing = 0, ambiguous = 0;
    for (size_t i = 0; i < reports.size(); ++i) {
        const EntryReport& report = reports[i];
        const char* state = "found";
        if (report.candidates.size() > 1) {
            state = "ambiguous";
            ++ambiguous;
        } else if (IsHere(report.after)) {
            ++here;
        } else {
            state = "missing";
            ++missing;
        }
        std::fprintf(out, "%4zu  %-9s  %s", i, state, TerminalText(report.before).c_str());
        if (report.after != report.before) {
            ++changed;
            std::fprintf(out, " -> %s", TerminalText(report.after).c_str());
        }
        std::fputc('\n', out);
        if (report.candidates.size() > 1)
            for (const std::string& candidate : report.candidates)
                std::fprintf(out, "                 %s\n", TerminalText(candidate).c_str());
    }

    // Saved to the file it was loaded from, through the gallery's own save: the stored names that do not
    // change and ManagerName keep their bytes.
    if (changed > 0 && !invocation.dryRun) {
        // No other edit of the gallery between this read and the replacement of the file; an entry added
        // meanwhile stays as it is.
        const FolderLock lock(file);
        TVorlane current;
        LoadExisting(current, file);
        std::map<std::string, std::string> moved;
        for (const EntryReport& report : reports)
            moved.emplace(report.before, report.after);
        TStringList names;
        for (const std::string& name : current.FileNames().Items()) {
            const auto found = moved.find(name);
            names.Add(found != moved.end() ? found->second : name);
        }
        current.SetFileNames(names);
        current.SaveGallery();
        ReportKeptAside(current);
    }
    std::fprintf(out, "%s: %d relinked, %d found, %d missing", TerminalText(file).c_str(), changed, here, missing);
    if (ambiguous > 0)
        std::fprintf(out, ", %d ambiguous", ambiguous);
    std::fprintf(out, "%s\n", invocation.dryRun && changed > 0 ? " (dry run: nothing written)" : "");
}

} // namespace vorlane::gsk
