#pragma once
// The diagnostic window's rolling plot of the accelerometer axes: X, Y and Z over the last
// 10 seconds of samples, one colour each. The vertical scale fits the values in view on round
// steps and changes only when a value leaves it or the values shrink to a small part of it, so
// it does not jump with every sample. Redrawn at most 30 times a second, and only while samples
// arrive: an idle plot costs nothing.

#include <QWidget>

#include <array>
#include <chrono>
#include <deque>

class QTimer;

namespace k64::ui {

class AccelPlot final : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kSpan{10'000};
    static constexpr std::chrono::milliseconds kRedrawInterval{33};

    explicit AccelPlot(QWidget* parent = nullptr);

    // A value of axis 0 (X), 1 (Y) or 2 (Z), received `at` after the recording started.
    void AddValue(int axis, std::chrono::milliseconds at, int value);
    void Clear();

    // The values at the bottom and the top of the drawing area.
    int ScaleBottom() const { return bottom_; }
    int ScaleTop() const { return top_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Sample {
        std::chrono::milliseconds at;
        int value;
    };
    void FitScale();

    std::array<std::deque<Sample>, 3> axes_;
    std::chrono::milliseconds latest_{0};
    int bottom_ = -10;
    int top_ = 10;
    QTimer* redraw_ = nullptr;
};

}  // namespace k64::ui
