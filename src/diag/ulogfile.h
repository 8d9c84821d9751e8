#pragma once

#include <QDialog>

class DeviceProtocol;
class QLabel;
class QPlainTextEdit;
class QTimer;

// The log window: the device's log. The status report runs the same fetch while the window is
// hidden and takes the memo's text.
class Tflogfile final : public QDialog {
    Q_OBJECT

public:
    explicit Tflogfile(DeviceProtocol &protocol, QWidget *parent = nullptr);

    // Controls
    QLabel *Label1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QTimer *Timer1 = nullptr;

    // Handlers
    void FormShow();
    // Fetches the log into the memo; also called directly, on the hidden window.
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showText(const QString &text);

    DeviceProtocol &m_protocol;
};
