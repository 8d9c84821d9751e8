#pragma once

#include "fakeserialport.h"

#include "core/device/deviceconversation.h"
#include "core/link/ucom.h"
#include "gui/main/fmain1.h"
#include "gui/main/startup.h"

#include <QMap>
#include <QMessageBox>
#include <QTimer>

#include <memory>

// The program's windows on a link of their own, either to a device in memory (fast) or through
// the serial port driver to the simulator's pseudo-terminal or any port path (real timing).
class WindowRig {
public:
    struct Options {
        // VTK290_PORTS while the rig lives (unset at its end), set before the windows are made;
        // left as it is when empty.
        QStringList ports;
        // A device in memory (`device`) instead of the serial port driver.
        bool fake = false;
    };

    // Windows whose port is not open yet: "Verbinden" scans the ports, or open() opens COM1.
    static std::unique_ptr<WindowRig> make(const Options &options);
    // A device in memory on COM1, open: it echoes and answers each command with
    // `answers[command]` plus CR LF; commands without an entry get the echo only.
    static std::unique_ptr<WindowRig> onFake(const QMap<QByteArray, QByteArray> &answers = {});
    // The port at `path` as COM1, open (see opened()).
    static std::unique_ptr<WindowRig> onPort(const QString &path);

    ~WindowRig();
    WindowRig(const WindowRig &) = delete;
    WindowRig &operator=(const WindowRig &) = delete;

    // Opens COM1 and lets the main window take it as its connection; the error, or empty.
    QString open();
    bool opened() const { return m_openError.isEmpty(); }
    QString openError() const { return m_openError; }

    Tform1 *form() const { return windows.form1; }
    DeviceConversation &conversation() const { return windows.form1->conversation(); }

    // The strain-gauge mark as the read-out leaves it.
    void setStrainGauge(bool strainGauge) { conversation().setStrainGauge(strainGauge); }

    // The command lines the device in memory received.
    QStringList fakeCommands() const;

    std::unique_ptr<ComLink> link;
    WindowSet windows;
    FakeSerialPort *device = nullptr; // only on a device in memory

private:
    explicit WindowRig(const Options &options);

    bool m_setsPorts = false;
    QString m_openError = QStringLiteral("not opened");
};

// Answers every message box that comes up, checking every `intervalMs`, and keeps what it
// showed.
class MessageBoxCatcher : public QObject {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons standardButtons;
        QStringList buttons;   // the buttons' texts, in the box's order
        QString defaultButton; // its text
        QMessageBox::StandardButton defaultAnswer = QMessageBox::NoButton;
        Qt::TextFormat format = Qt::AutoText;
    };
    // How a box is answered.
    enum class Answer {
        Accept,  // accept(), as Enter on most boxes
        Button,  // the button of kind `button`; for Ok and Cancel a box's own button of the
                 // accepting or rejecting role as well; else its Ok button
        Default, // its default button
    };

    explicit MessageBoxCatcher(int intervalMs = 20);

    // Answered by clicking the button of that kind from now on.
    void answerWith(QMessageBox::StandardButton button);
    void answerWithDefault() { m_answer = Answer::Default; }
    void stop() { m_timer.stop(); }

    QList<Box> boxes;
    QStringList texts; // of `boxes`

private:
    void poll();

    QTimer m_timer;
    Answer m_answer = Answer::Accept;
    QMessageBox::StandardButton m_button = QMessageBox::NoButton;
};
