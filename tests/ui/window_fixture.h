#pragma once
// Shared pieces of the widget tests: a settings store of their own (never the user's), the port
// store and catalog in memory, and a way to act inside a modal window once it has opened.
// Message boxes are answered by a RecordingMessages; no test waits for a person.

#include "support/memory_ports.h"
#include "support/recording_messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace k64::test {

// Runs `act` as soon as `window` is visible (a modal window opened by the code under test),
// checking every few milliseconds from inside its event loop. Gives up after `limit`, so a
// window that never opens fails the test instead of hanging it.
inline void WhenVisible(QWidget* window, std::function<void()> act, int limitMs = 20000)
{
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

// Runs `act` on the modal window of type `Window` (a box or a dialog that the code under test
// opens and runs itself) as soon as it is up; gives up after `limitMs` like WhenVisible.
template <typename Window>
void WhenModal(std::function<void(Window*)> act, int limitMs = 20000)
{
    auto* timer = new QTimer(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (window || clock->elapsed() > limitMs) {
            timer->stop();
            timer->deleteLater();
        }
        if (window)
            act(window);
    });
    timer->start();
}

}  // namespace k64::test

// Every widget test program: its own settings folder, the offscreen platform unless a display
// was asked for, then the test class.
#define K64_UI_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        QTemporaryDir config;                                                                      \
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());                                        \
        qputenv("XDG_CACHE_HOME", (config.path() + "/cache").toUtf8());                            \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
