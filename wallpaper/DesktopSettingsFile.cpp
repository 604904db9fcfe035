#include "wallpaper/DesktopSettingsFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <system_error>

#include "platform/ReplacedFile.h"

namespace vorlane {
namespace {

// The group a "[...]" line starts; nothing for any other line.
std::optional<std::string> GroupOf(const std::string& line)
{
    const size_t close = line.rfind(']');
    if (line.empty() || line.front() != '[' || close == std::string::npos)
        return std::nullopt;
    return line.substr(1, close - 1);
}

bool IsKeyLine(const std::string& line, const std::string& key)
{
    return line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=';
}

bool OneLine(const std::string& text)
{
    return text.find_first_of("\r\n") == std::string::npos;
}

} // namespace

DesktopSettingsFile::DesktopSettingsFile(std::string path) : path_(std::move(path))
{
    std::ifstream file(path_, std::ios::binary);
    existed_ = file.is_open();
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(line);
    }
}

std::vector<std::string> DesktopSettingsFile::Groups() const
{
    std::vector<std::string> groups;
    for (const std::string& line : lines_)
        if (const auto group = GroupOf(line))
            groups.push_back(*group);
    return groups;
}

size_t DesktopSettingsFile::GroupLine(const std::string& group) const
{
    for (size_t i = 0; i < lines_.size(); ++i)
        if (GroupOf(lines_[i]) == group)
            return i;
    return lines_.size();
}

std::optional<std::string> DesktopSettingsFile::Get(const std::string& group, const std::string& key) const
{
    for (size_t i = GroupLine(group) + 1; i < lines_.size() && !GroupOf(lines_[i]); ++i)
        if (IsKeyLine(lines_[i], key))
            return lines_[i].substr(key.size() + 1);
    return std::nullopt;
}

bool DesktopSettingsFile::Set(const std::string& group, const std::string& key, const std::string& value)
{
    if (!OneLine(group) || !OneLine(key) || !OneLine(value) || key.empty() || key.find('=') != std::string::npos)
        return false;
    const std::string entry = key + "=" + value;
    size_t at = GroupLine(group);
    if (at == lines_.size()) {
        if (!lines_.empty() && !lines_.back().empty())
            lines_.push_back("");
        lines_.push_back("[" + group + "]");
        lines_.push_back(entry);
        return true;
    }
    size_t last = at; // the group's last line that is not blank
    for (++at; at < lines_.size() && !GroupOf(lines_[at]); ++at) {
        if (IsKeyLine(lines_[at], key)) {
            lines_[at] = entry;
            return true;
        }
        if (!lines_[at].empty())
            last = at;
    }
    lines_.insert(lines_.begin() + std::ptrdiff_t(last + 1), entry);
    return true;
}

bool DesktopSettingsFile::Save() const
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
    std::string content;
    for (const std::string& line : lines_)
        content += line + "\n";
    ReplacedFile file(path_, 0600);
    return file.Open() && file.Write(std::span(reinterpret_cast<const uint8_t*>(content.data()), content.size())) &&
           file.Commit(true);
}

std::string UserConfigFolder()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/.config/";
    return {};
}

} // namespace vorlane
