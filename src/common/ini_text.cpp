#include "common/ini_text.h"

#include <algorithm>
#include <vector>

namespace k64 {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A carriage return that ends no line (one alone, as old Macintosh files have) counts as a blank.
constexpr std::string_view kBlanks = " \t\r";

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// One line of the file, its end (LF, CR LF, or none for a last line without one) kept apart.
struct Line {
    std::string_view text;
    std::string_view end;
};

std::vector<Line> Lines(std::string_view text)
{
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t feed = text.find('\n');
        if (feed == std::string_view::npos) {
            lines.push_back({text, ""});
            break;
        }
        std::string_view line = text.substr(0, feed);
        std::string_view end = "\n";
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            end = "\r\n";
        }
        lines.push_back({line, end});
        text.remove_prefix(feed + 1);
    }
    return lines;
}

// The section a line opens, or nullopt when it opens none.
std::optional<std::string_view> SectionOf(std::string_view line)
{
    line = Trimmed(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return std::nullopt;
    return Trimmed(line.substr(1, line.size() - 2));
}

// The key and value of a line, or nullopt for blanks, comments and lines without "=".
std::optional<std::pair<std::string_view, std::string_view>> EntryOf(std::string_view line)
{
    const std::string_view trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
        return std::nullopt;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return std::pair{Trimmed(trimmed.substr(0, equals)), Trimmed(trimmed.substr(equals + 1))};
}

std::string_view WithoutMark(std::string_view text)
{
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark
               ? text.substr(kByteOrderMark.size())
               : text;
}

}  // namespace

std::optional<std::string> IniValue(std::string_view text, std::string_view section,
                                    std::string_view key)
{
    bool inSection = false;
    for (const Line& line : Lines(WithoutMark(text))) {
        if (const auto opened = SectionOf(line.text)) {
            inSection = SameName(*opened, section);
        } else if (const auto entry = EntryOf(line.text);
                   inSection && entry && SameName(entry->first, key)) {
            return std::string(entry->second);
        }
    }
    return std::nullopt;
}

std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value)
{
    std::string entry = std::string(key) + "=";
    for (const char c : value) {
        if (c != '\n' && c != '\r')
            entry += c;
    }
    const std::string_view body = WithoutMark(text);
    std::vector<Line> lines = Lines(body);
    // Lines added end as the file's first line does; a new file gets the ends Windows expects.
    const std::string_view newEnd =
        lines.empty() || lines.front().end.empty() ? std::string_view("\r\n") : lines.front().end;

    // Where the entry goes: over the key's line, else after the section's last entry (or its
    // heading), else into a new section at the end.
    std::optional<std::size_t> replace;
    std::optional<std::size_t> after;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size() && !replace; ++i) {
        if (const auto opened = SectionOf(lines[i].text)) {
            inSection = !after && SameName(*opened, section);
            if (inSection)
                after = i;
        } else if (const auto found = EntryOf(lines[i].text); inSection && found) {
            after = i;
            if (SameName(found->first, key))
                replace = i;
        }
    }
    std::string heading;
    if (replace) {
        lines[*replace].text = entry;
    } else {
        if (!after) {
            heading = "[" + std::string(section) + "]";
            lines.push_back({heading, newEnd});
            after = lines.size() - 1;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*after) + 1, {entry, newEnd});
    }

    std::string out(text.substr(0, text.size() - body.size()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].text;
        // A last line without an end gets one when another line now follows it.
        out += lines[i].end.empty() && i + 1 < lines.size() ? newEnd : lines[i].end;
    }
    return out;
}

}  // namespace k64
