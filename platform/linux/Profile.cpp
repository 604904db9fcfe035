#include "platform/Profile.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "platform/ProfileText.h"
#include "platform/ReplacedFile.h"

namespace vorlane {
namespace {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A value written in quotes ('...' or "...") is read without them, as the profile functions read it.
std::string_view Unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool SameName(std::string_view a, std::string_view b)
{
    return path::AsciiLowerCase(Trim(a)) == path::AsciiLowerCase(Trim(b));
}

struct Line {
    std::string text; // without the line end
    std::string end;  // "\n", "\r\n" or "" for an unterminated last line
};

std::vector<Line> SplitLines(const std::string& content)
{
    std::vector<Line> lines;
    size_t at = 0;
    while (at < content.size()) {
        const size_t newline = content.find('\n', at);
        Line line;
        if (newline == std::string::npos) {
            line.text = content.substr(at);
            at = content.size();
        } else {
            line.text = content.substr(at, newline - at);
            line.end = "\n";
            at = newline + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.end = "\r" + line.end;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// The section name of a header line "[name]", or false for any other line.
bool SectionHeader(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return false;
    const size_t close = line.find(']');
    name = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    return true;
}

// The key and value of "key=value"; false for a line without "=" or a comment.
bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return false;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return true;
}

// Calls `visit` with each line of `file`, without its line end, until it returns false; false when the
// file cannot be read. A line is seen cut to its first LineKept bytes: no value is read beyond
// ProfileValueLimit anyway, and a line of many megabytes must not cost its size in memory.
constexpr size_t LineKept = 8192;

template <class Visit>
bool ForEachLine(const std::string& file, Visit visit)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    std::vector<char> buffer(size_t(1) << 16);
    while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0) {
        const std::string_view chunk(buffer.data(), size_t(in.gcount()));
        for (const char c : chunk) {
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (!visit(std::string_view(line)))
                    return true;
                line.clear();
            } else if (line.size() < LineKept) {
                line += c;
            }
        }
    }
    if (!line.empty())
        visit(std::string_view(line));
    return true;
}

bool ReadWholeFile(const std::string& file, std::string& content)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    content = buffer.str();
    return true;
}

// Replaces `file` only once the new content is complete: a temporary file in the same folder, renamed
// over the old one, so a failed write leaves the old settings as they were.
bool ReplaceFile(const std::string& file, const std::string& content)
{
    struct stat old {};
    const mode_t mode = ::stat(file.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ReplacedFile replaced(file, mode);
    return replaced.Open() &&
           replaced.Write(std::span(reinterpret_cast<const uint8_t*>(content.data()), content.size())) &&
           replaced.Commit(false);
}

} // namespace

std::string ProfileFilePath(const std::string& file)
{
    if (file.find('/') != std::string::npos)
        return file;
    return path::SettingsFolder() + file;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    const std::string& file)
{
    std::string result(profile::WithoutTrailingBlanks(defaultValue));
    bool inSection = false;
    ForEachLine(ProfileFilePath(file), [&](std::string_view line) {
        std::string_view name;
        std::string_view lineKey;
        std::string_view value;
        if (SectionHeader(line, name)) {
            if (inSection)
                return false; // only the first section of that name counts
            inSection = SameName(name, section);
        } else if (inSection && KeyLine(line, lineKey, value) && SameName(lineKey, key)) {
            result.assign(Unquoted(value));
            return false;
        }
        return true;
    });
    if (result.size() > ProfileValueLimit)
        result.resize(ProfileValueLimit);
    return result;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& file)
{
    section = Trim(profile::OneLine(section));
    key = Trim(profile::OneLine(key));
    value = profile::OneLine(value);
    const std::string target = ProfileFilePath(file);

    std::string content;
    ReadWholeFile(target, content);
    std::vector<Line> lines = SplitLines(content);
    // New lines follow the file's own line ends.
    const std::string newline = !lines.empty() && !lines.front().end.empty() ? lines.front().end : "\n";
    const std::string entry = std::string(key) + "=" + std::string(value);

    size_t sectionAt = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionHeader(lines[i].text, name) && SameName(name, section)) {
            sectionAt = i;
            break;
        }
    }

    if (sectionAt == lines.size()) {
        if (!lines.empty() && lines.back().end.empty())
            lines.back().end = newline;
        lines.push_back({"[" + std::string(section) + "]", newline});
        lines.push_back({entry, newline});
    } else {
        size_t lastContent = sectionAt;
        bool replaced = false;
        for (size_t i = sectionAt + 1; i < lines.size(); ++i) {
            std::string_view name;
            std::string_view lineKey;
            std::string_view lineValue;
            if (SectionHeader(lines[i].text, name))
                break;
            if (KeyLine(lines[i].text, lineKey, lineValue) && SameName(lineKey, key)) {
                lines[i].text = entry;
                replaced = true;
                break;
            }
            if (!Trim(lines[i].text).empty())
                lastContent = i;
        }
        if (!replaced) {
            if (lines[lastContent].end.empty())
                lines[lastContent].end = newline;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), Line{entry, newline});
        }
    }

    std::string output;
    for (const Line& line : lines)
        output += line.text + line.end;
    return ReplaceFile(target, output);
}

} // namespace vorlane
