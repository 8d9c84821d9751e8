#include "windowrig.h"

#include "core/link/qtserialportio.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

std::unique_ptr<WindowRig> WindowRig::make(const Options &options) {
    return std::unique_ptr<WindowRig>(new WindowRig(options));
}

std::unique_ptr<WindowRig> WindowRig::onFake(const QMap<QByteArray, QByteArray> &answers) {
    auto rig = make({{QStringLiteral("/fake/1")}, true});
    rig->device->answer = [answers](const QByteArray &line) {
        const QByteArray answer = answers.value(line);
        return answer.isEmpty() ? QByteArray() : answer + "\r\n";
    };
    rig->open();
    return rig;
}

std::unique_ptr<WindowRig> WindowRig::onPort(const QString &path) {
    auto rig = make({{path}});
    rig->open();
    return rig;
}

WindowRig::WindowRig(const Options &options)
    : m_setsPorts(!options.ports.isEmpty()) {
    if (m_setsPorts)
        qputenv("VTK290_PORTS", options.ports.join(QLatin1Char(';')).toLocal8Bit());
    std::unique_ptr<SerialPortIo> port;
    if (options.fake) {
        auto fake = std::make_unique<FakeSerialPort>();
        device = fake.get();
        port = std::move(fake);
    } else {
        port = std::make_unique<QtSerialPortIo>();
    }
    link = std::make_unique<ComLink>(std::move(port));
    createWindows(*link, windows);
}

WindowRig::~WindowRig() {
    delete windows.form1;
    link.reset();
    if (m_setsPorts)
        qunsetenv("VTK290_PORTS");
}

QString WindowRig::open() {
    m_openError = link->ComOpen(QStringLiteral("COM1"), 19200);
    if (!conversation().adoptOpenPort(1) && m_openError.isEmpty())
        m_openError = QStringLiteral("the main window did not take the open port");
    return m_openError;
}

QStringList WindowRig::fakeCommands() const {
    QStringList commands;
    for (const QByteArray &command : device->commands)
        commands << QString::fromLatin1(command);
    return commands;
}

MessageBoxCatcher::MessageBoxCatcher(int intervalMs) {
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxCatcher::poll);
    m_timer.start();
}

void MessageBoxCatcher::answerWith(QMessageBox::StandardButton button) {
    m_answer = Answer::Button;
    m_button = button;
}

void MessageBoxCatcher::poll() {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    Box seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.standardButtons = box->standardButtons();
    for (const QAbstractButton *button : box->buttons())
        seen.buttons << button->text();
    if (box->defaultButton()) {
        seen.defaultButton = box->defaultButton()->text();
        seen.defaultAnswer = box->standardButton(box->defaultButton());
    }
    seen.format = box->textFormat();
    boxes << seen;
    texts << seen.text;

    switch (m_answer) {
    case Answer::Accept:
        box->accept();
        break;
    case Answer::Default:
        box->defaultButton()->click();
        break;
    case Answer::Button: {
        QAbstractButton *chosen = box->button(m_button);
        for (QAbstractButton *own : box->buttons()) {
            const QMessageBox::ButtonRole role = box->buttonRole(own);
            if (!chosen && ((m_button == QMessageBox::Ok && role == QMessageBox::AcceptRole) ||
                            (m_button == QMessageBox::Cancel && role == QMessageBox::RejectRole)))
                chosen = own;
        }
        (chosen ? chosen : box->button(QMessageBox::Ok))->click();
        break;
    }
    }
}
