#include "platform/port_name_store.h"

#include <QSettings>
#include <QString>

namespace k64 {
namespace {
// On Windows the name is one machine-wide registry value; QSettings reads a missing key as empty.
constexpr const char* kRegistryKey = R"(HKEY_LOCAL_MACHINE\SOFTWARE\QF\TB_USB_PORT)";
constexpr const char* kValue = "Port";

QSettings OpenSettings() { return QSettings(kRegistryKey, QSettings::NativeFormat); }
} // namespace

std::string QtPortNameStore::Load()
{
    // A missing key or value (or no access to it) reads as an empty name.
    return OpenSettings().value(kValue).toString().toStdString();
}

void QtPortNameStore::Save(const std::string& name)
{
    QSettings settings = OpenSettings();
    settings.setValue(kValue, QString::fromStdString(name));
    settings.sync();
}

} // namespace k64
