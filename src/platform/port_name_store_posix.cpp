#include "platform/port_name_store.h"

#include "platform/portable.h"

#include <QSettings>
#include <QString>

namespace k64 {
namespace {
constexpr const char* kOrganisation = "QF";
constexpr const char* kApplication = "TB_USB_PORT";
constexpr const char* kKey = "Port";

// Built per call so that a changed XDG_CONFIG_HOME (tests) and other processes' writes are seen.
QSettings OpenSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication);
}
}  // namespace

std::string SystemPortNameStore::Load()
{
    if (const auto portable = PortableSettingsFile())
        return ReadPortableValue(*portable, kPortableKey);
    return OpenSettings().value(kKey).toString().toStdString();
}

void SystemPortNameStore::Save(const std::string& name)
{
    if (const auto portable = PortableSettingsFile()) {
        WritePortableValue(*portable, kPortableKey, name);
        return;
    }
    QSettings settings = OpenSettings();
    settings.setValue(kKey, QString::fromStdString(name));
    // Written now, not at destruction, so a second process started right after sees it.
    settings.sync();
}

}  // namespace k64
