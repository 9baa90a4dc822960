#include "device/byte_buffer.h"

#include <cassert>
#include <cstring>

namespace quon::util {

ByteBuffer::ByteBuffer(void* array, int size)
    : start_(static_cast<std::uint8_t*>(array)), position_(start_), size_(size)
{
}

void ByteBuffer::Check([[maybe_unused]] int count) const
{
    assert(count >= 0 && position_ - start_ + count <= size_);
}

std::uint16_t ByteBuffer::ReadUInt16()
{
    Check(2);
    const std::uint16_t v = static_cast<std::uint16_t>(position_[0] | (position_[1] << 8));
    position_ += 2;
    return v;
}

std::uint32_t ByteBuffer::ReadUInt32()
{
    Check(4);
    const std::uint32_t v = static_cast<std::uint32_t>(position_[0]) |
                            static_cast<std::uint32_t>(position_[1]) << 8 |
                            static_cast<std::uint32_t>(position_[2]) << 16 |
                            static_cast<std::uint32_t>(position_[3]) << 24;
    position_ += 4;
    return v;
}

void ByteBuffer::WriteUInt16(std::uint16_t value)
{
    Check(2);
    position_[0] = static_cast<std::uint8_t>(value);
    position_[1] = static_cast<std::uint8_t>(value >> 8);
    position_ += 2;
}

void ByteBuffer::WriteUInt32(std::uint32_t value)
{
    Check(4);
    for (int i = 0; i < 4; ++i)
        position_[i] = static_cast<std::uint8_t>(value >> (8 * i));
    position_ += 4;
}

void ByteBuffer::WriteBytes(const void* data, int count)
{
    Check(count);
    if (count > 0)
        std::memcpy(position_, data, static_cast<std::size_t>(count));
    position_ += count;
}

}  // namespace quon::util
