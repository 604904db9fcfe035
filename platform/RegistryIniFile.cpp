#include "platform/RegistryIniFile.h"

#include "platform/Exceptions.h"

namespace vorlane {
namespace {

constexpr const char* DataTypeError = "'%s' のデータ型が不正です";
constexpr const char* ReadFailed = "'%s' の取得に失敗しました";
constexpr const char* CreateKeyFailed = "キー %s の作成に失敗しました";
constexpr const char* WriteFailed = "'%s' の設定に失敗しました";

} // namespace

TRegIniFile::TRegIniFile(const std::string& fileName) : fileName_(fileName)
{
    currentKey_ = registry::CreateKey(registry::Root, fileName);
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def)
{
    if (!currentKey_)
        return def;
    const auto key = registry::OpenKey(*currentKey_, section);
    if (!key)
        return def;
    uint32_t type = REG_NONE;
    size_t size = 0;
    if (registry::QueryValueInfo(*key, ident, type, size) != registry::Result::Ok)
        return def;
    if (size == 0)
        return {};
    // The data are read into a buffer of the size just reported; a value that grew or vanished in between
    // is a failed read.
    registry::Value value;
    if (registry::QueryValue(*key, ident, size, value) != registry::Result::Ok)
        throw ERegistryException(Format(ReadFailed, ident.c_str()));
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
        throw ERegistryException(Format(DataTypeError, ident.c_str()));
    std::string text(value.data.begin(), value.data.end());
    if (const size_t nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

int32_t TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def)
{
    const std::string text = ReadString(section, ident, "");
    if (text.empty())
        return def;
    return ParseRegistryInteger(text).value_or(def);
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool def)
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value)
{
    if (!currentKey_ || !registry::CreateKey(*currentKey_, section))
        throw ERegistryException(Format(CreateKeyFailed, section.c_str()));
    // A section removed between its creation and here is skipped, like a key that cannot be opened.
    const auto key = registry::OpenKey(*currentKey_, section);
    if (!key)
        return;
    if (registry::SetValue(*key, ident, REG_SZ, registry::StringData(value)) != registry::Result::Ok)
        throw ERegistryException(Format(WriteFailed, ident.c_str()));
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value)
{
    WriteString(section, ident, std::to_string(value));
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    WriteInteger(section, ident, value ? 1 : 0);
}

std::optional<int32_t> ParseRegistryInteger(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const bool hex = i < text.size() && text[i] == '$';
    if (hex)
        ++i;
    if (i == text.size())
        return std::nullopt;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + uint64_t(digit);
        // Hexadecimal fills all 32 bits ("$FFFFFFFF" is -1); decimal stops at the signed range.
        if (magnitude > (hex ? uint64_t(UINT32_MAX) : uint64_t(INT32_MAX) + (negative ? 1 : 0)))
            return std::nullopt;
    }
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

} // namespace vorlane
