// The settings file: ini-style profile files with the behaviour the companion screen saver and older
// copies of the file rely on. Section and key names match without regard to ASCII letter case, values
// are read into a 2048-byte buffer (at most 2047 bytes are seen) with surrounding blanks trimmed and one
// pair of enclosing quotes removed (a default loses only its trailing blanks), and a
// write changes only the one line it is about. Nothing is cached: every call reads or rewrites the file.
#pragma once

#include <string>
#include <string_view>

namespace vorlane {

// A bare file name (no "/") lives in path::SettingsFolder(); any other name is used as given.
std::string ProfileFilePath(const std::string& file);

// The value of `key` in `section`, or `defaultValue` when the file, the section or the key is missing.
// Either is cut to ProfileValueLimit bytes.
inline constexpr size_t ProfileValueLimit = 2047;
std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    const std::string& file);

// Sets `key` in `section` to `value`, creating the file, the section or the key as needed and keeping
// every other line as it was. Returns false when the file cannot be written; the old file is then intact.
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& file);

// The bare name of the settings file every program of Vorlane shares.
inline constexpr const char* SettingsFileName = "Vorlane.ini";

// The settings object: a profile file under its bare name.
class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

    const std::string& FileName() const { return fileName_; }
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // EIniFileException "%s に書き込めません" with the file name as given when the write fails.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

private:
    std::string fileName_;
};

} // namespace vorlane
