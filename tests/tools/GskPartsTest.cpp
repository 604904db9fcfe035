// The pieces of vorlane-gsk that need no gallery: its command line, JSON texts, PNG files, the placeholder.
#include <gtest/gtest.h>

#include <zlib.h>

#include "gallery/Thumbnail.h"
#include "platform/Exceptions.h"
#include "tools/vorlane-gsk/Arguments.h"
#include "tools/vorlane-gsk/Json.h"
#include "tools/vorlane-gsk/Placeholder.h"
#include "tools/vorlane-gsk/Png.h"
#include "tools/vorlane-gsk/Relink.h"
#include "tests/Utf8Text.h"
#include "tests/platform/ShiftJisNames.h"

using namespace vorlane;
using vorlane::test::Utf8;
using namespace vorlane::gsk;

namespace {

uint32_t BigEndian32(const std::vector<uint8_t>& bytes, size_t at)
{
    return (uint32_t(bytes.at(at)) << 24) | (uint32_t(bytes.at(at + 1)) << 16) | (uint32_t(bytes.at(at + 2)) << 8) |
           bytes.at(at + 3);
}

} // namespace

TEST(GskArguments, CommandsTakeTheirOperandsAndOptionsAnywhere)
{
    Invocation show = ParseArguments({"show", "a.gsk", "--json"});
    EXPECT_EQ(show.command, "show");
    EXPECT_EQ(show.operands, (std::vector<std::string>{"a.gsk"}));
    EXPECT_TRUE(show.json);

    // After "--" everything is an operand, so a picture named "--json" or "-x.jpg" can be added.
    Invocation add = ParseArguments({"add", "a.gsk", "--", "--json", "-x.jpg"});
    EXPECT_EQ(add.operands, (std::vector<std::string>{"a.gsk", "--json", "-x.jpg"}));
    EXPECT_FALSE(add.json);
    // A lone "-" is an operand too.
    EXPECT_EQ(ParseArguments({"add", "a.gsk", "-"}).operands.back(), "-");
}

TEST(GskArguments, WrongUsageIsRefused)
{
    EXPECT_THROW(ParseArguments({}), UsageError);
    EXPECT_THROW(ParseArguments({"frobnicate", "a.gsk"}), UsageError);
    EXPECT_THROW(ParseArguments({"show"}), UsageError);
    EXPECT_THROW(ParseArguments({"show", "a.gsk", "b.gsk"}), UsageError);
    EXPECT_THROW(ParseArguments({"add", "a.gsk"}), UsageError) << "add needs a picture";
    EXPECT_THROW(ParseArguments({"move", "a.gsk", "1"}), UsageError);
    EXPECT_THROW(ParseArguments({"check", "a.gsk", "--json"}), UsageError) << "--json belongs to show";
    EXPECT_THROW(ParseArguments({"remove", "a.gsk", "-1"}), UsageError) << "an unknown option, not an index";
    EXPECT_THROW(ParseArguments({"help", "frobnicate"}), UsageError);
}

TEST(GskArguments, HelpForTheToolAndForEachCommand)
{
    EXPECT_EQ(ParseArguments({"--help"}).action, Invocation::Action::Help);
    EXPECT_EQ(ParseArguments({"--version"}).action, Invocation::Action::Version);
    const Invocation moveHelp = ParseArguments({"move", "--help"});
    EXPECT_EQ(moveHelp.action, Invocation::Action::Help);
    EXPECT_EQ(moveHelp.command, "move");
    EXPECT_EQ(ParseArguments({"help", "thumbs"}).command, "thumbs");

    const std::string general = HelpText();
    for (const char* command : {"show", "add", "remove", "move", "thumbs", "check"}) {
        EXPECT_NE(general.find(std::string("  ") + command + " "), std::string::npos) << command;
        const std::string own = HelpText(command);
        EXPECT_EQ(own.rfind(std::string("Usage: vorlane-gsk ") + command, 0), 0u) << own;
    }
}

TEST(GskRelink, FolderPrefixesCompareAsTheirSystemDoes)
{
    using namespace vorlane::test::sjis;
    const std::string to = "/home/u/写真";
    // A Windows folder: letters in either case, either separator, a trailing one or not; the rest of the
    // path is converted to UTF-8. ソ and 表 end in 0x5C and split nothing.
    const std::string entry = "C:\\" + Shashin + "\\" + So + Hyo + "\\" + No + ".BMP";
    EXPECT_EQ(RelinkedPath(entry, "c:/写真/", to), "/home/u/写真/ソ表/能.BMP");
    EXPECT_EQ(RelinkedPath(entry, "C:\\写真\\ソ表", to), "/home/u/写真/能.BMP");
    EXPECT_EQ(RelinkedPath(entry, "C:\\", "/"), "/写真/ソ表/能.BMP");
    EXPECT_EQ(RelinkedPath(entry, "C:\\写真\\ソ", to), std::nullopt) << "a folder is matched whole";
    EXPECT_EQ(RelinkedPath(entry, "D:\\写真", to), std::nullopt);
    EXPECT_EQ(RelinkedPath(entry, "C:\\写真\\ソ表\\能.BMP", to), std::nullopt) << "the picture itself is no folder";
    EXPECT_EQ(RelinkedPath("\\\\srv\\" + Shashin + "\\a.jpg", "\\\\SRV\\写真", to), "/home/u/写真/a.jpg");
    EXPECT_EQ(RelinkedPath("C:\\x\\..\\y\\a.jpg", "C:\\y", to), "/home/u/写真/a.jpg");
    // Folders of this system: exactly, letter case included, and never a Windows one.
    EXPECT_EQ(RelinkedPath("/old/pics/a.jpg", "/old", "/new"), "/new/pics/a.jpg");
    EXPECT_EQ(RelinkedPath("/older/a.jpg", "/old", "/new"), std::nullopt);
    EXPECT_EQ(RelinkedPath("/Old/a.jpg", "/old", "/new"), std::nullopt);
    EXPECT_EQ(RelinkedPath("/old/a.jpg", "C:\\old", "/new"), std::nullopt);
    EXPECT_EQ(RelinkedPath("/old/\xFF.jpg", "/old", "/new"), std::nullopt) << "unreadable bytes";
}

TEST(GskJson, StringsAreEscaped)
{
    EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(JsonString(std::string("\n\t\x01\x1f", 4)), R"("\n\t\u0001\u001f")");
    EXPECT_EQ(JsonString("/写真/x.jpg"), Utf8(u8"\"/写真/x.jpg\""));
    EXPECT_EQ(JsonString("C:\\\x89\xE6"), Utf8(u8"\"C:\\\\画\""));

    JsonWriter json;
    json.BeginObject();
    json.Key("a"), json.Number(-8);
    json.Key("list"), json.BeginArray(), json.String("x"), json.String("y"), json.EndArray();
    json.Key("empty"), json.BeginArray(), json.EndArray();
    json.Key("o"), json.BeginObject(), json.Key("n"), json.Number(2147483647), json.EndObject();
    json.EndObject();
    EXPECT_EQ(json.Text(), R"({"a":-8,"list":["x","y"],"empty":[],"o":{"n":2147483647}})");
}

TEST(GskPng, FileHasValidChunksAndTheRowsInflateBack)
{
    RgbaPicture picture{3, 2, {}};
    for (int i = 0; i < 3 * 2 * 4; ++i)
        picture.pixels.push_back(uint8_t(i * 10));
    const std::vector<uint8_t> png = EncodePng(picture);

    ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    // Walk the chunks, checking each CRC; collect the compressed data.
    std::vector<std::string> types;
    std::vector<uint8_t> packed;
    for (size_t at = 8; at < png.size();) {
        const uint32_t length = BigEndian32(png, at);
        const std::string type(png.begin() + long(at) + 4, png.begin() + long(at) + 8);
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), png.data() + at + 4, 4 + length);
        EXPECT_EQ(BigEndian32(png, at + 8 + length), uint32_t(crc)) << type;
        if (type == "IHDR") {
            EXPECT_EQ(BigEndian32(png, at + 8), 3u);
            EXPECT_EQ(BigEndian32(png, at + 12), 2u);
            EXPECT_EQ(png.at(at + 16), 8);
            EXPECT_EQ(png.at(at + 17), 6) << "RGBA";
        }
        if (type == "IDAT")
            packed.insert(packed.end(), png.begin() + long(at) + 8, png.begin() + long(at) + 8 + length);
        types.push_back(type);
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

    std::vector<uint8_t> raw(2 * (1 + 3 * 4));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, packed.data(), packed.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(raw[size_t(y) * 13], 0) << "filter none";
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(raw[size_t(y) * 13 + 1 + size_t(i)], picture.pixels[size_t(y) * 12 + size_t(i)]);
    }
}

TEST(GskPng, PixelCountMustFitTheSize)
{
    EXPECT_THROW(EncodePng(RgbaPicture{2, 2, std::vector<uint8_t>(15)}), EInvalidGraphic);
    EXPECT_THROW(EncodePng(RgbaPicture{0, 1, {}}), EInvalidGraphic);
}

TEST(GskPlaceholder, WhiteSheetOpaqueWhereDrawnClearAround)
{
    const Bitmap image = PlaceholderImage();
    const Bitmap mask = PlaceholderMask();
    ASSERT_EQ(image.Width(), ThumbnailSize);
    ASSERT_EQ(image.Height(), ThumbnailSize);
    ASSERT_EQ(mask.BitsPerPixel(), 1);
    EXPECT_EQ(mask.PixelValue(0, 0), 1u) << "corner outside the sheet is clear";
    EXPECT_EQ(mask.PixelValue(31, 31), 1u);
    EXPECT_EQ(mask.PixelValue(16, 16), 0u) << "middle of the sheet is opaque";
    EXPECT_EQ(image.PixelRgb(10, 8), MakeRgb(255, 255, 255)) << "the sheet is white";
    // Clear pixels are white too, so the picture drawn without its mask shows no dark fringe.
    for (int y = 0; y < ThumbnailSize; ++y)
        for (int x = 0; x < ThumbnailSize; ++x)
            if (mask.PixelValue(x, y)) {
                ASSERT_EQ(image.PixelRgb(x, y), MakeRgb(255, 255, 255)) << x << "," << y;
            }
}
