#include "cp1251.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace k64 {
namespace {

// Unicode code points of bytes 0x80..0xFF; 0 marks the one byte (0x98) that has no character.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at `i`; returns false on malformed input.
bool NextCodePoint(std::string_view s, std::size_t& i, std::uint32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    if (b0 < 0x80) {
        cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        cp = b0 & 0x1F;
        extra = 1;
    } else if ((b0 & 0xF0) == 0xE0) {
        cp = b0 & 0x0F;
        extra = 2;
    } else if ((b0 & 0xF8) == 0xF0) {
        cp = b0 & 0x07;
        extra = 3;
    } else {
        return false;
    }
    if (s.size() - i - 1 < static_cast<std::size_t>(extra))
        return false;
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    i += 1 + extra;
    return true;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out.push_back(c);
        else if (kHighHalf[b - 0x80] != 0)
            AppendUtf8(out, kHighHalf[b - 0x80]);
        else
            AppendUtf8(out, 0xFFFD);
    }
    return out;
}

std::optional<std::string> Utf8ToCp1251(std::string_view text, std::size_t* failedAt)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const auto fail = [&] {
            if (failedAt != nullptr)
                *failedAt = start;
            return std::nullopt;
        };
        std::uint32_t cp = 0;
        if (!NextCodePoint(text, i, cp))
            return fail();
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        std::size_t k = 0;
        while (k < kHighHalf.size() && (kHighHalf[k] == 0 || kHighHalf[k] != cp))
            ++k;
        if (k == kHighHalf.size())
            return fail();
        out.push_back(static_cast<char>(0x80 + k));
    }
    return out;
}

bool IsUtf8(std::string_view text)
{
    std::uint32_t cp = 0;
    for (std::size_t i = 0; i < text.size();)
        if (!NextCodePoint(text, i, cp))
            return false;
    return true;
}

std::string DescribeUtf8At(std::string_view text, std::size_t at)
{
    if (at >= text.size())
        return {};
    char code[16];
    std::uint32_t cp = 0;
    std::size_t end = at;
    if (!NextCodePoint(text, end, cp)) {
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(text[at]));
        return code;
    }
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
    return "\"" + std::string(text.substr(at, end - at)) + "\" (" + code + ")";
}

}  // namespace k64
