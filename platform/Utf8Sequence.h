// Private to the platform layer: the length of one UTF-8 character.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorlane::codepage::detail {

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t Utf8SequenceLength(std::string_view s, size_t at);

} // namespace vorlane::codepage::detail
