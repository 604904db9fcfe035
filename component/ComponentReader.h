// Reads component streams ("TPF0") into existing components, through a 4096-byte buffer. When the
// reader is destroyed it moves the stream back over the bytes it fetched but did not use, so that a
// second stream on the same file is read from the byte right after the first one's end:
//     { ComponentReader(file).ReadComponent(gallery); }
//     { ComponentReader(file).ReadComponent(images); }
//
// Inside TComponent::ReadExtraRecord(name, reader) a component that owns the record `name` (compare
// with SameName: letter case is ignored) reads exactly one value and returns true; any other name
// returns false without reading. For the image list's data:
//     std::vector<uint8_t> bytes = reader.ReadRawData();   // tag 0A, count checked against the data
//
// Every error is EReadError with the system's message (the constants below and msg::ReadError for
// data that ends early); an error inside a record reaches the caller as
// "<component name or class name>.<record name> の読み込み中のエラー : <message>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "component/ComponentWriter.h"
#include "component/Component.h"

namespace vorlane {

class TStream;

namespace msg {
inline constexpr const char* UnknownProperty = "プロパティが存在しません";
inline constexpr const char* InvalidPropertyPath = "不正なプロパティのパスです";
inline constexpr const char* InvalidPropertyValue = "不正なプロパティの値です";
inline constexpr const char* ReadOnlyProperty = "プロパティは書き込み禁止です";
inline constexpr const char* PropertyException = "%s%s%s の読み込み中のエラー : %s";
inline constexpr const char* ClassNotFound = "クラス %s が見つかりません";
} // namespace msg

class ComponentReader {
public:
    explicit ComponentReader(TStream& stream);
    // Moves the stream back over the unused buffered bytes (also after an error).
    ~ComponentReader();
    ComponentReader(const ComponentReader&) = delete;
    ComponentReader& operator=(const ComponentReader&) = delete;

    // Reads one whole component stream into `target`: signature, optional prefix, class name (ignored),
    // component name (made unique among the live components), records, children (a stream that has any
    // is refused: nothing here can create components), end. Each value is applied as it is read; on
    // success the target's Loaded runs.
    void ReadComponent(TComponent& target);

    // The tag of the next value, not consumed.
    ValueTag NextValue();
    ValueTag ReadValue();

    // Values. A tag that does not fit raises "不正なプロパティの値です".
    int32_t ReadInteger();              // tags 02, 03, 04
    std::string ReadString();           // tags 06, 0C
    std::string ReadIdent();            // tag 07; 08/09/0D/00 read as False/True/nil/Null
    bool ReadBoolean();                 // tags 08, 09, or the identifiers False/True
    std::vector<uint8_t> ReadRawData(); // tag 0A: the count is checked against the data left first
    void ReadListBegin();               // tag 01
    bool EndOfList();                   // next byte is 00
    void ReadListEnd();                 // the 00

    // Plain bytes; data that ends early raises "ストリームからの読み込みエラー".
    void Read(void* data, size_t count);
    uint8_t ReadByte();
    std::string ReadShortString();
    // Bytes between the read position and the end of the stream.
    uint64_t Remaining();

private:
    void ReadRecord(TComponent& root);
    void ReadRecordValue(TComponent& root, const std::string& path);
    void ReadPropertyValue(const PublishedProperty& property);
    void ReadPrefix();
    void FillBuffer();
    uint32_t ReadU32();
    std::string ReadBytes(size_t count);

    TStream& stream_;
    std::vector<uint8_t> buffer_;
    size_t position_ = 0; // next unread byte in buffer_
    size_t end_ = 0;      // bytes held in buffer_
};

} // namespace vorlane
