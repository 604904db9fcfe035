#include "component/ComponentReader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "component/Stream.h"
#include "platform/Exceptions.h"

namespace vorlane {
namespace {

[[noreturn]] void Fail(const char* message)
{
    throw EReadError(message);
}

const PublishedProperty* FindProperty(const std::vector<PublishedProperty>& properties, const std::string& name)
{
    for (const PublishedProperty& property : properties)
        if (SameName(property.name, name))
            return &property;
    return nullptr;
}

std::vector<std::string> SplitPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t dot = path.find('.', start);
        parts.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            return parts;
        start = dot + 1;
    }
}

} // namespace

ComponentReader::ComponentReader(TStream& stream) : stream_(stream), buffer_(StreamBufferSize)
{
}

ComponentReader::~ComponentReader()
{
    // Give back what was fetched but not used, so the next reader starts right after this stream.
    if (end_ > position_)
        stream_.Seek(-int64_t(end_ - position_), SeekOrigin::Current);
}

void ComponentReader::FillBuffer()
{
    if (position_ < end_)
        return;
    position_ = 0;
    end_ = stream_.Read(buffer_.data(), buffer_.size());
    if (end_ == 0)
        Fail(msg::ReadError);
}

void ComponentReader::Read(void* data, size_t count)
{
    auto* out = static_cast<uint8_t*>(data);
    while (count > 0) {
        // Once the buffer is used up, a request of a whole buffer or more goes straight to the stream.
        if (position_ == end_ && count >= buffer_.size()) {
            if (stream_.Read(out, count) != count)
                Fail(msg::ReadError);
            return;
        }
        FillBuffer();
        const size_t n = std::min(count, end_ - position_);
        std::memcpy(out, buffer_.data() + position_, n);
        position_ += n;
        out += n;
        count -= n;
    }
}

uint8_t ComponentReader::ReadByte()
{
    FillBuffer();
    return buffer_[position_++];
}

uint32_t ComponentReader::ReadU32()
{
    uint8_t b[4];
    Read(b, 4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

uint64_t ComponentReader::Remaining()
{
    const int64_t rest = stream_.Remaining();
    return (end_ - position_) + uint64_t(rest > 0 ? rest : 0);
}

// A length from the data is checked against what the data still holds before anything is allocated.
std::string ComponentReader::ReadBytes(size_t count)
{
    if (count > Remaining())
        Fail(msg::ReadError);
    std::string text(count, '\0');
    Read(text.data(), count);
    return text;
}

std::string ComponentReader::ReadShortString()
{
    return ReadBytes(ReadByte());
}

ValueTag ComponentReader::NextValue()
{
    FillBuffer();
    return static_cast<ValueTag>(buffer_[position_]);
}

ValueTag ComponentReader::ReadValue()
{
    return static_cast<ValueTag>(ReadByte());
}

int32_t ComponentReader::ReadInteger()
{
    switch (ReadValue()) {
    case ValueTag::Int8:
        return int8_t(ReadByte());
    case ValueTag::Int16: {
        uint8_t b[2];
        Read(b, 2);
        return int16_t(uint16_t(b[0] | (b[1] << 8)));
    }
    case ValueTag::Int32:
        return int32_t(ReadU32());
    default:
        Fail(msg::InvalidPropertyValue);
    }
}

std::string ComponentReader::ReadString()
{
    switch (ReadValue()) {
    case ValueTag::String:
        return ReadShortString();
    case ValueTag::LString:
        return ReadBytes(ReadU32());
    default:
        Fail(msg::InvalidPropertyValue);
    }
}

std::string ComponentReader::ReadIdent()
{
    switch (ReadValue()) {
    case ValueTag::Ident:
        return ReadShortString();
    case ValueTag::False:
        return "False";
    case ValueTag::True:
        return "True";
    case ValueTag::Nil:
        return "nil";
    case ValueTag::Null:
        return "Null";
    default:
        Fail(msg::InvalidPropertyValue);
    }
}

bool ComponentReader::ReadBoolean()
{
    switch (ReadValue()) {
    case ValueTag::False:
        return false;
    case ValueTag::True:
        return true;
    default:
        Fail(msg::InvalidPropertyValue);
    }
}

std::vector<uint8_t> ComponentReader::ReadRawData()
{
    if (ReadValue() != ValueTag::Binary)
        Fail(msg::InvalidPropertyValue);
    const uint32_t count = ReadU32();
    if (count > Remaining())
        Fail(msg::ReadError);
    std::vector<uint8_t> bytes(count);
    Read(bytes.data(), count);
    return bytes;
}

void ComponentReader::ReadListBegin()
{
    if (ReadValue() != ValueTag::List)
        Fail(msg::InvalidPropertyValue);
}

bool ComponentReader::EndOfList()
{
    return NextValue() == ValueTag::Null;
}

void ComponentReader::ReadListEnd()
{
    if (ReadValue() != ValueTag::Null)
        Fail(msg::InvalidPropertyValue);
}

// The prefix byte (F0-FF) carries flags; flag 2 is followed by an integer (a child's position).
void ComponentReader::ReadPrefix()
{
    const uint8_t next = uint8_t(NextValue());
    if ((next & 0xF0) != 0xF0)
        return;
    ReadByte();
    if (next & 0x02)
        ReadInteger();
}

void ComponentReader::ReadComponent(TComponent& target)
{
    char signature[4];
    Read(signature, 4);
    if (std::memcmp(signature, "TPF0", 4) != 0)
        Fail(msg::InvalidStreamFormat);
    ReadPrefix();
    ReadShortString(); // the class name: the caller has already chosen the component to fill
    target.SetName(target.UniqueName(ReadShortString()));
    while (!EndOfList())
        ReadRecord(target);
    ReadListEnd();
    // No component here can be created from a class name, so a stream with children is refused.
    if (!EndOfList()) {
        ReadPrefix();
        const std::string className = ReadShortString();
        throw EReadError(Format(msg::ClassNotFound, className.c_str()));
    }
    ReadListEnd();
    target.Loaded();
}

void ComponentReader::ReadRecord(TComponent& root)
{
    const std::string path = ReadShortString();
    try {
        ReadRecordValue(root, path);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const Exception& error) {
        // "%s%s%s の読み込み中のエラー : %s", assembled directly so that names holding any byte survive.
        const std::string owner = root.Name().empty() ? root.ClassName() : root.Name();
        throw EReadError(owner + "." + path + " の読み込み中のエラー : " + error.Message());
    }
}

// Every part of a dotted name but the last must name an object-valued property (here: a string list);
// the last names a property of the object reached, or one of its extra records.
void ComponentReader::ReadRecordValue(TComponent& root, const std::string& path)
{
    const std::vector<std::string> parts = SplitPath(path);
    const std::vector<PublishedProperty> properties = root.PublishedProperties();
    std::vector<std::string>* list = nullptr;
    const PublishedProperty* listProperty = nullptr;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (list)
            Fail(msg::UnknownProperty); // a string list publishes no properties
        const PublishedProperty* property = FindProperty(properties, parts[i]);
        if (!property)
            Fail(msg::UnknownProperty);
        if (property->kind != PropertyKind::StringList || !property->list || !(list = property->list()))
            Fail(msg::InvalidPropertyPath);
        listProperty = property;
    }
    const std::string& name = parts.back();
    if (list) {
        if (!SameName(name, "Strings"))
            Fail(msg::UnknownProperty);
        // The list is emptied first, then each entry appended as it is read.
        ReadListBegin();
        list->clear();
        while (!EndOfList()) {
            if (list->size() >= listProperty->maxListEntries)
                Fail(msg::InvalidPropertyValue);
            list->push_back(ReadString());
        }
        ReadListEnd();
        return;
    }
    if (!name.empty()) {
        if (const PublishedProperty* property = FindProperty(properties, name)) {
            ReadPropertyValue(*property);
            return;
        }
        if (SameName(name, "Left")) {
            root.SetDesignLeft(ReadInteger());
            return;
        }
        if (SameName(name, "Top")) {
            root.SetDesignTop(ReadInteger());
            return;
        }
        if (root.ReadExtraRecord(name, *this))
            return;
    }
    Fail(msg::UnknownProperty);
}

void ComponentReader::ReadPropertyValue(const PublishedProperty& property)
{
    if (!property.Writable())
        Fail(msg::ReadOnlyProperty);
    switch (property.kind) {
    case PropertyKind::Integer:
        if (!property.setInteger)
            Fail(msg::ReadOnlyProperty);
        if (NextValue() == ValueTag::Ident) {
            const std::string identifier = ReadIdent();
            for (const auto& [constantName, value] : property.constants)
                if (SameName(constantName, identifier)) {
                    property.setInteger(value);
                    return;
                }
            Fail(msg::InvalidPropertyValue);
        }
        property.setInteger(ReadInteger());
        return;
    case PropertyKind::String:
        if (!property.setString)
            Fail(msg::ReadOnlyProperty);
        property.setString(ReadString());
        return;
    case PropertyKind::Enumeration:
    case PropertyKind::Boolean: {
        if (!property.setInteger)
            Fail(msg::ReadOnlyProperty);
        const std::string identifier = ReadIdent();
        if (property.kind == PropertyKind::Boolean) {
            if (SameName(identifier, "False") || SameName(identifier, "True")) {
                property.setInteger(SameName(identifier, "True") ? 1 : 0);
                return;
            }
            Fail(msg::InvalidPropertyValue);
        }
        for (size_t i = 0; i < property.identifiers.size(); ++i)
            if (SameName(property.identifiers[i], identifier)) {
                property.setInteger(int32_t(i));
                return;
            }
        Fail(msg::InvalidPropertyValue);
    }
    case PropertyKind::Event:
        if (!property.setString)
            Fail(msg::ReadOnlyProperty);
        if (NextValue() == ValueTag::Nil) {
            ReadValue();
            property.setString(std::string());
            return;
        }
        if (NextValue() != ValueTag::Ident)
            Fail(msg::InvalidPropertyValue);
        property.setString(ReadIdent());
        return;
    case PropertyKind::StringList:
        // The list itself is never a value: its entries come as "<name>.Strings".
        Fail(msg::InvalidPropertyValue);
    }
    Fail(msg::InvalidPropertyValue);
}

} // namespace vorlane
