#include "wallpaper/PictureName.h"

#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace vorlane {
namespace {

bool IsPlainByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || std::strchr("._/+-", c);
}

bool Holds(const std::string& name, NameReader reader)
{
    if (reader == NameReader::PlainWord)
        return std::all_of(name.begin(), name.end(), [](char c) { return c != '\0' && IsPlainByte(c); });
    // With its length given, g_utf8_validate refuses a NUL as well.
    if (!g_utf8_validate(name.data(), gssize(name.size()), nullptr))
        return false;
    for (const char* c = name.c_str(); *c; c = g_utf8_next_char(c))
        if (g_unichar_iscntrl(g_utf8_get_char(c))) // C0, DEL and C1
            return false;
    return true;
}

// 64-bit FNV-1a: the same path always gets the same link, so a desktop that compares names (a rewritten
// "Temp.bmp" set again) sees the same name.
uint64_t PathHash(const std::string& path)
{
    uint64_t hash = 14695981039346656037u;
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211u;
    }
    return hash;
}

constexpr size_t HashDigits = 16;

// "<16 hex digits>" and the path's extension when that is plain (".bmp"): programs that go by the
// extension still know the file.
std::string LinkName(const std::string& target)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string name;
    for (uint64_t hash = PathHash(target), i = 0; i < HashDigits; ++i, hash >>= 4)
        name += Hex[hash & 15];
    const std::string extension = std::filesystem::path(target).extension().string();
    if (extension.size() <= 8 && Holds(extension, NameReader::PlainWord) && extension.find('/') == std::string::npos)
        name += extension;
    return name;
}

// Names of ours: 16 hex digits, then the end, an extension, or a temporary's suffix.
bool IsLinkName(const std::string& name)
{
    return name.size() >= HashDigits &&
           std::all_of(name.begin(), name.begin() + HashDigits,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }) &&
           (name.size() == HashDigits || name[HashDigits] == '.');
}

// Our links in `folder` to files other than `target` go: nothing records them any more. Other files,
// should any be there, are left alone.
void RemoveLinksToOthers(const std::string& folder, const std::string& target)
{
    for (const std::string& name : files::FolderEntries(folder)) {
        if (!IsLinkName(name))
            continue;
        const std::string file = folder + name;
        const std::string linked = files::LinkTarget(file);
        if (!linked.empty() && linked != target)
            files::RemoveFile(file);
    }
}

// The link made, or replaced at once (never missing meanwhile) when it names another file.
bool MakeLink(const std::string& link, const std::string& target)
{
    if (files::LinkTarget(link) == target)
        return true;
    const std::string temporary = link + ".new-" + std::to_string(process::ThisProcess());
    files::RemoveFile(temporary);
    if (!files::MakeSymbolicLink(target, temporary))
        return false;
    if (std::rename(temporary.c_str(), link.c_str()) != 0) {
        files::RemoveFile(temporary);
        return false;
    }
    return true;
}

} // namespace

bool NameHolds(const std::string& name, NameReader reader)
{
    return Holds(name, reader);
}

std::string PictureNameFolder()
{
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        data = std::string(home) + "/.local/share";
    else
        return {};
    return data + "/vorlane/wallpaper-names/";
}

std::string PictureNameFor(const std::string& path, NameReader reader)
{
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    if (error || absolute.empty())
        return {};
    const std::string folder = PictureNameFolder();
    if (Holds(absolute, reader)) {
        if (!folder.empty())
            RemoveLinksToOthers(folder, absolute); // nothing when there is no folder: none is made
        return absolute;
    }
    if (folder.empty())
        return {};
    const std::string link = folder + LinkName(absolute);
    if (!Holds(link, reader))
        return {};
    std::filesystem::create_directories(std::filesystem::path(folder).parent_path().parent_path(), error);
    if (error || !files::MakeOwnFolder(folder))
        return {};
    RemoveLinksToOthers(folder, absolute);
    return MakeLink(link, absolute) ? link : std::string();
}

} // namespace vorlane
