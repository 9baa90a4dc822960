#pragma once
// A recording of the diagnostic stream as a CSV file: UTF-8, comma-separated, a header row,
// fields quoted where RFC 4180 asks for it. One row per diagnostic line:
//
//   time    seconds since the recording started, to the millisecond ("12.345")
//   tag     the line's tag as the unit sends it ("$AccD:", "$AccE:", "$VS:", "$Can:")
//   x,y,z   "$AccD:" only: the axes as whole numbers, as the window shows them
//   text    the other tags: the rest of the line after the tag
//
// No Qt: the diagnostic window and k64ctl diag record alike.

#include "device/diagnostic_scanner.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace k64::service {

// The first row of every recording.
std::string DiagnosticCsvHeader();

// A row for each line in `events` (as the scanner gives them), all received `elapsed` after the
// start of the recording.
std::string DiagnosticCsvRows(std::chrono::milliseconds elapsed,
                              const std::vector<DiagnosticEvent>& events);

// The text to show when a recording could not be saved to `path`: `error` is the errno of the
// failure, 0 when there is none.
std::string DescribeRecordingFailure(const std::filesystem::path& path, int error);

}  // namespace k64::service
