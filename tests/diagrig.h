#pragma once

#include "fakeserialport.h"
#include "kt290device.h"

#include "core/link/allgem.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "gui/main/fmain1.h"
#include "gui/main/startup.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <memory>

// The program's windows on a connected link, either to a device in memory (fast) or to the
// simulator on its pseudo-terminal (real timing).
class DiagRig {
public:
    // A device in memory that echoes and answers each command with `answers[command]` plus
    // CR LF; commands without an entry get the echo only.
    static std::unique_ptr<DiagRig> onFake(const QMap<QByteArray, QByteArray> &answers = {}) {
        auto port = std::make_unique<FakeSerialPort>();
        FakeSerialPort *device = port.get();
        device->answer = [answers](const QByteArray &line) {
            const QByteArray answer = answers.value(line);
            return answer.isEmpty() ? QByteArray() : answer + "\r\n";
        };
        auto rig =
            std::unique_ptr<DiagRig>(new DiagRig(std::move(port), QStringLiteral("/fake/1")));
        rig->device = device;
        return rig;
    }

    static std::unique_ptr<DiagRig> onPort(const QString &path) {
        return std::unique_ptr<DiagRig>(new DiagRig(std::make_unique<QtSerialPortIo>(), path));
    }

    ~DiagRig() {
        delete windows.form1;
        link.reset();
        qunsetenv("VTK290_PORTS");
    }

    bool opened() const { return m_openError.isEmpty(); }
    QString openError() const { return m_openError; }

    // The strain-gauge mark as the read-out leaves it.
    void setStrainGauge(bool strainGauge) {
        windows.form1->conversation().setStrainGauge(strainGauge);
    }

    QStringList fakeCommands() const {
        QStringList commands;
        for (const QByteArray &command : device->commands)
            commands << QString::fromLatin1(command);
        return commands;
    }

    std::unique_ptr<ComLink> link;
    WindowSet windows;
    FakeSerialPort *device = nullptr; // only on a fake

private:
    DiagRig(std::unique_ptr<SerialPortIo> port, const QString &path) {
        qputenv("VTK290_PORTS", path.toLocal8Bit());
        link = std::make_unique<ComLink>(std::move(port));
        createWindows(*link, windows);
        m_openError = link->ComOpen(QStringLiteral("COM1"), 19200);
        windows.form1->conversation().adoptOpenPort(1);
    }

    QString m_openError;
};

// Answers the next message box that comes up and keeps its text.
class MessageBoxCatcher : public QObject {
public:
    MessageBoxCatcher() {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->accept();
            }
        });
        m_timer.start();
    }

    QStringList texts;

private:
    QTimer m_timer;
};

// What the simulated device answers to a question, as the program reads it: without the echo,
// trimmed. Used on a twin of the simulator that has been given the same control lines.
inline QString deviceAnswer(Kt290Device &device, const std::string &command) {
    std::string out;
    for (const char c : command + '\r')
        for (const auto &chunk : device.receiveByte(c).chunks)
            out += chunk.bytes;
    return TrimControl(
        QString::fromLatin1(out.data(), qsizetype(out.size())).mid(qsizetype(command.size())));
}
