#pragma once
// Crc32Plain: the reflected CRC-32 register update (polynomial 0xEDB88320) started from 0 and
// without the final inversion. The unit checks firmware and sound images with exactly this
// variant, so its results differ from the common CRC-32 ("abc" gives 0xCA6598D0).

#include <array>
#include <cstddef>
#include <cstdint>

namespace quon::util {

inline constexpr std::array<std::uint32_t, 256> kCrc32PlainTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    return table;
}();

// `crc` lets a long image be checked in pieces: pass the result of the previous piece.
constexpr std::uint32_t Crc32Plain(const std::uint8_t* data, std::uint32_t length,
                                   std::uint32_t crc = 0)
{
    for (std::uint32_t i = 0; i < length; ++i)
        crc = kCrc32PlainTable[(data[i] ^ crc) & 0xFFu] ^ (crc >> 8);
    return crc;
}

}  // namespace quon::util
