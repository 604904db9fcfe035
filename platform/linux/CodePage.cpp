// The conversions on glibc's iconv tables ("CP932": Shift_JIS with the vendor extensions), and names
// shown in UTF-8.
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

std::optional<std::string> Utf8ToSystem(std::string_view utf8)
{
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    return std::string(utf8);
}

std::optional<std::string> SystemToShiftJis(std::string_view text)
{
    return Utf8ToShiftJis(text);
}

std::string DisplayText(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    if (auto converted = ShiftJisToUtf8(bytes))
        return *converted;
    std::string result;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8CharacterLength(bytes.substr(i));
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
