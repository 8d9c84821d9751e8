#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "simulatorprocess.h"

#include <QTemporaryDir>
#include <QtTest>

// The serial link on a real tty: the device simulator on a pseudo-terminal.
class TestLinkPty : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void charactersArrivePaced();
    void pollTakes255ThenTheRest();
    void bytesBecomeLatin1Characters();
    void openOfMissingPortClosesTheOpenOne();
    void badPortPaths();
    void lineSettingsGiven();

private:
    void usePorts(const QStringList &paths);

    SimulatorProcess m_sim;
    std::unique_ptr<ComLink> m_link;
    QTemporaryDir m_dir;
};

void TestLinkPty::init() {
    QVERIFY(m_sim.start({}));
    m_link = std::make_unique<ComLink>(std::make_unique<QtSerialPortIo>());
    usePorts({m_sim.portPath()});
    QCOMPARE(m_link->ComOpen(QStringLiteral("COM1"), 19200), QString());
}

void TestLinkPty::cleanup() {
    m_link.reset();
    m_sim.stop();
    qunsetenv("VTK290_PORTS");
}

void TestLinkPty::usePorts(const QStringList &paths) {
    qputenv("VTK290_PORTS", paths.join(QLatin1Char(':')).toLocal8Bit());
}

void TestLinkPty::charactersArrivePaced() {
    m_link->ComSendText(QStringLiteral("Name\r"));
    QTRY_COMPARE(m_sim.commands(), QStringList{"Name"});
    const auto bytes = m_sim.bytes();
    QCOMPARE(bytes.size(), 5);
    QByteArray received;
    for (int i = 0; i < bytes.size(); ++i) {
        received += bytes.at(i).second;
        if (i > 0) {
            const double gap = bytes.at(i).first - bytes.at(i - 1).first;
            QVERIFY2(gap > 0.035 && gap < 0.09, qPrintable(QString::number(gap)));
        }
    }
    QCOMPARE(received, QByteArray("Name\r"));
}

void TestLinkPty::pollTakes255ThenTheRest() {
    // Echo "Name" CR LF (6 bytes) and the answer line with its CR LF make 300 bytes.
    m_sim.control(QStringLiteral("set name KT290") + QString(287, QLatin1Char('x')));
    m_link->ComSendText(QStringLiteral("Name\r"));
    WaitSeconds(0.3);
    m_link->ComPoll();
    QCOMPARE(m_link->ComRxText.size(), 255);
    m_link->ComPoll();
    QCOMPARE(m_link->ComRxText.size(), 300);
    QVERIFY(m_link->ComRxText.endsWith(QLatin1String("xx\r\n")));
}

void TestLinkPty::bytesBecomeLatin1Characters() {
    // The setup print carries "Prüfsumme" with the single byte 0xFC.
    m_link->ComSendText(QStringLiteral("spr\r"));
    WaitSeconds(0.4);
    for (int i = 0; i < 8; ++i)
        m_link->ComPoll();
    QVERIFY(m_link->ComRxText.contains(QStringLiteral("Prüfsumme")));

    m_link->ComRxText.clear();
    m_sim.control(QStringLiteral("fault nul"));
    WaitSeconds(0.2);
    m_link->ComPoll();
    m_sim.control(QStringLiteral("fault none"));
    QVERIFY(!m_link->ComRxText.isEmpty());
    QVERIFY(std::all_of(m_link->ComRxText.cbegin(), m_link->ComRxText.cend(),
                        [](QChar c) { return c == QChar(0); }));
}

void TestLinkPty::openOfMissingPortClosesTheOpenOne() {
    usePorts({m_sim.portPath(), m_dir.filePath(QStringLiteral("missing"))});
    QTRY_COMPARE(m_sim.openCount(), 1);
    QVERIFY(!m_link->ComOpen(QStringLiteral("COM2"), 19200).isEmpty());
    QVERIFY(!m_link->ComHandleValid());
    // The simulator notices that nobody holds its line any more (on a loaded machine a little
    // later: reopened before that, the line would look as if it had been held all along).
    QTRY_VERIFY(m_sim.transcript().last().endsWith(QLatin1String(" CLOSE")));
    QCOMPARE(m_link->ComOpen(QStringLiteral("COM1"), 19200), QString());
    QTRY_COMPARE(m_sim.openCount(), 2);
}

void TestLinkPty::badPortPaths() {
    const QString plainFile = m_dir.filePath(QStringLiteral("plain"));
    const QString lockedFile = m_dir.filePath(QStringLiteral("locked"));
    for (const QString &path : {plainFile, lockedFile}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a tty");
    }
    QFile::setPermissions(lockedFile, QFileDevice::Permissions());
    usePorts({plainFile, m_dir.path(), lockedFile});
    for (const char *port : {"COM1", "COM2", "COM3"}) {
        QVERIFY2(!m_link->ComOpen(QLatin1String(port), 19200).isEmpty(), port);
        m_link->ComClose();
        QVERIFY(!m_link->ComHandleValid());
    }
    // Only an unprivileged user is refused the locked file; root opens it and fails later.
    QFile probe(lockedFile);
    if (!probe.open(QIODevice::ReadWrite)) {
        m_link->ComOpen(QStringLiteral("COM3"), 19200);
        QVERIFY(m_link->ComOpenDenied());
    }
}

// The pseudo-terminal takes any line settings: what the port was given is read back from it.
void TestLinkPty::lineSettingsGiven() {
    m_link->ComClose();
    auto io = std::make_unique<QtSerialPortIo>();
    QtSerialPortIo *port = io.get();
    ComLink link(std::move(io));
    QCOMPARE(link.ComOpen(QStringLiteral("COM1"), 19200), QString());
    const auto settings = port->lineSettings();
    QVERIFY(settings);
    QCOMPARE(settings->baudRate, 19200);
    QCOMPARE(settings->dataBits, QSerialPort::Data8);
    QCOMPARE(settings->parity, QSerialPort::NoParity);
    QCOMPARE(settings->stopBits, QSerialPort::OneStop);
    QCOMPARE(settings->flowControl, QSerialPort::NoFlowControl);
}

QTEST_GUILESS_MAIN(TestLinkPty)
#include "tst_linkpty.moc"
