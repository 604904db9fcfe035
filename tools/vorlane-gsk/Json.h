// Just enough JSON for `show --json`: strings, numbers, arrays and objects written in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::gsk {

// A JSON string literal of a gallery text: quotes, backslashes and control characters escaped, the text
// made valid UTF-8 first (see DisplayText).
std::string JsonString(std::string_view bytes);

// Writes one JSON value compactly; keys and values are added in the order the caller gives them.
class JsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Key(std::string_view name);
    void String(std::string_view bytes);
    void Number(int64_t value);
    // A key and its value, in one call.
    void Member(std::string_view name, std::string_view bytes)
    {
        Key(name);
        String(bytes);
    }
    void Member(std::string_view name, int64_t value)
    {
        Key(name);
        Number(value);
    }

    const std::string& Text() const { return text_; }

private:
    void BeforeValue();

    std::string text_;
    std::vector<bool> first_; // per open object or array: no member written yet
    bool afterKey_ = false;
};

} // namespace vorlane::gsk
