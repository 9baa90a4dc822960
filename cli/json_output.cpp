#include "json_output.h"

#include "common/cp1251.h"

#include <mutex>
#include <utility>

namespace k64::cli {
namespace {

std::mutex mutex;
bool jsonMode = false;
std::optional<Json> result;
thread_local std::string lastError;  // each unit of a run of many has its own
thread_local Json* captured = nullptr;

}  // namespace

bool JsonMode() { return jsonMode; }
void SetJsonMode(bool on) { jsonMode = on; }

void SetJsonResult(Json document)
{
    if (captured != nullptr) {
        *captured = std::move(document);
        return;
    }
    const std::lock_guard lock(mutex);
    result = std::move(document);
}

ScopedJsonCapture::ScopedJsonCapture(Json* document) : previous_(std::exchange(captured, document))
{
}

ScopedJsonCapture::~ScopedJsonCapture() { captured = previous_; }

void NoteError(std::string message) { lastError = std::move(message); }

std::string LastError() { return lastError; }

Json FinalDocument(int status)
{
    const std::lock_guard lock(mutex);
    if (result)
        return *result;
    if (status == 0)
        return Json{{"ok", true}};
    return ErrorDocument(!lastError.empty() ? lastError
                                            : "Команда не выполнена (код завершения " +
                                                  std::to_string(status) + ")",
                         status);
}

Json ErrorDocument(const std::string& message, int status)
{
    return Json{{"error", {{"message", message}, {"exit_code", status}}}};
}

std::string DumpJson(const Json& document)
{
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

Json JsonText(std::string_view cp1251) { return Cp1251ToUtf8(cp1251); }

Json JsonPath(const std::filesystem::path& path)
{
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

Json JsonOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

}  // namespace k64::cli
