#pragma once

#include <QDialog>

class DeviceConversation;
class QLabel;
class QPlainTextEdit;
class QTimer;

// The log window: the device's log.
class Tflogfile final : public QDialog {
    Q_OBJECT

public:
    explicit Tflogfile(DeviceConversation &conversation, QWidget *parent = nullptr);

    // Controls
    QLabel *Label1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QTimer *Timer1 = nullptr;

    // Handlers
    void FormShow();
    // Fetches the log into the memo.
    void Timer1Timer();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showText(const QString &text);

    DeviceConversation &m_conversation;
    bool m_fetching = false;
    bool m_closePending = false;
    int m_closeResult = 0;
};
