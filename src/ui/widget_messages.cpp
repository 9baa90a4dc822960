#include "ui/widget_messages.h"

#include "wait_cursor.h"

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace k64::ui {
namespace {

// Room in a title bar besides the title: the window's icon and its buttons.
constexpr int kTitleBarExtras = 130;

// The box would wrap a line wider than about half the screen; the texts break their own lines,
// so the box is made wide enough for the widest of them (up to the screen's width). The window
// manager cuts a title wider than the box ("Устр…дено"), so the box is as wide as its title
// needs too; the title's font is the window manager's, and a fifth larger is allowed for.
void KeepLinesWhole(QMessageBox& box)
{
    auto* label = box.findChild<QLabel*>("qt_msgbox_label");
    if (!label)
        return;
    const QFontMetrics metrics(label->font());
    int widest = metrics.horizontalAdvance(box.windowTitle()) * 6 / 5 + kTitleBarExtras;
    for (const QString& line : box.text().split('\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    if (const QScreen* screen = box.screen())
        widest = std::min(widest, screen->availableGeometry().width() * 9 / 10);
    label->setMinimumWidth(widest);
}

}  // namespace

MessageAnswer WidgetMessages::ShowMessage(const std::string& text, const std::string& caption,
                                          MessageButtons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::NoButton, owner_.data());
    box.setTextFormat(Qt::PlainText);  // texts from the unit must not be read as markup
    box.setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == MessageButtons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    // The program speaks Russian whatever the desktop's language is.
    if (auto* b = box.button(QMessageBox::Ok))
        b->setText("OK");
    if (auto* b = box.button(QMessageBox::Cancel))
        b->setText("Отмена");
    if (auto* b = box.button(QMessageBox::Yes))
        b->setText("Да");
    if (auto* b = box.button(QMessageBox::No))
        b->setText("Нет");
    // Some styles decorate standard buttons with pictures; the boxes carry none.
    for (QAbstractButton* b : box.buttons())
        b->setIcon(QIcon());
    KeepLinesWhole(box);

    const CursorForUser cursor;
    switch (box.exec()) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: return StayAnswer(buttons);
    }
}

}  // namespace k64::ui
