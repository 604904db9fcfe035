// The component stream on its own: value forms, stored-or-not rules, round trips, buffering, and every
// reading error with its exact text.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "component/ComponentReader.h"
#include "component/ComponentWriter.h"
#include "component/Stream.h"
#include "platform/Exceptions.h"
#include "tests/ErrorOf.h"
#include "tests/component/StreamBytes.h"

namespace vorlane {
namespace {

using namespace test;

// A component with one property of each kind the stream knows.
class TThing : public TComponent {
public:
    using TComponent::TComponent;
    std::string ClassName() const override { return "TThing"; }

    int32_t count = 5;          // default 5
    int32_t color = 0x1FFFFFFF; // default clNone, a named constant
    int32_t top = 0;            // no default
    int32_t frozen = 7;         // read-only
    int32_t mode = 0;           // enumeration mdA, mdB, mdC, default mdA
    int32_t enabled = 1;        // boolean, default true
    std::string caption;
    std::string onClick;
    std::vector<std::string> items;
    std::vector<uint8_t> data; // extra record "Data"
    int loadedCalls = 0;

    std::vector<PublishedProperty> PublishedProperties() override
    {
        auto properties = TComponent::PublishedProperties();
        auto integer = [&](const char* name, int32_t& field, std::optional<int32_t> def) {
            PublishedProperty p;
            p.name = name;
            p.defaultValue = def;
            p.getInteger = [&field] { return field; };
            p.setInteger = [&field](int32_t v) { field = v; };
            return p;
        };
        properties.push_back(integer("Count", count, 5));
        PublishedProperty c = integer("Color", color, 0x1FFFFFFF);
        c.constants = {{"clNone", 0x1FFFFFFF}, {"clBlack", 0}};
        properties.push_back(c);
        properties.push_back(integer("Top2", top, std::nullopt));
        PublishedProperty f;
        f.name = "Frozen";
        f.getInteger = [this] { return frozen; };
        properties.push_back(f);
        PublishedProperty m = integer("Mode", mode, 0);
        m.kind = PropertyKind::Enumeration;
        m.identifiers = {"mdA", "mdB", "mdC"};
        properties.push_back(m);
        PublishedProperty e = integer("Enabled", enabled, 1);
        e.kind = PropertyKind::Boolean;
        properties.push_back(e);
        PublishedProperty s;
        s.name = "Caption";
        s.kind = PropertyKind::String;
        s.getString = [this] { return caption; };
        s.setString = [this](const std::string& v) { caption = v; };
        properties.push_back(s);
        PublishedProperty l;
        l.name = "Items";
        l.kind = PropertyKind::StringList;
        l.list = [this] { return &items; };
        properties.push_back(l);
        PublishedProperty ev;
        ev.name = "OnClick";
        ev.kind = PropertyKind::Event;
        ev.getString = [this] { return onClick; };
        ev.setString = [this](const std::string& v) { onClick = v; };
        properties.push_back(ev);
        return properties;
    }
    void WriteExtraRecords(ComponentWriter& writer) override
    {
        if (!data.empty()) {
            writer.WriteRecordName("Data");
            writer.WriteRawData(data);
        }
    }
    bool ReadExtraRecord(const std::string& name, ComponentReader& reader) override
    {
        if (!SameName(name, "Data"))
            return false;
        data = reader.ReadRawData();
        return true;
    }
    void Loaded() override { ++loadedCalls; }
};

Bytes WriteStream(TComponent& component)
{
    TMemoryStream stream;
    ComponentWriter(stream).WriteComponent(component);
    return stream.Bytes();
}

void ReadStream(const Bytes& bytes, TComponent& component)
{
    TMemoryStream stream(bytes);
    ComponentReader(stream).ReadComponent(component);
}

std::string ReadError(const Bytes& bytes, TComponent& component)
{
    return ErrorOf<EReadError>([&] { ReadStream(bytes, component); });
}

// A stream of TThing holding the given records.
Bytes ThingStream(const Bytes& records, const std::string& name = "")
{
    return Cat({Text("TPF0"), Short("TThing"), Short(name), records, B({0, 0})});
}

template <class F>
Bytes Written(F write)
{
    TMemoryStream stream;
    ComponentWriter writer(stream);
    write(writer);
    writer.FlushBuffer();
    return stream.Bytes();
}

// Stores fewer bytes than asked once `limit` bytes have gone through.
class ShortStream : public TMemoryStream {
public:
    explicit ShortStream(size_t limit) : limit_(limit) {}
    size_t Write(const void* buffer, size_t count) override
    {
        const size_t n = std::min(count, limit_ - std::min(limit_, size_t(Size())));
        return TMemoryStream::Write(buffer, n);
    }

private:
    size_t limit_;
};

} // namespace

TEST(ComponentWriter, IntegersTakeTheirSmallestForm)
{
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(-8); }), B({0x02, 0xF8}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(127); }), B({0x02, 0x7F}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(-128); }), B({0x02, 0x80}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(200); }), B({0x03, 0xC8, 0x00}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(-129); }), B({0x03, 0x7F, 0xFF}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(32767); }), B({0x03, 0xFF, 0x7F}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(32768); }), B({0x04, 0x00, 0x80, 0x00, 0x00}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(65536); }), B({0x04, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_EQ(Written([](auto& w) { w.WriteInteger(INT32_MIN); }), B({0x04, 0x00, 0x00, 0x00, 0x80}));
}

TEST(ComponentWriter, StringsAreShortUpTo255BytesAndLongBeyond)
{
    const Bytes s255 = Written([](auto& w) { w.WriteString(std::string(255, 'x')); });
    ASSERT_EQ(s255.size(), 257u);
    EXPECT_EQ(s255[0], 0x06);
    EXPECT_EQ(s255[1], 0xFF);
    const Bytes s256 = Written([](auto& w) { w.WriteString(std::string(256, 'x')); });
    ASSERT_EQ(s256.size(), 261u);
    EXPECT_EQ(Bytes(s256.begin(), s256.begin() + 5), B({0x0C, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(Written([](auto& w) { w.WriteString(""); }), B({0x06, 0x00}));
    EXPECT_EQ(Written([](auto& w) { w.WriteRawData(B({1, 2})); }), B({0x0A, 2, 0, 0, 0, 1, 2}));
    EXPECT_EQ(Written([](auto& w) { w.WriteIdent("true"); }), B({0x09}));
    EXPECT_EQ(Written([](auto& w) { w.WriteIdent("mdB"); }), Cat({B({0x07}), Short("mdB")}));
    // A record name is a short string: anything past 255 bytes is cut.
    EXPECT_EQ(Written([](auto& w) { w.WriteRecordName(std::string(300, 'n')); }).size(), 256u);
}

TEST(ComponentWriter, WritesOnlyPropertiesThatDifferFromTheirDefaults)
{
    TThing thing;
    thing.top = NoDefault; // the lowest value marks "no default": never stored
    EXPECT_EQ(WriteStream(thing), Cat({Text("TPF0"), Short("TThing"), B({0}), B({0, 0})}));

    thing.SetTag(3);
    thing.count = 6;
    thing.color = 0;
    thing.top = 0;
    thing.mode = 2;
    thing.enabled = 0;
    thing.caption = "c";
    thing.items = {"a", ""};
    thing.onClick = "ThingClick";
    thing.frozen = 9; // read-only: never written
    thing.SetDesignLeft(-8);
    thing.data = {7};
    thing.SetName("Thing1");
    const Bytes expected = Cat({Text("TPF0"),
                                Short("TThing"),
                                Short("Thing1"),
                                Short("Tag"),
                                B({0x02, 3}),
                                Short("Count"),
                                B({0x02, 6}),
                                Short("Color"),
                                B({0x07}),
                                Short("clBlack"),
                                Short("Top2"),
                                B({0x02, 0}),
                                Short("Mode"),
                                B({0x07}),
                                Short("mdC"),
                                Short("Enabled"),
                                B({0x08}),
                                Short("Caption"),
                                B({0x06}),
                                Short("c"),
                                Short("Items.Strings"),
                                B({0x01, 0x06, 1, 'a', 0x06, 0, 0x00}),
                                Short("OnClick"),
                                B({0x07}),
                                Short("ThingClick"),
                                Short("Left"),
                                B({0x02, 0xF8}),
                                Short("Data"),
                                B({0x0A, 1, 0, 0, 0, 7}),
                                B({0, 0})});
    EXPECT_EQ(WriteStream(thing), expected);
}

TEST(ComponentWriter, ShortWriteIsAWriteError)
{
    TThing thing;
    thing.caption = std::string(5000, 'c');
    for (size_t limit : {size_t(0), size_t(100), size_t(4096), size_t(5000)}) {
        ShortStream stream(limit);
        EXPECT_EQ(test::ErrorOf<EWriteError>([&] { ComponentWriter(stream).WriteComponent(thing); }),
                  "ストリームへの書き込みエラー");
    }
}

TEST(ComponentStream, RoundTripKeepsEveryKindOfValue)
{
    TThing written;
    written.SetTag(-70000);
    written.count = INT32_MAX;
    written.color = 0;
    written.top = -2147483647;
    written.mode = 1;
    written.enabled = 0;
    written.caption = std::string(70000, '\x83') + "\x5c";
    written.items = {"", std::string(256, 'L'), "x", "x"};
    written.onClick = "Go";
    written.SetDesignLeft(300);
    written.SetDesignTop(-1);
    written.data = Bytes(9000, 0xAB);
    const Bytes bytes = WriteStream(written);

    TThing read;
    read.items = {"old"};
    ReadStream(bytes, read);
    EXPECT_EQ(read.Tag(), -70000);
    EXPECT_EQ(read.count, INT32_MAX);
    EXPECT_EQ(read.color, 0);
    EXPECT_EQ(read.top, -2147483647);
    EXPECT_EQ(read.mode, 1);
    EXPECT_EQ(read.enabled, 0);
    EXPECT_EQ(read.caption, written.caption);
    EXPECT_EQ(read.items, written.items);
    EXPECT_EQ(read.onClick, "Go");
    EXPECT_EQ(read.DesignLeft(), 300);
    EXPECT_EQ(read.DesignTop(), -1);
    EXPECT_EQ(read.data, written.data);
    EXPECT_EQ(read.loadedCalls, 1);
    EXPECT_EQ(WriteStream(read), bytes);
}

// Each reader gives back what it fetched past its stream's end, also when the stream ends in its second
// 4096-byte block, so the next stream is read from the byte right after.
TEST(ComponentStream, EachStreamStartsRightAfterThePreviousOneInOneFile)
{
    const std::string file = testing::TempDir() + "three_streams.bin";
    std::vector<TThing> written(3);
    written[0].caption = "small"; // ends well inside the reader's first block
    written[1].caption = std::string(5000, 's');
    written[1].items = {std::string(300, 'i')};
    written[2].caption = "last";
    std::vector<int64_t> ends;
    {
        TFileStream stream(file, TFileStream::Mode::Create);
        for (TThing& thing : written) {
            ComponentWriter(stream).WriteComponent(thing);
            ends.push_back(stream.Position());
        }
    }
    TFileStream stream(file, TFileStream::Mode::OpenRead);
    std::vector<TThing> read(3);
    for (size_t i = 0; i < read.size(); ++i) {
        {
            ComponentReader reader(stream);
            reader.ReadComponent(read[i]);
        }
        EXPECT_EQ(stream.Position(), ends[i]) << i;
        EXPECT_EQ(read[i].caption, written[i].caption) << i;
        EXPECT_EQ(read[i].items, written[i].items) << i;
    }
    EXPECT_EQ(stream.Position(), stream.Size());
    stream.Close(); // an open file cannot be removed on every system
    std::filesystem::remove(file);
}

TEST(ComponentReader, AcceptsPrefixIgnoresClassNameAndIgnoresLetterCase)
{
    TThing thing;
    ReadStream(Cat({Text("TPF0"),
                    B({0xF2, 0x02, 0x05}),
                    Short("TSomethingElse"),
                    B({0}),
                    Short("cOUNT"),
                    B({0x04, 0x10, 0x00, 0x00, 0x00}),
                    Short("items.strings"),
                    B({0x01, 0x0C, 1, 0, 0, 0, 'q', 0x00}),
                    Short("COLOR"),
                    B({0x07}),
                    Short("CLBLACK"),
                    Short("enabled"),
                    B({0x07}),
                    Short("false"),
                    Short("mode"),
                    B({0x07}),
                    Short("MDb"),
                    Short("OnClick"),
                    B({0x0D}),
                    Short("top"),
                    B({0x02, 4}),
                    B({0, 0})}),
               thing);
    EXPECT_EQ(thing.count, 16);
    EXPECT_EQ(thing.items, std::vector<std::string>{"q"});
    EXPECT_EQ(thing.color, 0);
    EXPECT_EQ(thing.enabled, 0);
    EXPECT_EQ(thing.mode, 1);
    EXPECT_EQ(thing.DesignTop(), 4);
    ReadStream(Cat({Text("TPF0"), B({0xF0}), Short("X"), B({0}), B({0, 0})}), thing);
}

TEST(ComponentReader, NameIsMadeUniqueAmongLiveComponents)
{
    TThing other;
    other.SetName("Gallery");
    TThing thing;
    ReadStream(ThingStream({}, "gallery"), thing);
    EXPECT_EQ(thing.Name(), "gallery_1");
    TThing third;
    ReadStream(ThingStream({}, "Gallery"), third);
    EXPECT_EQ(third.Name(), "Gallery_2");
    // Its own current name does not count against it; an empty name stays empty.
    ReadStream(ThingStream({}, "Gallery_2"), third);
    EXPECT_EQ(third.Name(), "Gallery_2");
    ReadStream(ThingStream({}, ""), third);
    EXPECT_EQ(third.Name(), "");
}

TEST(ComponentReader, ErrorsCarryTheirExactTexts)
{
    struct Case {
        Bytes bytes;
        std::string message;
    };
    const Bytes header = Cat({Text("TPF0"), Short("TThing"), B({0})});
    const std::vector<Case> cases = {
        {Text("TPF1"), "不正なストリーム フォーマット"},
        {Text("TP"), "ストリームからの読み込みエラー"},
        {Bytes(), "ストリームからの読み込みエラー"},
        {Cat({Text("TPF0"), B({8}), Text("TTh")}), "ストリームからの読み込みエラー"},
        {Cat({header, Short("Count")}), "TThing.Count の読み込み中のエラー : ストリームからの読み込みエラー"},
        {Cat({header, Short("Count"), B({0x04, 1, 2})}),
         "TThing.Count の読み込み中のエラー : ストリームからの読み込みエラー"},
        {Cat({header, Short("Foo"), B({0x02, 1, 0, 0})}), "TThing.Foo の読み込み中のエラー : プロパティが存在しません"},
        {Cat({header, Short("Foo.Bar"), B({0x02, 1})}),
         "TThing.Foo.Bar の読み込み中のエラー : プロパティが存在しません"},
        {Cat({header, Short("Items.Bar"), B({0x02, 1})}),
         "TThing.Items.Bar の読み込み中のエラー : プロパティが存在しません"},
        {Cat({header, Short("Items.Strings.X"), B({0x02, 1})}),
         "TThing.Items.Strings.X の読み込み中のエラー : プロパティが存在しません"},
        {Cat({header, Short("Count.Strings"), B({0x02, 1})}),
         "TThing.Count.Strings の読み込み中のエラー : 不正なプロパティのパスです"},
        {Cat({header, Short("Count"), B({0x06, 0})}), "TThing.Count の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Caption"), B({0x02, 0})}),
         "TThing.Caption の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Items.Strings"), B({0x06, 0})}),
         "TThing.Items.Strings の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Items.Strings"), B({0x01, 0x02, 5, 0})}),
         "TThing.Items.Strings の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Items"), B({0x0D})}), "TThing.Items の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Color"), B({0x07}), Short("clRed")}),
         "TThing.Color の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Mode"), B({0x07}), Short("mdZ")}),
         "TThing.Mode の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Enabled"), B({0x02, 1})}),
         "TThing.Enabled の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Frozen"), B({0x02, 1})}),
         "TThing.Frozen の読み込み中のエラー : プロパティは書き込み禁止です"},
        // Each kind takes only its own tags: no 64-bit integer, wide string, or string for an event.
        {Cat({header, Short("Count"), B({0x13}), Bytes(8, 0)}),
         "TThing.Count の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Count"), B({0x09})}), "TThing.Count の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Caption"), B({0x12, 1, 0, 0, 0, 'w', 0})}),
         "TThing.Caption の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Caption"), B({0x07}), Short("x")}),
         "TThing.Caption の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("OnClick"), B({0x06}), Short("Go")}),
         "TThing.OnClick の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Mode"), B({0x02, 1})}), "TThing.Mode の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Mode"), B({0x09})}), "TThing.Mode の読み込み中のエラー : 不正なプロパティの値です"},
        {Cat({header, Short("Data"), B({0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2})}),
         "TThing.Data の読み込み中のエラー : ストリームからの読み込みエラー"},
        {Cat({header, Short("Caption"), B({0x0C, 0xFF, 0xFF, 0xFF, 0x7F})}),
         "TThing.Caption の読み込み中のエラー : ストリームからの読み込みエラー"},
        {Cat({header, B({0}), Short("TButton"), B({0})}), "クラス TButton が見つかりません"},
        {Cat({header, B({0})}), "ストリームからの読み込みエラー"},
        {Cat({Text("TPF0"), Short("TThing"), Short("Named"), Short("Foo"), B({0x02, 1})}),
         "Named.Foo の読み込み中のエラー : プロパティが存在しません"},
    };
    for (const Case& c : cases) {
        TThing thing;
        EXPECT_EQ(ReadError(c.bytes, thing), c.message);
        EXPECT_EQ(thing.loadedCalls, 0);
    }
}

TEST(ComponentReader, ValuesReadBeforeAnErrorStayApplied)
{
    TThing thing;
    thing.items = {"keep"};
    const Bytes bytes =
        ThingStream(Cat({Short("Count"), B({0x02, 9}), Short("Items.Strings"), B({0x01, 0x06, 1, 'n', 0x02, 0})}));
    EXPECT_EQ(ReadError(bytes, thing), "TThing.Items.Strings の読み込み中のエラー : 不正なプロパティの値です");
    EXPECT_EQ(thing.count, 9);
    EXPECT_EQ(thing.items, std::vector<std::string>{"n"}); // emptied, then filled up to the bad entry
}

// The file stream holds writes back to pass them on in large pieces: a write the system refuses is still
// reported, by the write that passes it on or by Close, never lost in silence.
TEST(ComponentStream, FileStreamReportsWritesTheDeviceRefuses)
{
    const std::vector<uint8_t> block(100, 'x');
    {
        TFileStream small("/dev/full", TFileStream::Mode::Create);
        EXPECT_EQ(small.Write(block.data(), block.size()), block.size()); // held back
        EXPECT_FALSE(small.Close());
    }
    TFileStream large("/dev/full", TFileStream::Mode::Create);
    const std::vector<uint8_t> big(TFileStream::BufferSize, 'y');
    EXPECT_EQ(large.Write(block.data(), block.size()), block.size());
    EXPECT_LT(large.Write(big.data(), big.size()), big.size());
    EXPECT_THROW(ComponentWriter(large).WriteRawData(big), EWriteError);
}

} // namespace vorlane
