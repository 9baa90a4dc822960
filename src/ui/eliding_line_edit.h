#pragma once
// The port box's text field: a name longer than the field is shown cut in the middle
// ("/dev/serial/by-id/usb-…-if00") while the field has no focus, so that both its start and its
// end can be read; the whole name is its tooltip. Editing shows and changes the whole text.

#include <QLineEdit>

namespace k64::ui {

class ElidingLineEdit final : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    // The text as it is drawn now: whole, or cut in the middle.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect TextArea() const;
};

}  // namespace k64::ui
