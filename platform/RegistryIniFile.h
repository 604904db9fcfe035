// Registry access in the manner of an ini file: a section is a subkey of the file's key, an ident is a
// value name. Strings are read from REG_SZ or REG_EXPAND_SZ values; numbers and Booleans are stored as
// strings. Failures raise ERegistryException with the registry's message texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace vorlane {

class TRegIniFile {
public:
    // Opens the key `fileName` under the current user's root, creating it when it is missing. When it can
    // be neither opened nor created the object holds no key: reads give their defaults, writes fail.
    explicit TRegIniFile(const std::string& fileName);
    TRegIniFile(const TRegIniFile&) = delete;
    TRegIniFile& operator=(const TRegIniFile&) = delete;

    const std::string& FileName() const { return fileName_; }
    bool HasKey() const { return currentKey_.has_value(); }

    // The text up to its first NUL; `def` when the section or the value is missing. A value of another
    // type raises "'%s' のデータ型が不正です", a failed read "'%s' の取得に失敗しました".
    std::string ReadString(const std::string& section, const std::string& ident, const std::string& def);
    // The string parsed as a 32-bit integer (decimal, or hexadecimal after "$"); `def` when it is empty,
    // missing or not a number.
    int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def);
    // ReadInteger's number, non-zero = true.
    bool ReadBool(const std::string& section, const std::string& ident, bool def);

    // Stores REG_SZ text, creating the section ("キー %s の作成に失敗しました") and raising
    // "'%s' の設定に失敗しました" when the value cannot be stored.
    void WriteString(const std::string& section, const std::string& ident, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
    void WriteBool(const std::string& section, const std::string& ident, bool value); // "1" or "0"

private:
    std::string fileName_;
    std::optional<registry::Key> currentKey_;
};

// The integer rules of ReadInteger: leading blanks, an optional sign, then decimal digits or "$" and up
// to eight hexadecimal digits, nothing after; nothing when the text is not such a number or overflows.
std::optional<int32_t> ParseRegistryInteger(std::string_view text);

} // namespace vorlane
