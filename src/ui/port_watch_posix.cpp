#include "ui/port_watch.h"

#include <QFileSystemWatcher>

namespace k64::ui {

// The kernel reports a node made or removed in a watched folder (inotify).
struct PortWatch::Source {
    QFileSystemWatcher watcher;
};

PortWatch::PortWatch(const std::vector<std::string>& folders, QObject* parent)
    : QObject(parent), source_(std::make_unique<Source>())
{
    for (const std::string& folder : folders)
        source_->watcher.addPath(QString::fromStdString(folder));
    connect(&source_->watcher, &QFileSystemWatcher::directoryChanged, this, &PortWatch::Changed);
}

PortWatch::~PortWatch() = default;

}  // namespace k64::ui
