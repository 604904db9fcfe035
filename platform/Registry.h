// The current user's registry: keys named by paths ("Control Panel\Desktop"), each holding typed values.
// On Windows these are the registry calls themselves on HKEY_CURRENT_USER.
//
// Elsewhere it lives in one file of our own, "Vorlane.registry" in the settings folder. Every call reads the file
// afresh, and every change is written at once and replaces the file atomically, so other processes (and
// the desktop layer) always see a complete store. Key and value names match without regard to ASCII
// letter case, as on Windows; "\" separates the levels of a key path. A change reads, modifies and
// replaces the whole file under a lock ("Vorlane.registry.lock"), so changes made by several processes
// at once are all kept. Look-ups take no lock and create nothing: the file and its lock appear with the
// first change. As on Windows, "Control Panel\Desktop" exists before anything is stored.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane {

// Value types, with the numbers the Windows registry gives them.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;
inline constexpr uint32_t REG_QWORD = 11;

namespace registry {

// An open key: the full path of a key that existed when it was opened or created. The empty path is the
// current user's root, which always exists.
struct Key {
    std::string path;
};

inline const Key Root{};

struct Value {
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data; // a string's data counts its terminating NUL
};

// (Not "Status": Xlib defines that name as a macro.)
enum class Result {
    Ok,
    NotFound, // the key or the value does not exist
    Failed,   // the store could not be read or written, or the data did not fit
};

// The store's file: SettingsFolder() + "Vorlane.registry".
std::string StorePath();

// Opens `subKey` under `parent`, creating every missing level (RegCreateKeyEx). Nothing when the store
// cannot be read or written.
std::optional<Key> CreateKey(const Key& parent, std::string_view subKey);
// Opens an existing key (RegOpenKeyEx).
std::optional<Key> OpenKey(const Key& parent, std::string_view subKey);

// A value's type and size (RegQueryValueEx without a buffer).
Result QueryValueInfo(const Key& key, std::string_view name, uint32_t& type, size_t& size);
// A value's type and data, when its data are at most `capacity` bytes (RegQueryValueEx with a buffer of
// that size): a larger value fails, as a too-small buffer does.
Result QueryValue(const Key& key, std::string_view name, size_t capacity, Value& value);

// Stores a value, creating or replacing it (RegSetValueEx). The key must exist.
Result SetValue(const Key& key, std::string_view name, uint32_t type, std::span<const uint8_t> data);
// A string value's data: the text and its terminating NUL.
inline std::vector<uint8_t> StringData(std::string_view text)
{
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

// Removes a value (RegDeleteValue).
Result DeleteValue(const Key& key, std::string_view name);

} // namespace registry
} // namespace vorlane
