#include "terminal_output.h"

#include "json_output.h"
#include "platform/usb_details.h"

#include <cstdio>

namespace k64::cli {

namespace {
thread_local std::FILE* unitOutput = nullptr;
thread_local UnitStatus* unitStatus = nullptr;
}  // namespace

std::FILE* TextStream()
{
    if (unitOutput != nullptr)
        return unitOutput;
    return JsonMode() ? stderr : stdout;
}

std::FILE* ErrorStream() { return unitOutput != nullptr ? unitOutput : stderr; }

ScopedUnitOutput::ScopedUnitOutput(std::FILE* out) { unitOutput = out; }
ScopedUnitOutput::~ScopedUnitOutput() { unitOutput = nullptr; }

UnitStatus* CurrentUnitStatus() { return unitStatus; }
ScopedUnitStatus::ScopedUnitStatus(UnitStatus* status) { unitStatus = status; }
ScopedUnitStatus::~ScopedUnitStatus() { unitStatus = nullptr; }

void PrintLine(const std::string& line)
{
    std::FILE* out = TextStream();
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
}

void PrintError(const std::string& text)
{
    NoteError(text);
    std::fprintf(ErrorStream(), "k64ctl: %s\n", text.c_str());
}

std::string PortLine(const std::string& name)
{
    std::string line = EscapedName(name);
    if (const std::optional<UsbDetails> usb = ReadUsbDetails(name)) {
        line += '\t' + usb->vendorId + ':' + usb->productId;
        for (const std::string* text : {&usb->manufacturer, &usb->product, &usb->serial})
            line += '\t' + EscapedName(*text);
    }
    return line;
}

}  // namespace k64::cli
