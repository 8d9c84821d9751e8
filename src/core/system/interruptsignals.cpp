#include "core/system/interruptsignals.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QMetaObject>

#include <windows.h>

namespace {
InterruptSignals *g_receiver = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (!g_receiver)
        return FALSE;
    QMetaObject::invokeMethod(
        g_receiver,
        [event] { g_receiver->deliver(QStringLiteral("Konsolenereignis %1").arg(event)); },
        Qt::QueuedConnection);
    return TRUE;
}
} // namespace

InterruptSignals::InterruptSignals(QObject *parent)
    : QObject(parent) {
    g_receiver = this;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptSignals::~InterruptSignals() {
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    g_receiver = nullptr;
}

#else
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler only writes the signal's number into a pipe; the event loop reads it.
int g_pipe[2] = {-1, -1};
QSocketNotifier *g_notifier = nullptr;
constexpr int Handled[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void onSignal(int signalNumber) {
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

QString signalName(int signalNumber) {
    switch (signalNumber) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString::number(signalNumber);
    }
}

} // namespace

InterruptSignals::InterruptSignals(QObject *parent)
    : QObject(parent) {
    if (::pipe(g_pipe) != 0)
        return;
    for (const int fd : g_pipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    g_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(g_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1)
            deliver(signalName(byte));
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : Handled)
        ::sigaction(signalNumber, &action, nullptr);
}

InterruptSignals::~InterruptSignals() {
    for (const int signalNumber : Handled)
        std::signal(signalNumber, SIG_DFL);
    delete g_notifier;
    g_notifier = nullptr;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

#endif

void InterruptSignals::deliver(const QString &name) {
    emit interrupted(++m_count, name);
}
