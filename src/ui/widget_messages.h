#pragma once
// Message boxes of the desktop program: modal, owned by the window that asks, no icon, exactly
// the buttons asked for.

#include "common/message_interface.h"

#include <QPointer>
#include <QWidget>

namespace k64::ui {

class WidgetMessages final : public MessageInterface {
public:
    // `owner` may be null: the box then belongs to no window.
    explicit WidgetMessages(QWidget* owner = nullptr) : owner_(owner) {}
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons) override;

private:
    QPointer<QWidget> owner_;
};

// The receiver a window shows its boxes through: a test's recorder when one is set, the real
// boxes otherwise.
class MessageRoute {
public:
    explicit MessageRoute(QWidget* owner) : boxes_(owner) {}
    void SetReceiver(MessageInterface* receiver) { receiver_ = receiver; }
    MessageInterface& Receiver() { return receiver_ ? *receiver_ : boxes_; }

private:
    WidgetMessages boxes_;
    MessageInterface* receiver_ = nullptr;
};

}  // namespace k64::ui
