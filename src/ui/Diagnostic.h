#pragma once
// The diagnostic window: switches the unit into its diagnostic mode while the window is shown
// and shows what the unit streams: the accelerometer axes in three labels, the other known
// lines in a memo. The port stays open from showing to closing.

#include "service/diagnostic_reader.h"
#include "ui/device_slot.h"

#include <QDialog>

#include <chrono>
#include <optional>
#include <string>

class QLabel;
class QPoint;
class QPlainTextEdit;
class QTimer;

namespace k64::ui {

class AccelPlot;

class TDiagnosticForm final : public QDialog {
    Q_OBJECT
public:
    // `devices` is the main window's slot; it must outlive this window.
    explicit TDiagnosticForm(DeviceSlot& devices, QWidget* parent = nullptr);

    void FormShow();
    void Timer1Timer();
    // The work of one tick: whatever has arrived since the last one. False when nothing had.
    bool PollTelemetry();
    void FormClose();
    // "Сохранить запись…": copies what was received since the window was shown, with the
    // settings files' safe save; tells the user when it fails.
    void SaveRecording(const QString& fileName);

    void done(int result) override;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show(const DiagnosticEvent& event, std::chrono::milliseconds at);
    void Memo1ContextMenu(const QPoint& position);
    // A failure of the recording goes into the memo; the stream itself goes on.
    void LogRecordingFailure(const std::optional<std::string>& failure);

    DeviceSlot& devices_;
    // Records into a file of its own in the user's cache folder from showing to closing, so that
    // a window left open for hours costs no memory for it.
    service::DiagnosticReader reader_;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    AccelPlot* plot_ = nullptr;
    QTimer* Timer1 = nullptr;
    // The memo shows the newest lines until the user scrolls up, and again once back at the end;
    // a resize or a new showing does not change that.
    bool followTail_ = true;
    void ScrollToTail();
};

}  // namespace k64::ui
