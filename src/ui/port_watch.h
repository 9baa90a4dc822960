#pragma once
// Tells the main window when serial ports may have come or gone, so that its port box follows the
// cable without polling: the platform's port watch, its handle waited on by the event loop.

#include "platform/port_watch.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

namespace k64::ui {

class PortWatch final : public QObject {
    Q_OBJECT
public:
    // `folders` are where device nodes appear (POSIX); Windows tells every top-level window about
    // its ports and ignores them.
    PortWatch(const std::vector<std::string>& folders, QObject* parent);
    ~PortWatch() override;

signals:
    // Several may come for one cable; the receiver takes them together.
    void Changed();

private:
    k64::PortWatch watch_;
    std::unique_ptr<QObject> notifier_;
};

}  // namespace k64::ui
