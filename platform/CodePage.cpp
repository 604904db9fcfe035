#include "platform/CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace vorlane::codepage {
namespace {

// One conversion descriptor per direction and thread: opening one loads the converter, which costs more
// than converting a file name.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<std::string> Convert(std::string_view input)
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            return std::nullopt;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        std::string output;
        // A half-width kana grows from 1 byte to 3 going to UTF-8, and nothing grows going the other way,
        // so three bytes per input byte always fit; the E2BIG branch below only guards that reasoning.
        output.resize(input.size() * 3 + 16);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char* out = output.data();
        size_t outLeft = output.size();
        while (inLeft > 0) {
            if (iconv(cd_, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
                if (errno != E2BIG)
                    return std::nullopt; // EILSEQ: not expressible; EINVAL: cut-off sequence
                const size_t used = output.size() - outLeft;
                output.resize(output.size() * 2);
                out = output.data() + used;
                outLeft = output.size() - used;
            }
        }
        if (iconv(cd_, nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1))
            return std::nullopt;
        output.resize(output.size() - outLeft);
        return output;
    }

private:
    iconv_t cd_;
};

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the bytes there are not one
// (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t Utf8SequenceLength(std::string_view s, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else
        return 0;
    if (s.size() - at < length)
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

} // namespace

std::optional<std::string> Utf8ToShiftJis(std::string_view utf8)
{
    thread_local Converter converter("CP932", "UTF-8");
    return converter.Convert(utf8);
}

std::optional<std::string> ShiftJisToUtf8(std::string_view shiftJis)
{
    thread_local Converter converter("UTF-8", "CP932");
    return converter.Convert(shiftJis);
}

bool IsValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string DisplayText(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    if (auto converted = ShiftJisToUtf8(bytes))
        return *converted;
    std::string result;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            result += "\xEF\xBF\xBD"; // U+FFFD
            ++i;
        } else {
            result.append(bytes.substr(i, length));
            i += length;
        }
    }
    return result;
}

} // namespace vorlane::codepage
