#pragma once
// --json: the command's result as one JSON document on standard output. Texts and boxes go to
// standard error instead, so the document is all that standard output holds.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace k64::cli {

using Json = nlohmann::json;

bool JsonMode();
void SetJsonMode(bool on);

// The result of the command; a command that sets none succeeded with {"ok": true} or failed
// with {"error": {"message", "exit_code"}}.
void SetJsonResult(Json document);

// While one lives, SetJsonResult on its thread fills `document` instead: a run on many units
// keeps each unit's own document for that unit's entry.
class ScopedJsonCapture {
public:
    explicit ScopedJsonCapture(Json* document);
    ~ScopedJsonCapture();
    ScopedJsonCapture(const ScopedJsonCapture&) = delete;
    ScopedJsonCapture& operator=(const ScopedJsonCapture&) = delete;

private:
    Json* previous_;
};
// The last error shown on this thread, for the failure document.
void NoteError(std::string message);
std::string LastError();

// The document for a call that ended with `status`: a failure's message is never empty.
Json FinalDocument(int status);
// {"error": {"message", "exit_code"}}.
Json ErrorDocument(const std::string& message, int status);
// Compact enough for a pipe, indented for a person; text that is no UTF-8 is replaced, not
// refused, so a strange file name cannot lose the whole document.
std::string DumpJson(const Json& document);

// Windows-1251 data from the unit or a file as a JSON string, control characters included
// (JSON escapes them).
Json JsonText(std::string_view cp1251);
// A file name as UTF-8 on every platform (the narrow name on Windows is in its code page).
Json JsonPath(const std::filesystem::path& path);
// A value that may be unknown.
Json JsonOrNull(const std::string& text);

}  // namespace k64::cli
