// Writes component streams ("TPF0"): a component's published properties and extra records as typed
// value records, through a 4096-byte buffer onto a stream.
//
// A whole component:   ComponentWriter(stream).WriteComponent(component);
// Several back to back on one stream: one writer each, one after the other (each flushes at its end).
//
// Inside TComponent::WriteExtraRecords a component writes its own records as a name then one value:
//     writer.WriteRecordName("Bitmap");
//     writer.WriteRawData(bytes);          // tag 0A, 32-bit byte count, the bytes
// Integers go in their smallest form (WriteInteger), strings short or long by length (WriteString).
//
// A file write that stores fewer bytes than asked raises EWriteError "ストリームへの書き込みエラー".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "component/Component.h"

namespace vorlane {

class TStream;

// Value tags of the component stream.
enum class ValueTag : uint8_t {
    Null = 0x00, // also ends lists and record sequences
    List = 0x01,
    Int8 = 0x02,
    Int16 = 0x03,
    Int32 = 0x04,
    Extended = 0x05, // 80-bit floating point, 10 bytes
    String = 0x06,   // length byte, bytes
    Ident = 0x07,    // short string
    False = 0x08,
    True = 0x09,
    Binary = 0x0A,  // 32-bit byte count, bytes
    Set = 0x0B,     // short strings up to an empty one
    LString = 0x0C, // 32-bit byte count, bytes
    Nil = 0x0D,
    Collection = 0x0E,
    Single = 0x0F,   // 4 bytes
    Currency = 0x10, // 8 bytes
    Date = 0x11,     // 8 bytes
    WString = 0x12,  // 32-bit count of 16-bit units, 2 x count bytes
    Int64 = 0x13,    // 8 bytes
};

inline constexpr size_t StreamBufferSize = 4096;

class ComponentWriter {
public:
    explicit ComponentWriter(TStream& stream);
    // Does not write: whatever is still buffered is passed on by FlushBuffer (WriteComponent does it).
    ~ComponentWriter();
    ComponentWriter(const ComponentWriter&) = delete;
    ComponentWriter& operator=(const ComponentWriter&) = delete;

    // The whole stream of `component`: signature, class name, component name, its records (published
    // properties in property order, then its extra records), the end of records, no children, the end
    // of children. Then flushes.
    void WriteComponent(TComponent& component);

    // One record name (a short string; a name over 255 bytes is cut to its first 255).
    void WriteRecordName(const std::string& name);

    // Values, each a tag and its payload.
    void WriteInteger(int32_t value);                  // tag 02, 03 or 04, the smallest that holds it
    void WriteString(const std::string& value);        // tag 06 up to 255 bytes, 0C beyond
    void WriteIdent(const std::string& identifier);    // tag 07 (False/True/nil as 08/09/0D)
    void WriteBoolean(bool value);                     // tag 08 or 09
    void WriteRawData(std::span<const uint8_t> bytes); // tag 0A, 32-bit count, the bytes
    void WriteListBegin();                             // tag 01
    void WriteListEnd();                               // 00

    // Plain bytes, buffered.
    void Write(const void* data, size_t count);
    void WriteByte(uint8_t byte) { Write(&byte, 1); }
    void WriteShortString(const std::string& text); // length byte, then at most 255 bytes

    // Passes the buffered bytes to the stream.
    void FlushBuffer();

private:
    void WriteProperty(TComponent& component, const PublishedProperty& property);
    void WriteTag(ValueTag tag) { WriteByte(static_cast<uint8_t>(tag)); }

    TStream& stream_;
    std::vector<uint8_t> buffer_;
};

} // namespace vorlane
