#pragma once
// A little-endian field cursor over a caller's byte array. Callers size the array from the
// payload length before they touch it; the bound is checked in debug builds as a safety net.

#include <cstdint>

namespace quon::util {

class ByteBuffer {
public:
    ByteBuffer(void* array, int size);
    virtual ~ByteBuffer() = default;

    std::uint16_t ReadUInt16();
    std::uint32_t ReadUInt32();
    void WriteUInt16(std::uint16_t value);
    void WriteUInt32(std::uint32_t value);
    void WriteBytes(const void* data, int count);
    std::uint8_t* Position() const { return position_; }
    int Size() const { return size_; }

private:
    void Check(int count) const;

    std::uint8_t* start_;
    std::uint8_t* position_;
    int size_;
};

}  // namespace quon::util
