#pragma once
// What runs on many units show while they work: one line per unit, redrawn in place at the
// bottom of the terminal, with other text written above the lines; and the table that ends them.

#include "service/fleet.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace k64::cli {

// `text` and spaces up to `width` columns (UTF-8 continuation bytes take none), and a gap.
std::string Cell(const std::string& text, std::size_t width);

// One unit at work: its port (in a column `portWidth` wide), serial, stage and how far its
// transfer has come (`percent`; none when negative), cut to one row of a terminal and ended.
std::string UnitLine(const std::string& port, std::size_t portWidth, const std::string& serial,
                     const std::string& stage, int percent);

// The live lines on standard error when it is a terminal; the caller serialises the calls.
class LiveLines {
public:
    explicit LiveLines(bool live) : live_(live) {}
    bool Live() const { return live_; }
    // Shows `lines` (UnitLine's) in place of those shown; lines that did not change are not
    // drawn again unless `force`.
    void Draw(const std::string& lines, bool force = false);
    // Writes `text` to `stream` above the live lines.
    void Above(std::FILE* stream, const std::string& text);

private:
    void Erase();

    bool live_;
    std::size_t drawn_ = 0;  // rows on the screen
    std::string shown_;
};

// A unit that a stop kept from beginning.
inline constexpr const char* kNotBegun = "не начат";

// Port, serial, result and seconds of every unit, and the reason of each that failed (one not
// finished was kept from beginning by a stop), on the text stream.
void PrintUnitTable(const std::vector<const service::UnitResult*>& units);

}  // namespace k64::cli
