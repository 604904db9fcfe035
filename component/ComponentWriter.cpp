#include "component/ComponentWriter.h"

#include <algorithm>
#include <limits>

#include "component/Stream.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

constexpr uint8_t Signature[4] = {'T', 'P', 'F', '0'};

// An ordinal property's value in its stored form: a boolean as 08 or 09, an enumeration's value or an
// integer's named constant as its identifier, any other value as an integer.
void WriteOrdinalValue(ComponentWriter& writer, const PublishedProperty& property, int32_t value)
{
    if (property.kind == PropertyKind::Boolean)
        return writer.WriteBoolean(value != 0);
    if (property.kind == PropertyKind::Enumeration && value >= 0 && size_t(value) < property.identifiers.size())
        return writer.WriteIdent(property.identifiers[size_t(value)]);
    const auto constant = std::find_if(property.constants.begin(), property.constants.end(),
                                       [value](const auto& c) { return c.second == value; });
    if (constant != property.constants.end())
        return writer.WriteIdent(constant->first);
    writer.WriteInteger(value);
}

} // namespace

ComponentWriter::ComponentWriter(TStream& stream) : stream_(stream)
{
    buffer_.reserve(StreamBufferSize);
}

ComponentWriter::~ComponentWriter() = default;

void ComponentWriter::WriteComponent(TComponent& component)
{
    Write(Signature, sizeof Signature); // no prefix byte: nothing here is inherited or ordered
    WriteShortString(component.ClassName());
    WriteShortString(component.Name());
    for (const PublishedProperty& property : component.PublishedProperties())
        WriteProperty(component, property);
    // The design position belongs to every component and comes before the class's own records.
    if (component.DesignLeft() != 0) {
        WriteRecordName("Left");
        WriteInteger(component.DesignLeft());
    }
    if (component.DesignTop() != 0) {
        WriteRecordName("Top");
        WriteInteger(component.DesignTop());
    }
    component.WriteExtraRecords(*this);
    WriteByte(0); // end of records
    WriteByte(0); // end of child components: none is ever written
    FlushBuffer();
}

// A property is stored when it can be read and written, its stored flag is on and its value differs
// from its default (an integer without a declared default differs unless it is NoDefault).
void ComponentWriter::WriteProperty(TComponent&, const PublishedProperty& property)
{
    if (!property.stored)
        return;
    switch (property.kind) {
    case PropertyKind::Integer:
    case PropertyKind::Enumeration:
    case PropertyKind::Boolean: {
        if (!property.getInteger || !property.setInteger)
            return;
        const int32_t value = property.getInteger();
        if (value == property.defaultValue.value_or(NoDefault))
            return;
        WriteRecordName(property.name);
        WriteOrdinalValue(*this, property, value);
        return;
    }
    case PropertyKind::String:
    case PropertyKind::Event: {
        if (!property.getString || !property.setString)
            return;
        const std::string value = property.getString();
        if (value.empty())
            return;
        WriteRecordName(property.name);
        if (property.kind == PropertyKind::Event)
            WriteIdent(value);
        else
            WriteString(value);
        return;
    }
    case PropertyKind::StringList: {
        if (!property.list)
            return;
        const std::vector<std::string>* list = property.list();
        if (!list || list->empty())
            return;
        // The list object stores its entries under the property's name: "<name>.Strings".
        WriteRecordName(property.name + ".Strings");
        WriteListBegin();
        for (const std::string& entry : *list)
            WriteString(entry);
        WriteListEnd();
        return;
    }
    }
}

void ComponentWriter::WriteRecordName(const std::string& name)
{
    WriteShortString(name);
}

void ComponentWriter::WriteInteger(int32_t value)
{
    if (value >= -128 && value <= 127) {
        WriteTag(ValueTag::Int8);
        WriteByte(uint8_t(int8_t(value)));
    } else if (value >= -32768 && value <= 32767) {
        WriteTag(ValueTag::Int16);
        const uint16_t v = uint16_t(int16_t(value));
        const uint8_t bytes[2] = {uint8_t(v), uint8_t(v >> 8)};
        Write(bytes, 2);
    } else {
        WriteTag(ValueTag::Int32);
        const uint32_t v = uint32_t(value);
        const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        Write(bytes, 4);
    }
}

void ComponentWriter::WriteString(const std::string& value)
{
    if (value.size() <= 255) {
        WriteTag(ValueTag::String);
        WriteShortString(value);
        return;
    }
    if (value.size() > std::numeric_limits<uint32_t>::max())
        throw EWriteError(msg::WriteError);
    WriteTag(ValueTag::LString);
    const uint32_t n = uint32_t(value.size());
    const uint8_t count[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    Write(count, 4);
    Write(value.data(), value.size());
}

void ComponentWriter::WriteIdent(const std::string& identifier)
{
    if (SameName(identifier, "False"))
        WriteTag(ValueTag::False);
    else if (SameName(identifier, "True"))
        WriteTag(ValueTag::True);
    else if (SameName(identifier, "nil"))
        WriteTag(ValueTag::Nil);
    else if (SameName(identifier, "Null"))
        WriteTag(ValueTag::Null);
    else {
        WriteTag(ValueTag::Ident);
        WriteShortString(identifier);
    }
}

void ComponentWriter::WriteBoolean(bool value)
{
    WriteTag(value ? ValueTag::True : ValueTag::False);
}

void ComponentWriter::WriteRawData(std::span<const uint8_t> bytes)
{
    if (bytes.size() > std::numeric_limits<uint32_t>::max())
        throw EWriteError(msg::WriteError);
    WriteTag(ValueTag::Binary);
    const uint32_t n = uint32_t(bytes.size());
    const uint8_t count[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    Write(count, 4);
    Write(bytes.data(), bytes.size());
}

void ComponentWriter::WriteListBegin()
{
    WriteTag(ValueTag::List);
}

void ComponentWriter::WriteListEnd()
{
    WriteTag(ValueTag::Null);
}

void ComponentWriter::WriteShortString(const std::string& text)
{
    const size_t length = std::min<size_t>(text.size(), 255);
    WriteByte(uint8_t(length));
    Write(text.data(), length);
}

void ComponentWriter::Write(const void* data, size_t count)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (count > 0) {
        // With nothing buffered, whole blocks go straight to the stream: the same bytes in the same order.
        if (buffer_.empty() && count >= StreamBufferSize) {
            const size_t whole = count / StreamBufferSize * StreamBufferSize;
            if (stream_.Write(bytes, whole) != whole)
                throw EWriteError(msg::WriteError);
            bytes += whole;
            count -= whole;
            continue;
        }
        const size_t n = std::min(count, StreamBufferSize - buffer_.size());
        buffer_.insert(buffer_.end(), bytes, bytes + n);
        bytes += n;
        count -= n;
        if (buffer_.size() == StreamBufferSize)
            FlushBuffer();
    }
}

void ComponentWriter::FlushBuffer()
{
    if (buffer_.empty())
        return;
    const size_t size = buffer_.size();
    const size_t stored = stream_.Write(buffer_.data(), size);
    buffer_.clear();
    if (stored != size)
        throw EWriteError(msg::WriteError);
}

} // namespace vorlane
