#pragma once
// Reading and comparing version records. A record comes either from the firmware image or from
// the unit's version reply; neither is trusted to hold its terminating zeros, so every field is
// read only up to its own size.

#include "device/device.h"

#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

namespace k64::update {

// A field's text up to its first zero byte, never past the end of the field.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N])
{
    return {field, ::strnlen(field, N)};
}

// Forces a zero into the last byte of every field, so that the record can be handed on to
// code that reads up to the terminator.
void TerminateFields(VersionInfo& info);

// The record at `offset` of `bytes`, fields terminated; bytes past the end read as zero.
VersionInfo ReadVersionRecord(std::span<const unsigned char> bytes, std::size_t offset);

// A version reply names type, version and build date on three lines. Anything with fewer than
// two line feeds is not a version reply and is handled like a failed version request: its
// "version" would otherwise compare as older than every image and skip the warning.
bool IsVersionReply(std::string_view reply);

// Byte-wise text order of the two Version fields (unsigned bytes; a prefix is the older).
bool UnitIsNotOlder(const VersionInfo& unit, const VersionInfo& image);

// The type as the window title shows it.
std::string_view TitleType(const VersionInfo& image);

// The unit's type as the main window's log and k64ctl show it: "TB_r2" is shown as "K73 (r2)".
std::string_view ShownType(const VersionInfo& unit);

}  // namespace k64::update
