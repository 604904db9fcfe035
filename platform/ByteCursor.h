// Bounds-checked little-endian reading and writing of byte formats. Every byte format is read and
// written through these, field by field; a read past the end throws EReadError ("ストリームからの読み込みエラー").
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "platform/Exceptions.h"

namespace vorlane {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    size_t Position() const { return pos_; }
    size_t Remaining() const { return data_.size() - pos_; }
    size_t Size() const { return data_.size(); }
    bool AtEnd() const { return pos_ == data_.size(); }
    void Seek(size_t position)
    {
        if (position > data_.size())
            throw EReadError(msg::ReadError);
        pos_ = position;
    }
    void Skip(size_t count)
    {
        Need(count);
        pos_ += count;
    }

    uint8_t PeekU8() const
    {
        Need(1);
        return data_[pos_];
    }
    uint8_t ReadU8()
    {
        Need(1);
        return data_[pos_++];
    }
    int8_t ReadI8() { return static_cast<int8_t>(ReadU8()); }
    uint16_t ReadU16()
    {
        Need(2);
        const uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    int16_t ReadI16() { return static_cast<int16_t>(ReadU16()); }
    uint32_t ReadU32()
    {
        Need(4);
        const uint32_t v = uint32_t(data_[pos_]) | (uint32_t(data_[pos_ + 1]) << 8) |
                           (uint32_t(data_[pos_ + 2]) << 16) | (uint32_t(data_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }
    int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
    uint64_t ReadU64()
    {
        const uint64_t low = ReadU32();
        return low | (uint64_t(ReadU32()) << 32);
    }
    // `count` bytes as a view into the data; checked against what is left before anything is copied.
    std::span<const uint8_t> ReadBytes(size_t count)
    {
        Need(count);
        auto bytes = data_.subspan(pos_, count);
        pos_ += count;
        return bytes;
    }
    std::string ReadString(size_t count)
    {
        auto bytes = ReadBytes(count);
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

private:
    void Need(size_t count) const
    {
        if (count > data_.size() - pos_)
            throw EReadError(msg::ReadError);
    }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

class ByteWriter {
public:
    void WriteU8(uint8_t v) { bytes_.push_back(v); }
    void WriteI8(int8_t v) { WriteU8(static_cast<uint8_t>(v)); }
    void WriteU16(uint16_t v)
    {
        bytes_.push_back(uint8_t(v));
        bytes_.push_back(uint8_t(v >> 8));
    }
    void WriteI16(int16_t v) { WriteU16(static_cast<uint16_t>(v)); }
    void WriteU32(uint32_t v)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes_.push_back(uint8_t(v >> shift));
    }
    void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
    void WriteU64(uint64_t v)
    {
        WriteU32(uint32_t(v));
        WriteU32(uint32_t(v >> 32));
    }
    void WriteBytes(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void WriteString(const std::string& text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    void WriteZeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    // Overwrites four bytes already written (a size known only afterwards).
    void PatchU32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes_.at(at + size_t(i)) = uint8_t(v >> (8 * i));
    }

    size_t Size() const { return bytes_.size(); }
    void Reserve(size_t count) { bytes_.reserve(count); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace vorlane
