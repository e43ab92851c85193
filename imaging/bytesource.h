#pragma once
// A file's bytes read on demand, for decoders that stop as soon as they have
// what they need.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace clipora {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `count` bytes from `offset` into `into`; fewer only at the end of
    // the file, or where it can no longer be read (which then counts as its
    // end).
    virtual std::size_t readAt(std::uint64_t offset, std::uint8_t* into, std::size_t count) noexcept = 0;
};

// Bytes already in memory.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t readAt(std::uint64_t offset, std::uint8_t* into, std::size_t count) noexcept override
    {
        if (offset >= bytes_.size())
            return 0;
        const std::size_t n = std::min<std::size_t>(count, bytes_.size() - static_cast<std::size_t>(offset));
        std::memcpy(into, bytes_.data() + offset, n);
        return n;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace clipora
