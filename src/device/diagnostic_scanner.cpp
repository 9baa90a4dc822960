#include "device/diagnostic_scanner.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace k64 {
namespace {

using namespace diagnostic;

bool IsSeparator(char c) { return kValueSeparators.find(c) != std::string_view::npos; }

std::size_t LineEnd(std::string_view data, std::size_t from)
{
    const std::size_t end = data.find_first_of(kLineEnds, from);
    return end == std::string_view::npos ? data.size() : end;
}

// The X, Y and Z values of one "$AccD:" line; a value missing ends the line early.
void ScanAxes(std::string_view line, std::vector<DiagnosticEvent>& events)
{
    std::size_t pos = 0;
    for (int axis = 0; axis < 3; ++axis) {
        while (pos < line.size() && IsSeparator(line[pos]))
            ++pos;
        if (pos == line.size())
            return;
        std::size_t end = pos;
        while (end < line.size() && !IsSeparator(line[end]))
            ++end;
        DiagnosticEvent event;
        event.kind = DiagnosticEvent::Kind::Axis;
        event.axis = axis;
        event.value = AxisValue(line.substr(pos, end - pos));
        events.push_back(std::move(event));
        pos = end;
    }
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// from_chars reports a value too large or too small for a double without the value; tell the
// two apart by the text's magnitude (digits before the point, or zeros after it, plus the
// exponent). `number` is the matched text without sign or hexadecimal prefix.
bool IsHuge(std::string_view number, bool hex)
{
    const long digitWeight = hex ? 4 : 1;
    const char exponentMark = hex ? 'p' : 'e';
    std::size_t pos = 0;
    while (pos < number.size() && number[pos] == '0')
        ++pos;
    long magnitude = 0;
    bool seenPoint = false;
    bool seenNonZero = false;
    for (; pos < number.size(); ++pos) {
        const char c = number[pos];
        if (c == '.') {
            seenPoint = true;
        } else if ((c | 0x20) == exponentMark) {
            break;
        } else if (!seenPoint) {
            seenNonZero = true;
            magnitude += digitWeight;
        } else if (!seenNonZero) {
            if (c != '0')
                seenNonZero = true;
            else
                magnitude -= digitWeight;
        }
    }
    long exponent = 0;
    if (pos < number.size()) {
        ++pos;
        bool negative = false;
        if (pos < number.size() && (number[pos] == '+' || number[pos] == '-')) {
            negative = number[pos] == '-';
            ++pos;
        }
        for (; pos < number.size() && number[pos] >= '0' && number[pos] <= '9'; ++pos) {
            if (exponent < 1'000'000)
                exponent = exponent * 10 + (number[pos] - '0');
        }
        if (negative)
            exponent = -exponent;
    }
    return magnitude + exponent > 0;
}

}  // namespace

std::int32_t AxisValue(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    double number = 0.0;
    const bool hex =
        last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') &&
        (IsHexDigit(first[2]) || (first[2] == '.' && last - first > 3 && IsHexDigit(first[3])));
    std::from_chars_result parsed{};
    if (hex) {
        parsed = std::from_chars(first + 2, last, number, std::chars_format::hex);
    } else {
        // from_chars takes no sign of its own here: a second sign is not a number.
        if (first != last && (*first == '+' || *first == '-'))
            return 0;
        parsed = std::from_chars(first, last, number, std::chars_format::general);
    }
    if (parsed.ec == std::errc::result_out_of_range) {
        const char* start = hex ? first + 2 : first;
        number = IsHuge(std::string_view(start, static_cast<std::size_t>(parsed.ptr - start)), hex)
                     ? std::numeric_limits<double>::infinity()
                     : 0.0;
    } else if (parsed.ec != std::errc()) {
        return 0;
    }
    if (negative)
        number = -number;
    if (std::isnan(number))
        return 0;

    // The unit sends single-precision values: round there first, as the display always has.
    constexpr double kFloatMax = std::numeric_limits<float>::max();
    float single = std::isinf(number)    ? static_cast<float>(number)
                   : number > kFloatMax  ? std::numeric_limits<float>::infinity()
                   : number < -kFloatMax ? -std::numeric_limits<float>::infinity()
                                         : static_cast<float>(number);
    const double whole = std::trunc(static_cast<double>(single));
    if (whole >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (whole <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(whole);
}

DiagnosticScan ScanDiagnosticText(std::string_view bytes, bool final)
{
    DiagnosticScan scan;
    std::string_view region = bytes;
    if (!final) {
        const std::size_t lastEnd = bytes.find_last_of(kLineEnds);
        const std::size_t tailStart = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
        const std::string_view tail = bytes.substr(tailStart);
        if (tail.find('$') != std::string_view::npos && tail.size() <= kMaxCarry) {
            region = bytes.substr(0, tailStart);
            scan.unfinished = tail.size();
        }
    }

    for (std::size_t p = region.find('$'); p != std::string_view::npos;
         p = region.find('$', p + 1)) {
        const std::string_view rest = region.substr(p);
        const std::string_view line = region.substr(p, LineEnd(region, p) - p);
        if (rest.starts_with(kAxisTag)) {
            ScanAxes(line.substr(kAxisTag.size()), scan.events);
        } else if (rest.starts_with(kEventTag) || rest.starts_with(kVoltageTag) ||
                   rest.starts_with(kCanTag)) {
            DiagnosticEvent event;
            event.kind = DiagnosticEvent::Kind::Line;
            event.line = std::string(line);
            scan.events.push_back(std::move(event));
        }
    }
    return scan;
}

std::vector<DiagnosticEvent> DiagnosticLineScanner::Feed(std::string_view chunk)
{
    carry_.append(chunk);
    DiagnosticScan scan = ScanDiagnosticText(carry_, false);
    carry_.erase(0, carry_.size() - scan.unfinished);
    return std::move(scan.events);
}

std::vector<DiagnosticEvent> DiagnosticLineScanner::Flush()
{
    DiagnosticScan scan = ScanDiagnosticText(carry_, true);
    carry_.clear();
    return std::move(scan.events);
}

}  // namespace k64
