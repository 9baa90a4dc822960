// Diagnostic text comes straight from the unit: any bytes, cut at any point.
#include "device/diagnostic_scanner.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)k64::ScanDiagnosticText(bytes, false);
    (void)k64::ScanDiagnosticText(bytes, true);
    (void)k64::AxisValue(bytes);
    // The same bytes in two ticks, cut at a point taken from the data.
    k64::DiagnosticLineScanner scanner;
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    (void)scanner.Feed(bytes.substr(0, cut));
    (void)scanner.Feed(bytes.substr(cut));
    (void)scanner.Flush();
    return 0;
}
