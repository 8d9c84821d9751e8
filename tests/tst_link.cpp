#include "core/link/ucom.h"
#include "fakeserialport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

// The serial link against a port in memory.
class TestLink : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pollMovesAtMost255Bytes();
    void pollMapsBytesToLatin1();
    void flushWritesAtMost998();
    void flushWaitsForEmptyOutputQueue();
    void sendPacesCharacters();
    void sendWithoutPortOrTextReturnsAtOnce();
    void openEmptiesTextsCloseKeepsThem();
    void openOfMissingPortFailsAndClosesPrevious();
    void lostPortIsClosed();
    void networkAddressesGoToTheNetworkPort();
    void waitProcessesEvents();

private:
    FakeSerialPort *m_port = nullptr;
    std::unique_ptr<ComLink> m_link;
};

void TestLink::init() {
    qputenv("VTK290_PORTS", "/fake/1:/fake/2");
    auto port = std::make_unique<FakeSerialPort>();
    m_port = port.get();
    m_port->existingPaths = {QStringLiteral("/fake/1")};
    m_link = std::make_unique<ComLink>(std::move(port));
    QCOMPARE(m_link->ComOpen(QStringLiteral("COM1"), 19200), QString());
}

void TestLink::cleanup() {
    m_link.reset();
    qunsetenv("VTK290_PORTS");
}

void TestLink::pollMovesAtMost255Bytes() {
    m_port->incoming = QByteArray(300, 'a');
    m_link->ComPoll();
    QCOMPARE(m_link->ComRxText.size(), 255);
    m_link->ComPoll();
    QCOMPARE(m_link->ComRxText.size(), 300);
    m_link->ComPoll();
    QCOMPARE(m_link->ComRxText.size(), 300);
}

void TestLink::pollMapsBytesToLatin1() {
    m_port->incoming = QByteArray("\xE4\x00\xFF", 3);
    m_link->ComPoll();
    const QChar expected[] = {QChar(0xE4), QChar(0), QChar(0xFF)};
    QCOMPARE(m_link->ComRxText, QString(expected, 3));
}

void TestLink::flushWritesAtMost998() {
    m_link->ComTxText = QString(1200, QLatin1Char('x'));
    m_link->ComTxText[0] = QChar(0xE4);
    m_link->ComFlushTx();
    QCOMPARE(m_port->writes.size(), 1);
    QCOMPARE(m_port->writes.first().bytes.size(), 998);
    QCOMPARE(m_port->writes.first().bytes.at(0), '\xE4');
    QCOMPARE(m_link->ComTxText.size(), 202);
}

void TestLink::flushWaitsForEmptyOutputQueue() {
    m_port->pendingOutput = 3;
    m_link->ComTxText = QStringLiteral("abc");
    m_link->ComFlushTx();
    QVERIFY(m_port->writes.isEmpty());
    QCOMPARE(m_link->ComTxText, QStringLiteral("abc"));
}

void TestLink::sendPacesCharacters() {
    m_link->ComSendText(QStringLiteral("Name\r"));
    QCOMPARE(m_port->writes.size(), 5);
    for (int i = 1; i < m_port->writes.size(); ++i) {
        const qint64 gap = m_port->writes.at(i).atMs - m_port->writes.at(i - 1).atMs;
        QVERIFY2(gap >= 49 && gap < 150, qPrintable(QString::number(gap)));
    }
    QCOMPARE(m_port->commands, QList<QByteArray>{"Name"});
}

void TestLink::sendWithoutPortOrTextReturnsAtOnce() {
    QElapsedTimer clock;
    clock.start();
    m_link->ComSendText(QString());
    m_link->ComClose();
    m_link->ComSendText(QStringLiteral("Name\r"));
    QVERIFY(clock.elapsed() < 40);
    QVERIFY(m_port->writes.isEmpty());
    QVERIFY(m_link->ComTxText.isEmpty());
}

void TestLink::openEmptiesTextsCloseKeepsThem() {
    m_link->ComRxText = QStringLiteral("rx");
    m_link->ComTxText = QStringLiteral("tx");
    m_link->ComClose();
    QVERIFY(!m_link->ComHandleValid());
    QCOMPARE(m_link->ComRxText, QStringLiteral("rx"));
    QCOMPARE(m_link->ComTxText, QStringLiteral("tx"));
    QCOMPARE(m_link->ComOpen(QStringLiteral("COM1"), 19200), QString());
    QVERIFY(m_link->ComHandleValid());
    QVERIFY(m_link->ComRxText.isEmpty());
    QVERIFY(m_link->ComTxText.isEmpty());
}

void TestLink::openOfMissingPortFailsAndClosesPrevious() {
    QVERIFY(m_link->ComHandleValid());
    QVERIFY(!m_link->ComOpen(QStringLiteral("COM2"), 19200).isEmpty()); // listed, but absent
    QVERIFY(!m_link->ComHandleValid());
    QVERIFY(!m_link->ComOpen(QStringLiteral("COM7"), 19200).isEmpty()); // not listed at all
    QVERIFY(!m_link->ComHandleValid());
}

void TestLink::lostPortIsClosed() {
    QSignalSpy lost(m_link.get(), &ComLink::portLost);
    m_port->pullPlug();
    QCOMPARE(lost.count(), 1);
    QVERIFY(!m_link->ComHandleValid());
    m_link->ComSendText(QStringLiteral("Name\r"));
    QVERIFY(m_port->writes.isEmpty());
}

// The link serves each path by the port given for it: a network address by the network port,
// a local path by the local one; the loss of either is the link's.
void TestLink::networkAddressesGoToTheNetworkPort() {
    qputenv("VTK290_PORTS", "/fake/1;tcp://192.0.2.1:4001");
    auto local = std::make_unique<FakeSerialPort>();
    auto network = std::make_unique<FakeSerialPort>();
    FakeSerialPort *localPort = local.get();
    FakeSerialPort *networkPort = network.get();
    ComLink link(std::move(local), std::move(network));
    QSignalSpy lost(&link, &ComLink::portLost);

    QCOMPARE(link.ComOpen(QStringLiteral("COM2"), 19200), QString());
    QCOMPARE(networkPort->openedPaths, QStringList{QStringLiteral("tcp://192.0.2.1:4001")});
    QVERIFY(localPort->openedPaths.isEmpty());
    link.ComSendText(QStringLiteral("n"));
    QCOMPARE(networkPort->writes.size(), 1);
    networkPort->pullPlug();
    QCOMPARE(lost.count(), 1);
    QVERIFY(!link.ComHandleValid());

    QCOMPARE(link.ComOpen(QStringLiteral("COM1"), 19200), QString());
    QCOMPARE(localPort->openedPaths, QStringList{QStringLiteral("/fake/1")});
    QCOMPARE(networkPort->openedPaths.size(), 1);
    link.ComSendText(QStringLiteral("l"));
    QCOMPARE(localPort->writes.size(), 1);
    QCOMPARE(networkPort->writes.size(), 1);
    localPort->pullPlug();
    QCOMPARE(lost.count(), 2);
}

void TestLink::waitProcessesEvents() {
    bool posted = false;
    QMetaObject::invokeMethod(
        this, [&posted] { posted = true; }, Qt::QueuedConnection);
    WaitSeconds(0);
    QVERIFY(posted);

    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start(100);
    QElapsedTimer clock;
    clock.start();
    WaitSeconds(0.55);
    QVERIFY(clock.elapsed() >= 550);
    QVERIFY2(ticks >= 4 && ticks <= 6, qPrintable(QString::number(ticks)));
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
