#include "tools/vorlane-wallpaper/RotationPositions.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>

#include "platform/Exceptions.h"
#include "platform/Path.h"
#include "platform/ReplacedFile.h"

// The file is text, one line each:
//   Vorlane rotation 1                 the header, always the first line
//   3 /home/u/旅行.gsk /home/u/b.jpg     an entry index, the gallery file, the picture
// Names keep their bytes, except that control bytes, the blank, DEL and "%" are written as "%XX", so any
// name fits in one word of one line.

namespace vorlane::wallpapertool {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view Header = "Vorlane rotation 1";
// MaxRememberedGalleries lines of two names each, with room to spare; anything larger is not ours.
constexpr std::uintmax_t MaxFileBytes = 4u << 20;

void Escape(std::string& out, std::string_view name)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (const char byte : name) {
        const auto c = static_cast<unsigned char>(byte);
        if (c <= 0x20 || c == 0x7F || c == '%') {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        } else {
            out += byte;
        }
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The name a word stands for; nothing when it is not one this file's writer makes.
std::optional<std::string> Unescape(std::string_view word)
{
    std::string name;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            name += word[i];
            continue;
        }
        const int high = i + 2 < word.size() ? HexDigit(word[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(word[i + 2]) : -1;
        if (low < 0)
            return std::nullopt;
        name += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return name;
}

std::optional<RememberedPosition> ParseLine(std::string_view line)
{
    const size_t first = line.find(' ');
    const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos)
        return std::nullopt;
    RememberedPosition position;
    const auto [end, error] = std::from_chars(line.data(), line.data() + first, position.index);
    if (error != std::errc() || end != line.data() + first || position.index < 0)
        return std::nullopt;
    auto gallery = Unescape(line.substr(first + 1, second - first - 1));
    auto picture = Unescape(line.substr(second + 1));
    if (!gallery || !picture || gallery->empty())
        return std::nullopt;
    position.gallery = std::move(*gallery);
    position.picture = std::move(*picture);
    return position;
}

} // namespace

std::string PositionsFile()
{
    return path::ProgramFolder() + "rotation" + path::Separator() + "positions";
}

std::vector<RememberedPosition> ReadPositions(const std::string& file)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > MaxFileBytes)
        return {};
    std::ifstream stream(file, std::ios::binary);
    std::string line;
    if (!std::getline(stream, line) || line != Header)
        return {};
    std::vector<RememberedPosition> positions;
    while (positions.size() < MaxRememberedGalleries && std::getline(stream, line))
        if (auto position = ParseLine(line))
            positions.push_back(std::move(*position));
    return positions;
}

void WritePositions(const std::string& file, const std::vector<RememberedPosition>& positions)
{
    std::string text(Header);
    text += '\n';
    for (size_t i = 0; i < positions.size() && i < MaxRememberedGalleries; ++i) {
        text += std::to_string(positions[i].index);
        text += ' ';
        Escape(text, positions[i].gallery);
        text += ' ';
        Escape(text, positions[i].picture);
        text += '\n';
    }
    std::error_code ignored;
    fs::create_directories(path::ExtractFileDir(file), ignored);
    ReplacedFile replaced(file, 0600);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (!replaced.Open() || !replaced.Write(std::span(bytes, text.size())) || !replaced.Commit(true))
        throw EFCreateError(Format(msg::FCreateError, file.c_str()));
}

int CurrentIndex(const RememberedPosition& remembered, const std::vector<std::string>& pictures)
{
    const int count = static_cast<int>(pictures.size());
    if (remembered.index >= 0 && remembered.index < count && pictures[remembered.index] == remembered.picture)
        return remembered.index;
    for (int i = 0; i < count; ++i)
        if (pictures[i] == remembered.picture)
            return i;
    return -1;
}

} // namespace vorlane::wallpapertool
