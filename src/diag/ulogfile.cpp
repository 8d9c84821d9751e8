#include "ulogfile.h"

#include "logfetch.h"
#include "statusreport.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 315;
constexpr int ClientHeight = 159;
constexpr int RetryMs = 200;

} // namespace

Tflogfile::Tflogfile(DeviceProtocol &protocol, QWidget *parent)
    : QDialog(parent)
    , m_protocol(protocol) {
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
    Memo1->clear();
    const std::optional<QString> log =
        LogFetch(m_protocol).run([this](const QString &text) { showText(text); });
    // Without an answer the open window asks again; the hidden one (status report) does not.
    if (!log && isVisible())
        Timer1->start();
}

void Tflogfile::showText(const QString &text) {
    Memo1->setPlainText(StatusReport::splitLines(text).join(QLatin1Char('\n')));
}
