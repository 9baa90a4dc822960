#include "live_lines.h"

#include "terminal_output.h"

#include <algorithm>

namespace k64::cli {
namespace {

// A live line that wraps would move every line under it, and erasing them would miss a row.
constexpr std::size_t kColumns = 79;

std::string Fit(const std::string& line)
{
    std::size_t columns = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 && ++columns > kColumns)
            return line.substr(0, i);
    }
    return line;
}

}  // namespace

std::string Cell(const std::string& text, std::size_t width)
{
    std::size_t columns = 0;
    for (const char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return text + std::string(columns < width ? width - columns : 0, ' ') + ' ';
}

std::string UnitLine(const std::string& port, std::size_t portWidth, const std::string& serial,
                     const std::string& stage, int percent)
{
    const std::string progress = percent >= 0 ? " " + std::to_string(percent) + " %" : "";
    return Fit(Cell(EscapedName(port), portWidth) + Cell(serial, 11) + stage + progress) +
           "\033[K\n";
}

void LiveLines::Erase()
{
    if (drawn_ == 0)
        return;
    std::fprintf(stderr, "\033[%zuA\r\033[J", drawn_);
    drawn_ = 0;
}

void LiveLines::Draw(const std::string& lines, bool force)
{
    if (!live_ || (lines == shown_ && !force))
        return;
    Erase();
    shown_ = lines;
    std::fputs(shown_.c_str(), stderr);
    std::fflush(stderr);
    drawn_ = static_cast<std::size_t>(std::count(shown_.begin(), shown_.end(), '\n'));
}

void LiveLines::Above(std::FILE* stream, const std::string& text)
{
    Erase();
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
    Draw(shown_, true);
}

void PrintUnitTable(const std::vector<const service::UnitResult*>& units)
{
    std::size_t portWidth = 4;
    for (const service::UnitResult* unit : units)
        portWidth = std::max(portWidth, EscapedName(unit->port).size());
    std::string table = Cell("ПОРТ", portWidth) + Cell("НОМЕР", 11) + Cell("ИТОГ", 8) + "СЕКУНД\n";
    for (const service::UnitResult* unit : units) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", unit->seconds);
        table += Cell(EscapedName(unit->port), portWidth) +
                 Cell(unit->serial.empty() ? "-" : unit->serial, 11) +
                 Cell(unit->ok ? "успех" : (unit->finished ? "ошибка" : kNotBegun), 8) + seconds +
                 (unit->error.empty() ? "" : "  " + unit->error) + "\n";
    }
    std::fputs(table.c_str(), TextStream());
    std::fflush(TextStream());
}

}  // namespace k64::cli
