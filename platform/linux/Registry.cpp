#include "platform/Registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <unordered_map>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Path.h"
#include "platform/ReplacedFile.h"

// The store file is text, one line each:
//   Vorlane registry 1          the header, always the first line
//   [Control Panel\Desktop]     a key (its full path); "[]" is the root
//   1:TileWallPaper=1%00        a value of the key above: type number, name, data
// Names and data keep their bytes, except that control bytes, DEL, "%", "=", "[" and "]" are written as
// "%XX", so any data (binary included) fits on one line and strings stay readable. Lines that do not
// parse are skipped; a file without the header is not ours and is neither read nor replaced.

namespace vorlane::registry {
namespace {

constexpr std::string_view Header = "Vorlane registry 1";
// A registry of desktop settings is small. A larger file is taken as damaged rather than loaded, and
// the limits on keys keep a damaged or hostile file from costing much time or memory.
constexpr std::uintmax_t MaxStoreBytes = 1u << 20;
constexpr size_t MaxKeyPath = 1024;
constexpr size_t MaxKeys = 16384;

struct StoredValue {
    std::string name;
    Value value;
};

struct StoredKey {
    std::string path;
    std::vector<StoredValue> values;
    std::unordered_map<std::string, size_t> index; // lower-cased name -> position in values
};

struct Store {
    std::vector<StoredKey> keys{StoredKey{}};               // keys[0] is the root
    std::unordered_map<std::string, size_t> index{{"", 0}}; // lower-cased path -> position in keys
};

// Keys every user's registry has from the start, so that a user who never changed anything has no file
// and opening or "creating" these keys writes nothing.
constexpr std::string_view ProfileKeys[] = {"Control Panel", "Control Panel\\Desktop"};

std::string Folded(std::string_view name)
{
    return path::AsciiLowerCase(name);
}

bool NeedsEscape(unsigned char c)
{
    return c < 0x20 || c == 0x7F || c == '%' || c == '=' || c == '[' || c == ']';
}

void Escape(std::string& out, std::span<const uint8_t> bytes)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const uint8_t c : bytes) {
        if (NeedsEscape(c)) {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

void Escape(std::string& out, std::string_view text)
{
    Escape(out, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> Unescape(std::string_view text)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes.push_back(static_cast<uint8_t>(text[i]));
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
        i += 2;
    }
    return bytes;
}

std::optional<std::string> UnescapeText(std::string_view text)
{
    auto bytes = Unescape(text);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

StoredKey* FindKey(Store& store, std::string_view keyPath)
{
    const auto found = store.index.find(Folded(keyPath));
    return found == store.index.end() ? nullptr : &store.keys[found->second];
}

StoredValue* FindValue(StoredKey& key, std::string_view name)
{
    const auto found = key.index.find(Folded(name));
    return found == key.index.end() ? nullptr : &key.values[found->second];
}

void PutValue(StoredKey& key, std::string_view name, Value value)
{
    if (StoredValue* existing = FindValue(key, name)) {
        existing->value = std::move(value);
        return;
    }
    key.values.push_back(StoredValue{std::string(name), std::move(value)});
    key.index.emplace(Folded(name), key.values.size() - 1);
}

// Adds a key and every missing level above it, top down; nothing when the limits forbid it.
StoredKey* AddKey(Store& store, const std::string& keyPath)
{
    if (StoredKey* existing = FindKey(store, keyPath))
        return existing;
    if (keyPath.size() > MaxKeyPath)
        return nullptr;
    for (size_t end = keyPath.find('\\');; end = keyPath.find('\\', end + 1)) {
        const std::string level = keyPath.substr(0, end);
        if (!FindKey(store, level)) {
            if (store.keys.size() >= MaxKeys)
                return nullptr;
            store.keys.push_back(StoredKey{level, {}, {}});
            store.index.emplace(Folded(level), store.keys.size() - 1);
        }
        if (end == std::string::npos)
            break;
    }
    return &store.keys.back();
}

Store NewStore()
{
    Store store;
    for (const std::string_view key : ProfileKeys)
        AddKey(store, std::string(key));
    return store;
}

void ParseValueLine(StoredKey& key, std::string_view line)
{
    const size_t colon = line.find(':');
    const size_t equals = line.find('=', colon == std::string_view::npos ? 0 : colon);
    if (colon == 0 || colon == std::string_view::npos || equals == std::string_view::npos || colon > 10)
        return;
    uint32_t type = 0;
    for (size_t i = 0; i < colon; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return;
        const uint64_t next = uint64_t(type) * 10 + uint32_t(line[i] - '0');
        if (next > UINT32_MAX)
            return;
        type = static_cast<uint32_t>(next);
    }
    auto name = UnescapeText(line.substr(colon + 1, equals - colon - 1));
    auto data = Unescape(line.substr(equals + 1));
    if (!name || !data)
        return;
    PutValue(key, *name, Value{type, std::move(*data)});
}

Result Parse(const std::string& text, Store& store)
{
    store = NewStore();
    if (text.empty())
        return Result::Ok;
    std::string_view rest(text);
    bool first = true;
    size_t current = 0; // index into store.keys: values follow the last key line
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            if (line != Header)
                return Result::Failed;
            first = false;
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            auto keyPath = UnescapeText(line.substr(1, line.size() - 2));
            if (!keyPath) {
                current = SIZE_MAX; // values of an unreadable key are skipped with it
                continue;
            }
            const StoredKey* key = AddKey(store, *keyPath);
            current = key ? static_cast<size_t>(key - store.keys.data()) : SIZE_MAX;
        } else if (current != SIZE_MAX && !line.empty()) {
            ParseValueLine(store.keys[current], line);
        }
    }
    return Result::Ok;
}

Result Load(Store& store)
{
    const std::string file = StorePath();
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    // No file yet: a new user's store. A file where a folder of the path should be: no store can be had.
    if (status.type() == std::filesystem::file_type::not_found && error != std::errc::not_a_directory) {
        store = NewStore();
        return Result::Ok;
    }
    if (error || status.type() != std::filesystem::file_type::regular)
        return Result::Failed;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > MaxStoreBytes)
        return Result::Failed;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Result::Failed;
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad() || contents.str().size() > MaxStoreBytes)
        return Result::Failed;
    return Parse(contents.str(), store);
}

std::string Serialize(const Store& store)
{
    std::string text(Header);
    text += '\n';
    for (const auto& key : store.keys) {
        if (key.path.empty() && key.values.empty())
            continue;
        text += '[';
        Escape(text, key.path);
        text += "]\n";
        for (const auto& value : key.values) {
            text += std::to_string(value.value.type);
            text += ':';
            Escape(text, value.name);
            text += '=';
            Escape(text, value.value.data);
            text += '\n';
        }
    }
    return text;
}

// Writes the whole store beside the old file and renames it over, so a reader never sees half a store.
bool Save(const Store& store)
{
    const std::string text = Serialize(store);
    ReplacedFile file(StorePath(), 0600);
    return file.Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())) && file.Commit(true);
}

// Changes of the store exclude each other, across processes: each reads, modifies and replaces the whole
// file, and two at once would lose one of the changes. Readers need no lock, as the file is replaced
// whole. Without a lock file (a folder that cannot be written) the change fails at Save anyway.
class ChangeLock {
public:
    ChangeLock()
    {
        std::error_code ignored;
        std::filesystem::create_directories(path::SettingsFolder(), ignored);
        fd_ = ::open((StorePath() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {}
    }
    ~ChangeLock()
    {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;

private:
    int fd_ = -1;
};

// The levels of a subkey path; empty levels (doubled or outer "\") are dropped.
std::vector<std::string> Levels(std::string_view subKey)
{
    std::vector<std::string> levels;
    while (!subKey.empty()) {
        const size_t cut = subKey.find('\\');
        const std::string_view level = subKey.substr(0, cut);
        if (!level.empty())
            levels.emplace_back(level);
        subKey = cut == std::string_view::npos ? std::string_view() : subKey.substr(cut + 1);
    }
    return levels;
}

std::string Join(const Key& parent, std::string_view subKey)
{
    std::string result = parent.path;
    for (const auto& level : Levels(subKey)) {
        if (!result.empty())
            result += '\\';
        result += level;
    }
    return result;
}

// Loads the store and hands `key` in it to `use`: what `use` returns, or NotFound or Failed when the
// store or the key cannot be had.
template <class Use>
Result WithKey(const Key& key, Use use)
{
    Store store;
    if (const Result loaded = Load(store); loaded != Result::Ok)
        return loaded;
    StoredKey* found = FindKey(store, key.path);
    return found ? use(store, *found) : Result::NotFound;
}

} // namespace

std::string StorePath()
{
    return path::SettingsFolder() + "Vorlane.registry";
}

std::optional<Key> CreateKey(const Key& parent, std::string_view subKey)
{
    // Opening a key that exists is a look-up: it takes no lock, so it creates no file either.
    if (auto existing = OpenKey(parent, subKey))
        return existing;
    const ChangeLock lock;
    Store store;
    if (Load(store) != Result::Ok)
        return std::nullopt;
    if (!parent.path.empty() && !FindKey(store, parent.path))
        return std::nullopt;
    const std::string wanted = Join(parent, subKey);
    if (const StoredKey* existing = FindKey(store, wanted))
        return Key{existing->path};
    if (!AddKey(store, wanted) || !Save(store))
        return std::nullopt;
    return Key{wanted};
}

std::optional<Key> OpenKey(const Key& parent, std::string_view subKey)
{
    Store store;
    if (Load(store) != Result::Ok)
        return std::nullopt;
    if (const StoredKey* existing = FindKey(store, Join(parent, subKey)))
        return Key{existing->path};
    return std::nullopt;
}

Result QueryValueInfo(const Key& key, std::string_view name, uint32_t& type, size_t& size)
{
    Value value;
    const Result status = QueryValue(key, name, SIZE_MAX, value);
    if (status == Result::Ok) {
        type = value.type;
        size = value.data.size();
    }
    return status;
}

Result QueryValue(const Key& key, std::string_view name, size_t capacity, Value& value)
{
    return WithKey(key, [&](Store&, StoredKey& stored) {
        const StoredValue* found = FindValue(stored, name);
        if (!found)
            return Result::NotFound;
        if (found->value.data.size() > capacity)
            return Result::Failed;
        value = found->value;
        return Result::Ok;
    });
}

Result SetValue(const Key& key, std::string_view name, uint32_t type, std::span<const uint8_t> data)
{
    // What cannot change the store is found without the lock, so it creates no file.
    if (const Result found = WithKey(key, [](Store&, StoredKey&) { return Result::Ok; }); found != Result::Ok)
        return found;
    const ChangeLock lock;
    return WithKey(key, [&](Store& store, StoredKey& stored) {
        PutValue(stored, name, Value{type, std::vector<uint8_t>(data.begin(), data.end())});
        return Save(store) ? Result::Ok : Result::Failed;
    });
}

Result DeleteValue(const Key& key, std::string_view name)
{
    uint32_t type = REG_NONE;
    size_t size = 0;
    if (const Result found = QueryValueInfo(key, name, type, size); found != Result::Ok)
        return found;
    const ChangeLock lock;
    return WithKey(key, [&](Store& store, StoredKey& stored) {
        const StoredValue* found = FindValue(stored, name);
        if (!found)
            return Result::NotFound;
        stored.values.erase(stored.values.begin() + (found - stored.values.data()));
        stored.index.clear();
        for (size_t i = 0; i < stored.values.size(); ++i)
            stored.index.emplace(Folded(stored.values[i].name), i);
        return Save(store) ? Result::Ok : Result::Failed;
    });
}

} // namespace vorlane::registry
