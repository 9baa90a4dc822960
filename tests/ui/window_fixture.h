#pragma once
// Shared pieces of the widget tests: a settings store of their own (never the user's), a port
// store that counts writes, a fixed port catalog, and a way to act inside a modal window once it
// has opened. Message boxes are answered by a RecordingMessages; no test waits for a person.

#include "platform/port_name_store.h"
#include "support/recording_messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace k64::test {

class CountingStore final : public PortNameStore {
public:
    std::string Load() override { return real_.Load(); }
    void Save(const std::string& name) override {
        saves.push_back(name);
        real_.Save(name);
    }
    // Stores a name as an earlier run would have, without counting it.
    void Preset(const std::string& name) { real_.Save(name); }
    std::vector<std::string> saves;

private:
    QtPortNameStore real_;
};

class FixedCatalog final : public PortCatalog {
public:
    std::vector<std::string> names;
    std::vector<std::string> Candidates() override { return names; }
};

// Forgets the stored port name, so every test starts as a first run.
inline void ForgetStoredPort() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "QF", "TB_USB_PORT");
    settings.clear();
    settings.sync();
}

// Runs `act` as soon as `window` is visible (a modal window opened by the code under test),
// checking every few milliseconds from inside its event loop. Gives up after `limit`, so a
// window that never opens fails the test instead of hanging it.
inline void WhenVisible(QWidget* window, std::function<void()> act, int limitMs = 20000) {
    // Parented to the window, so it goes when the window goes.
    auto* timer = new QTimer(window);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (window->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act();
        } else if (clock->elapsed() > limitMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

}  // namespace k64::test

// Every widget test program: its own settings folder, the offscreen platform unless a display
// was asked for, then the test class.
#define K64_UI_TEST_MAIN(TestClass)                                                   \
    int main(int argc, char* argv[]) {                                                \
        QTemporaryDir config;                                                         \
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());                           \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                           \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                  \
        QApplication app(argc, argv);                                                 \
        TestClass test;                                                               \
        return QTest::qExec(&test, argc, argv);                                       \
    }
