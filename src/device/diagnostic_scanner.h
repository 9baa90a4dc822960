#pragma once
// Picks the known lines out of the unit's diagnostic stream. In diagnostic mode the unit sends
// plain text lines, not frames:
//
//   "$AccD:" X "," Y "," Z    accelerometer axes (separators: any run of commas and tabs)
//   "$AccE:" ...              accelerometer event  - shown as a whole line
//   "$VS:" ...                supply voltage       - shown as a whole line
//   "$Can:" ...               CAN bus lines        - shown as a whole line
//
// A line ends at CR or LF. Every "$" starts a candidate, also one inside a line already handled;
// anything else is ignored. The bytes are untrusted: nothing here looks past the end of the
// bytes handed in, and numbers that do not fit a whole 32-bit value are clamped.
//
// No Qt: the desktop window and the terminal program share it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace k64 {

namespace diagnostic {
inline constexpr std::string_view kAxisTag = "$AccD:";
inline constexpr std::string_view kEventTag = "$AccE:";
inline constexpr std::string_view kVoltageTag = "$VS:";
inline constexpr std::string_view kCanTag = "$Can:";
inline constexpr std::string_view kLineEnds = "\r\n";
inline constexpr std::string_view kTagEnd = ":\t";
inline constexpr std::string_view kValueSeparators = ",\t";
// An unfinished line is kept for the next chunk up to this length; a longer one is handled
// as it stands, so a unit that never ends its line cannot make the carry grow without bound.
inline constexpr std::size_t kMaxCarry = 512;
}  // namespace diagnostic

struct DiagnosticEvent {
    enum class Kind { Axis, Line };
    Kind kind = Kind::Line;
    int axis = 0;            // Axis: 0 = X, 1 = Y, 2 = Z
    std::int32_t value = 0;  // Axis: the value truncated toward zero
    std::string line;        // Line: from the "$" up to the line end, tag included
};

struct DiagnosticScan {
    std::vector<DiagnosticEvent> events;  // in the order the lines arrived
    // Bytes at the end that belong to a line whose end has not arrived yet; the caller hands
    // them in again in front of the next chunk. Zero when `final` was set.
    std::size_t unfinished = 0;
};

// Scans `bytes`. With `final` false, a last line without its line end is left unhandled and
// reported in `unfinished` (unless it is longer than kMaxCarry); with `final` true everything
// is handled as it stands.
DiagnosticScan ScanDiagnosticText(std::string_view bytes, bool final = false);

// The whole value of an axis text as the window shows it: the decimal number at the start of
// `text` (sign, digits, point, exponent, hexadecimal after 0x; blanks before it skipped; text
// after it ignored), rounded to single precision, truncated toward zero and clamped to the
// 32-bit range. Not a number gives 0.
std::int32_t AxisValue(std::string_view text);

// Keeps the unfinished part of a stream between chunks: feed each chunk, get its events.
class DiagnosticLineScanner {
public:
    std::vector<DiagnosticEvent> Feed(std::string_view chunk);
    // Handles what is still kept as it stands and forgets it.
    std::vector<DiagnosticEvent> Flush();
    void Reset() { carry_.clear(); }

private:
    std::string carry_;
};

}  // namespace k64
