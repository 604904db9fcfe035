// Building expected component-stream bytes in tests: literal bytes, text, short strings, concatenation.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vorlane::test {

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::initializer_list<int> values)
{
    Bytes bytes;
    for (int v : values)
        bytes.push_back(uint8_t(v));
    return bytes;
}

inline Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A short string: its length byte, then its bytes.
inline Bytes Short(const std::string& text)
{
    return Cat({B({int(text.size())}), Text(text)});
}

} // namespace vorlane::test
