#include "tools/vorlane-gsk/Json.h"

#include <cstdio>

#include "tools/vorlane-gsk/Text.h"

namespace vorlane::gsk {

std::string JsonString(std::string_view bytes)
{
    const std::string text = DisplayText(bytes);
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else
                out += c;
        }
    }
    out += '"';
    return out;
}

void JsonWriter::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back())
            text_ += ',';
        first_.back() = false;
    }
}

void JsonWriter::BeginObject()
{
    BeforeValue();
    text_ += '{';
    first_.push_back(true);
}

void JsonWriter::EndObject()
{
    text_ += '}';
    first_.pop_back();
}

void JsonWriter::BeginArray()
{
    BeforeValue();
    text_ += '[';
    first_.push_back(true);
}

void JsonWriter::EndArray()
{
    text_ += ']';
    first_.pop_back();
}

void JsonWriter::Key(std::string_view name)
{
    BeforeValue();
    text_ += JsonString(name);
    text_ += ':';
    afterKey_ = true;
}

void JsonWriter::String(std::string_view bytes)
{
    BeforeValue();
    text_ += JsonString(bytes);
}

void JsonWriter::Number(int64_t value)
{
    BeforeValue();
    text_ += std::to_string(value);
}

} // namespace vorlane::gsk
