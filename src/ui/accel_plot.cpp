#include "ui/accel_plot.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace k64::ui {
namespace {

// Red, green and blue as the axes have always been told apart, one set dark enough for a light
// background and one light enough for a dark one; the legend beside the plot is drawn on the
// window's colour and picks its set by that.
const QColor kOnLight[3] = {QColor(200, 0, 0), QColor(0, 125, 0), QColor(0, 0, 220)};
const QColor kOnDark[3] = {QColor(255, 110, 110), QColor(80, 220, 80), QColor(110, 170, 255)};

// Relative luminance as contrast is measured for the screen (sRGB).
double Luminance(const QColor& colour)
{
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    // The list form returns values; the pair form would refer to the temporaries.
    const auto [dark, light] = std::minmax({Luminance(a), Luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

// The set whose weakest colour stands out more against `background`.
QColor AxisColour(int axis, const QColor& background)
{
    const auto weakest = [&](const QColor(&set)[3]) {
        return std::min({Contrast(set[0], background), Contrast(set[1], background),
                         Contrast(set[2], background)});
    };
    return (weakest(kOnDark) > weakest(kOnLight) ? kOnDark : kOnLight)[axis];
}

const char* const kAxisNames[3] = {"X", "Y", "Z"};
// The smallest span shown, so that a resting sensor's noise does not fill the height.
constexpr double kMinSpan = 10.0;

// 1, 2 or 5 times a power of ten, at least `raw`.
double RoundStep(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= raw)
            return factor * power;
    }
    return 10.0 * power;
}

}  // namespace

AccelPlot::AccelPlot(QWidget* parent) : QWidget(parent)
{
    setObjectName("AccelPlot");
    redraw_ = new QTimer(this);
    redraw_->setSingleShot(true);
    redraw_->setInterval(kRedrawInterval);
    connect(redraw_, &QTimer::timeout, this, [this] {
        FitScale();
        update();
    });
}

void AccelPlot::AddValue(int axis, std::chrono::milliseconds at, int value)
{
    if (axis < 0 || axis > 2)
        return;
    latest_ = std::max(latest_, at);
    axes_[static_cast<std::size_t>(axis)].push_back({at, value});
    for (auto& samples : axes_) {
        while (!samples.empty() && samples.front().at < latest_ - kSpan)
            samples.pop_front();
    }
    if (!redraw_->isActive())
        redraw_->start();
}

void AccelPlot::Clear()
{
    for (auto& samples : axes_)
        samples.clear();
    latest_ = std::chrono::milliseconds{0};
    update();
}

void AccelPlot::FitScale()
{
    int low = std::numeric_limits<int>::max();
    int high = std::numeric_limits<int>::min();
    for (const auto& samples : axes_) {
        for (const Sample& s : samples) {
            low = std::min(low, s.value);
            high = std::max(high, s.value);
        }
    }
    if (low > high)
        return;
    const double span = std::max(kMinSpan, static_cast<double>(high) - low);
    // Kept while every value fits and they fill at least a quarter of it.
    if (low >= bottom_ && high <= top_ && span * 4 >= static_cast<double>(top_) - bottom_)
        return;
    // Four round steps or so, with room above and below the values.
    const double step = RoundStep(span / 4);
    const double newBottom = std::floor((low - span / 10) / step) * step;
    const double newTop = std::ceil((high + span / 10) / step) * step;
    const double limit = std::numeric_limits<int>::max();
    bottom_ = static_cast<int>(std::clamp(newBottom, -limit, limit));
    top_ = static_cast<int>(std::clamp(newTop, -limit, limit));
}

void AccelPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The legend has a strip of its own at the right, so it covers neither the newest samples
    // nor the scale.
    const QFontMetrics metrics(font());
    const int legendWidth = metrics.horizontalAdvance(QStringLiteral("X")) + 8;
    const QRect area = rect().adjusted(0, 0, -1 - legendWidth, -1);
    const QColor background = palette().color(QPalette::Base);
    painter.fillRect(area, background);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area);

    const double range = static_cast<double>(top_) - bottom_;
    const auto yOf = [&](double value) {
        return area.bottom() - (value - bottom_) / range * area.height();
    };
    const auto xOf = [&](std::chrono::milliseconds at) {
        return area.right() -
               static_cast<double>((latest_ - at).count()) / kSpan.count() * area.width();
    };
    if (bottom_ < 0 && top_ > 0) {
        painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
        painter.drawLine(QPointF(area.left(), yOf(0)), QPointF(area.right(), yOf(0)));
    }

    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t axis = 0; axis < axes_.size(); ++axis) {
        QPolygonF line;
        for (const Sample& s : axes_[axis])
            line << QPointF(xOf(s.at), yOf(s.value));
        painter.setPen(QPen(AxisColour(static_cast<int>(axis), background), 1.5));
        painter.drawPolyline(line);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The scale at the left, the legend one name under the other right of the plot.
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(area.left() + 3, area.top() + metrics.ascent() + 1, QString::number(top_));
    painter.drawText(area.left() + 3, area.bottom() - metrics.descent() - 1,
                     QString::number(bottom_));
    painter.setClipping(false);
    for (int axis = 0; axis < 3; ++axis) {
        painter.setPen(AxisColour(axis, palette().color(QPalette::Window)));
        painter.drawText(area.right() + 5, area.top() + metrics.ascent() + axis * metrics.height(),
                         QString::fromLatin1(kAxisNames[axis]));
    }
}

}  // namespace k64::ui
