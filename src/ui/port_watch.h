#pragma once
// Tells the main window when serial ports may have come or gone, so that its port box follows the
// cable without polling: the device folders watched on POSIX systems, WM_DEVICECHANGE on Windows.
// The back end is a whole file chosen by the build.

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
    struct Source;
    std::unique_ptr<Source> source_;
};

}  // namespace k64::ui
