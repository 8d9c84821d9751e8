#include "core/link/ucom.h"

#include "core/link/networkportio.h"
#include "core/link/portnames.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <thread>

namespace {
bool g_waitsAborted = false;
}

void WaitSeconds(double seconds) {
    const QDeadlineTimer deadline(std::chrono::nanoseconds(qint64(seconds * 1e9)),
                                  Qt::PreciseTimer);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    while (!g_waitsAborted && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::max<qint64>(1, (deadline.remainingTimeNSecs() + 999999) / 1000000));
        loop.exec();
        // A loop left before its timer fired was told to quit: the program is ending.
        if (timer.isActive()) {
            g_waitsAborted = true;
            return;
        }
    }
}

void AbortWaits() {
    g_waitsAborted = true;
}

bool WaitsAborted() {
    return g_waitsAborted;
}

ComLink::ComLink(std::unique_ptr<SerialPortIo> localPort, std::unique_ptr<SerialPortIo> networkPort,
                 QObject *parent)
    : QObject(parent)
    , m_localPort(std::move(localPort))
    , m_networkPort(std::move(networkPort))
    , m_port(m_localPort.get()) {
    Q_ASSERT(m_localPort && m_networkPort);
    connect(m_localPort.get(), &SerialPortIo::lost, this, &ComLink::portLost);
    connect(m_networkPort.get(), &SerialPortIo::lost, this, &ComLink::portLost);
}

ComLink::ComLink(std::unique_ptr<SerialPortIo> localPort, QObject *parent)
    : ComLink(std::move(localPort), std::make_unique<NetworkPortIo>(), parent) {}

SerialPortIo &ComLink::portFor(const QString &path) const {
    return NetworkPortIo::isNetworkPath(path) ? *m_networkPort : *m_localPort;
}

ComLink::~ComLink() {
    ComClose();
}

bool ComLink::ComHandleValid() const {
    return m_port->isOpen();
}

QString ComLink::ComOpen(const QString &portName, int baudRate) {
    ComClose();
    ComRxText.clear();
    ComTxText.clear();
    const QString path = PortNames::systemLocation(portName);
    if (path.isEmpty())
        return tr("Die Schnittstelle %1 ist nicht vorhanden.").arg(portName);
    m_port = &portFor(path);
    const QString error = m_port->open(path, baudRate);
    if (m_port->isOpen())
        ++m_openings;
    return error;
}

void ComLink::ComClose() {
    if (m_port->isOpen())
        m_port->close();
}

void ComLink::ComPoll() {
    if (!m_port->isOpen())
        return;
    const qint64 n = std::min<qint64>(m_port->bytesAvailable(), PollMaxBytes);
    if (n <= 0)
        return;
    const QByteArray bytes = m_port->read(n);
    if (!bytes.isEmpty())
        emit traffic(false, bytes);
    ComRxText += QString::fromLatin1(bytes);
}

void ComLink::ComFlushTx() {
    if (!m_port->isOpen() || ComTxText.isEmpty())
        return;
    if (m_port->bytesToWrite() != 0)
        return;
    const qsizetype n = std::min<qsizetype>(ComTxText.size(), WriteMaxBytes);
    const QByteArray bytes = ComTxText.left(n).toLatin1();
    emit traffic(true, bytes);
    m_port->write(bytes);
    ComTxText.remove(0, n);
}

void ComLink::ComSendText(const QString &text) {
    for (const QChar c : text) {
        // A port lost during the send takes the rest of the text with it.
        if (!m_port->isOpen())
            return;
        ComTxText += c;
        ComFlushTx();
        const QDeadlineTimer paced(std::chrono::milliseconds(qint64(CharacterPause * 1000)),
                                   Qt::PreciseTimer);
        WaitSeconds(CharacterPause);
        // A wait cut short by the program's end: the device still gets its pause.
        if (!paced.hasExpired())
            std::this_thread::sleep_for(std::chrono::nanoseconds(paced.remainingTimeNSecs()));
    }
}
