#include "ui/port_watch.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>
#include <dbt.h>

namespace k64::ui {

// Windows sends WM_DEVICECHANGE to every top-level window when a port arrives or goes, and
// DBT_DEVNODES_CHANGED for any device; the filter sees what reaches the application's windows
// and its thread.
struct PortWatch::Source final : QAbstractNativeEventFilter {
    explicit Source(PortWatch& owner) : owner_(owner) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "windows_generic_MSG")
            return false;
        const MSG& msg = *static_cast<const MSG*>(message);
        if (msg.message == WM_DEVICECHANGE && IsPortChange(msg.wParam, msg.lParam))
            emit owner_.Changed();
        return false;  // others may want it too
    }

    static bool IsPortChange(WPARAM event, LPARAM data)
    {
        if (event == DBT_DEVNODES_CHANGED)
            return true;
        if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || data == 0)
            return false;
        return reinterpret_cast<const DEV_BROADCAST_HDR*>(data)->dbch_devicetype == DBT_DEVTYP_PORT;
    }

    PortWatch& owner_;
};

PortWatch::PortWatch(const std::vector<std::string>&, QObject* parent)
    : QObject(parent), source_(std::make_unique<Source>(*this))
{
    QCoreApplication::instance()->installNativeEventFilter(source_.get());
}

PortWatch::~PortWatch()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(source_.get());
}

}  // namespace k64::ui
