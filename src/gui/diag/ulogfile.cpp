#include "gui/diag/ulogfile.h"

#include "core/device/deviceconversation.h"
#include "core/diag/logfetch.h"
#include "core/diag/statusreport.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 315;
constexpr int ClientHeight = 159;
constexpr int RetryMs = 200;

} // namespace

Tflogfile::Tflogfile(DeviceConversation &conversation, QWidget *parent)
    : QDialog(parent)
    , m_conversation(conversation) {
    setObjectName(QStringLiteral("Tflogfile"));
    setWindowTitle(QStringLiteral("KT290 - Logfile"));
    resize(ClientWidth, ClientHeight);

    Label1 = new QLabel(QStringLiteral("Inhalt"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Memo1, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(RetryMs);
    connect(Timer1, &QTimer::timeout, this, &Tflogfile::Timer1Timer);
}

void Tflogfile::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tflogfile::FormShow() {
    Timer1->start();
}

void Tflogfile::Timer1Timer() {
    Timer1->stop();
    // Only the open window asks the device.
    if (!isVisible() || m_fetching)
        return;
    Memo1->clear();
    m_fetching = true;
    const std::optional<QString> log =
        m_conversation.fetchLog([this](const QString &text) { showText(text); });
    m_fetching = false;
    if (m_closePending) {
        m_closePending = false;
        done(m_closeResult);
        return;
    }
    // Without an answer the window asks again.
    if (!log && isVisible() && m_conversation.isConnected() && !m_conversation.isShutDown())
        Timer1->start();
}

// A close during a fetch stops it at its next safe point and closes the window then; an
// attempt already armed does not run on the closed window.
void Tflogfile::done(int result) {
    if (m_fetching) {
        m_closePending = true;
        m_closeResult = result;
        m_conversation.requestStop();
        return;
    }
    Timer1->stop();
    QDialog::done(result);
}

void Tflogfile::showText(const QString &text) {
    Memo1->setPlainText(StatusReport::splitLines(text).join(QLatin1Char('\n')));
}
