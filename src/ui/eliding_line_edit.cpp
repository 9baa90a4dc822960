#include "ui/eliding_line_edit.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>

namespace k64::ui {

QRect ElidingLineEdit::TextArea() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    // The margins QLineEdit keeps around its text (2 pixels each side besides the style's).
    return style()
        ->subElementRect(QStyle::SE_LineEditContents, &option, this)
        .marginsRemoved(textMargins())
        .adjusted(2, 0, -2, 0);
}

QString ElidingLineEdit::ShownText() const
{
    if (hasFocus())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextArea().width());
}

void ElidingLineEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    const QString shown = ShownText();
    if (shown == text())
        return;
    // The whole name drawn by the field is covered, and the cut one drawn where it was.
    QPainter painter(this);
    const QRect area = TextArea();
    painter.fillRect(area, palette().brush(QPalette::Base));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

bool ElidingLineEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        if (text().isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLineEdit::event(event);
}

}  // namespace k64::ui
