// The current user's registry through the registry calls themselves. A Key keeps its path under
// HKEY_CURRENT_USER; every call opens what it needs and closes it again.
#include "platform/Registry.h"

#include <algorithm>
#include <climits>
#include <windows.h>

namespace vorlane::registry {
namespace {

std::string Join(const Key& parent, std::string_view subKey)
{
    while (!subKey.empty() && subKey.front() == '\\')
        subKey.remove_prefix(1);
    if (parent.path.empty() || subKey.empty())
        return parent.path + std::string(subKey);
    return parent.path + "\\" + std::string(subKey);
}

// An open key, closed with the object.
class OpenedKey {
public:
    OpenedKey(const Key& key, REGSAM access)
    {
        if (key.path.empty())
            handle_ = HKEY_CURRENT_USER;
        else
            status_ = RegOpenKeyExA(HKEY_CURRENT_USER, key.path.c_str(), 0, access, &handle_);
    }
    ~OpenedKey()
    {
        if (status_ == ERROR_SUCCESS && handle_ != HKEY_CURRENT_USER)
            RegCloseKey(handle_);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    LONG Status() const { return status_; }
    HKEY Handle() const { return handle_; }

private:
    HKEY handle_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
};

Result ResultOf(LONG status)
{
    if (status == ERROR_SUCCESS)
        return Result::Ok;
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND ? Result::NotFound : Result::Failed;
}

} // namespace

std::string StorePath()
{
    return "HKEY_CURRENT_USER";
}

std::optional<Key> CreateKey(const Key& parent, std::string_view subKey)
{
    const std::string wanted = Join(parent, subKey);
    HKEY handle = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, wanted.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    RegCloseKey(handle);
    return Key{wanted};
}

std::optional<Key> OpenKey(const Key& parent, std::string_view subKey)
{
    const Key wanted{Join(parent, subKey)};
    const OpenedKey opened(wanted, KEY_READ);
    if (opened.Status() != ERROR_SUCCESS)
        return std::nullopt;
    return wanted;
}

Result QueryValueInfo(const Key& key, std::string_view name, uint32_t& type, size_t& size)
{
    const OpenedKey opened(key, KEY_QUERY_VALUE);
    if (opened.Status() != ERROR_SUCCESS)
        return ResultOf(opened.Status());
    DWORD valueType = REG_NONE;
    DWORD valueSize = 0;
    const LONG status =
        RegQueryValueExA(opened.Handle(), std::string(name).c_str(), nullptr, &valueType, nullptr, &valueSize);
    if (status == ERROR_SUCCESS) {
        type = valueType;
        size = valueSize;
    }
    return ResultOf(status);
}

Result QueryValue(const Key& key, std::string_view name, size_t capacity, Value& value)
{
    const OpenedKey opened(key, KEY_QUERY_VALUE);
    if (opened.Status() != ERROR_SUCCESS)
        return ResultOf(opened.Status());
    std::vector<uint8_t> data(std::min<size_t>(capacity, UINT_MAX));
    DWORD valueType = REG_NONE;
    DWORD valueSize = DWORD(data.size());
    const LONG status = RegQueryValueExA(opened.Handle(), std::string(name).c_str(), nullptr, &valueType,
                                         data.empty() ? nullptr : data.data(), &valueSize);
    if (status != ERROR_SUCCESS)
        return ResultOf(status); // ERROR_MORE_DATA: larger than the caller's buffer
    if (data.empty() && valueSize > 0)
        return Result::Failed;
    data.resize(valueSize);
    value = Value{valueType, std::move(data)};
    return Result::Ok;
}

Result SetValue(const Key& key, std::string_view name, uint32_t type, std::span<const uint8_t> data)
{
    if (data.size() > UINT_MAX)
        return Result::Failed;
    const OpenedKey opened(key, KEY_SET_VALUE);
    if (opened.Status() != ERROR_SUCCESS)
        return ResultOf(opened.Status());
    return ResultOf(
        RegSetValueExA(opened.Handle(), std::string(name).c_str(), 0, type, data.data(), DWORD(data.size())));
}

Result DeleteValue(const Key& key, std::string_view name)
{
    const OpenedKey opened(key, KEY_SET_VALUE);
    if (opened.Status() != ERROR_SUCCESS)
        return ResultOf(opened.Status());
    return ResultOf(RegDeleteValueA(opened.Handle(), std::string(name).c_str()));
}

} // namespace vorlane::registry
