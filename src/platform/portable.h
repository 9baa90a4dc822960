#pragma once
// A copy of the programs carried on a USB stick: when the file k64-portable.ini stands beside the
// program, the stored port and the desktop program's remembered folder are kept in it, and the
// settings history in the folder "history" beside it. Nothing then goes into the registry or the
// user's profile, so the stick works the same on every computer.

#include <filesystem>
#include <optional>
#include <string>

namespace k64 {

inline constexpr const char* kPortableFileName = "k64-portable.ini";
// The section of the INI file that holds the programs' values.
inline constexpr const char* kPortableSection = "k64";

// The folder of the running program (where k64tool and k64ctl stand).
std::filesystem::path ProgramFolder();

// The INI file when it stands beside the program; nullopt otherwise.
[[nodiscard]] std::optional<std::filesystem::path> PortableSettingsFile();

// A value of the programs' section; empty when there is none or the file cannot be read.
std::string ReadPortableValue(const std::filesystem::path& file, const char* key);
// Sets a value and keeps the rest of the file; the file is replaced whole, so that a program
// stopped halfway leaves the old one. False when it cannot be written.
bool WritePortableValue(const std::filesystem::path& file, const char* key,
                        const std::string& value);

}  // namespace k64
