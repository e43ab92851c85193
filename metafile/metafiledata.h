#pragma once
// Bounds-checked little-endian reading of metafile records. Every read is
// checked against the record it belongs to; a read past its end means a
// broken record and throws ImagingError("メタファイルが不正です").

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/codecs.h"

namespace clipora::metafile {

[[noreturn]] void invalidMetafile();

class Data {
public:
    Data() = default;
    Data(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    explicit Data(ByteView view) : bytes_(view.data()), size_(view.size()) {}

    std::size_t size() const { return size_; }
    const std::uint8_t* bytes() const { return bytes_; }
    bool has(std::size_t offset, std::size_t count) const { return offset <= size_ && count <= size_ - offset; }
    void need(std::size_t offset, std::size_t count) const
    {
        if (!has(offset, count))
            invalidMetafile();
    }

    std::uint8_t u8(std::size_t at) const
    {
        need(at, 1);
        return bytes_[at];
    }
    std::uint16_t u16(std::size_t at) const
    {
        need(at, 2);
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }
    std::int16_t i16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::uint32_t u32(std::size_t at) const
    {
        need(at, 4);
        return bytes_[at] | (bytes_[at + 1] << 8) | (bytes_[at + 2] << 16) | (std::uint32_t(bytes_[at + 3]) << 24);
    }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }
    float f32(std::size_t at) const
    {
        const std::uint32_t bits = u32(at);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // The part [offset, offset + count); throws when it does not lie within.
    Data sub(std::size_t offset, std::size_t count) const
    {
        need(offset, count);
        return Data(bytes_ + offset, count);
    }
    // From offset to the end.
    Data from(std::size_t offset) const
    {
        need(offset, 0);
        return Data(bytes_ + offset, size_ - offset);
    }

private:
    const std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace clipora::metafile
