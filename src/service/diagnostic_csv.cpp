#include "service/diagnostic_csv.h"

#include "common/cp1251.h"
#include "common/error_reason.h"

#include <cstdio>

namespace k64::service {
namespace {

// RFC 4180: a field holding a comma, a quote or a line break is quoted, its quotes doubled.
std::string Field(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string Seconds(std::chrono::milliseconds elapsed)
{
    const long long ms = elapsed.count() < 0 ? 0 : elapsed.count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", ms / 1000, ms % 1000);
    return text;
}

}  // namespace

std::string DescribeRecordingFailure(const std::filesystem::path& path, int error)
{
    std::string text = "Не удалось записать файл " + path.string();
    if (error != 0)
        text += " (" + ErrorReason(error) + ")";
    return text;
}

std::string DiagnosticCsvHeader() { return "time,tag,x,y,z,text\r\n"; }

std::string DiagnosticCsvRows(std::chrono::milliseconds elapsed,
                              const std::vector<DiagnosticEvent>& events)
{
    std::string rows;
    const std::string time = Seconds(elapsed);
    // The axes of one line come as consecutive events, X first; a line may stop short of Z.
    std::string axes;
    int axesSeen = 0;
    const auto endAxisRow = [&] {
        if (axesSeen == 0)
            return;
        rows += time + "," + std::string(diagnostic::kAxisTag) + axes +
                std::string(static_cast<std::size_t>(3 - axesSeen), ',') + ",\r\n";
        axes.clear();
        axesSeen = 0;
    };
    for (const DiagnosticEvent& event : events) {
        if (event.kind == DiagnosticEvent::Kind::Axis) {
            if (event.axis == 0)
                endAxisRow();
            axes += "," + std::to_string(event.value);
            ++axesSeen;
            continue;
        }
        endAxisRow();
        const std::string_view line = event.line;
        std::size_t tagSize = 0;
        for (const std::string_view tag :
             {diagnostic::kEventTag, diagnostic::kVoltageTag, diagnostic::kCanTag})
            if (line.starts_with(tag))
                tagSize = tag.size();
        rows += time + "," + std::string(line.substr(0, tagSize)) + ",,,," +
                Field(Cp1251ToUtf8(line.substr(tagSize))) + "\r\n";
    }
    endAxisRow();
    return rows;
}

}  // namespace k64::service
