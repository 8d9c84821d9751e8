#include "clirun.h"
#include "ser2netprocess.h"
#include "simulatedkt290.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include "core/device/deviceconversation.h"
#include "core/link/networkportio.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/system/filewriter.h"
#include "gui/diag/ulive.h"
#include "gui/main/fmain1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

// The device behind a serial device server: ser2net in front of the simulator's pseudo-terminal,
// as RFC 2217 and as raw TCP, and servers that refuse, stay silent or go away.
class TestNetPort : public QObject {
    Q_OBJECT

private slots:
    void sameConversationAsLocal_data();
    void sameConversationAsLocal();
    void serverStoppedInReadout_data();
    void serverStoppedInReadout();
    void unreachableServerIsSkipped_data();
    void unreachableServerIsSkipped();
    void modemControlNotAcknowledged();
};

namespace {

constexpr qint64 BoundMs = 3000;

using simulated::DeviceValues;

// Everything the service does over one port path, as the user does it: scan, read-out, setup
// write with its backup, status report, and the live view until two cycles are through.
struct Session {
    QString scan, readout, report;
    int putCode = -1;
    QStringList backups;
    bool liveEnded = false;
};

Session serviceSession(const QString &path, const QString &setupFile, const QString &dataHome,
                       const SimulatorProcess &device) {
    Session s;
    Cli cli;
    cli.timeoutMs = 120000;
    cli.env.insert(QStringLiteral("VTK290_PORTS"), QStringLiteral("/dev/absent-kt290;") + path);
    cli.env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    s.scan = cli.run({QStringLiteral("scan")}).out;
    s.readout = cli.run({QStringLiteral("readout"), QStringLiteral("--json")}).out;
    const CliRun put = cli.run({QStringLiteral("setup"), QStringLiteral("put"), setupFile});
    s.putCode = put.code;
    if (put.code != 0)
        qWarning("setup put: %s", qPrintable(put.err));
    s.backups = QDir(dataHome + QStringLiteral("/vtk290/backups")).entryList(QDir::Files);
    s.report = cli.run({QStringLiteral("report")}).out;

    auto rig = WindowRig::onPort(path);
    if (!rig->opened()) {
        qWarning("live view: %s", qPrintable(rig->openError()));
        return s;
    }
    Tflive *live = rig->windows.flive;
    const qsizetype before = device.commands().size();
    QTimer watcher;
    bool closing = false;
    QObject::connect(&watcher, &QTimer::timeout, live, [&] {
        // The recording is not kept.
        if (simulated::discardRecording())
            return;
        if (!closing && live->isVisible() &&
            device.commands().mid(before).count(QStringLiteral("P2")) >= 2) {
            closing = true;
            live->close();
        }
    });
    bool opened = false;
    QTimer::singleShot(0, live, [&] {
        opened = true;
        watcher.start(20);
        rig->windows.form1->LiveAnzeige1->trigger();
    });
    s.liveEnded = QTest::qWaitFor([&] { return opened && !live->isVisible(); }, 60000);
    return s;
}

} // namespace

void TestNetPort::sameConversationAsLocal_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("rfc2217") << "rfc2217";
    QTest::newRow("tcp") << "tcp";
}

// Over the server the device gets the same commands as over the local port, paced alike, and
// the program shows the same.
void TestNetPort::sameConversationAsLocal() {
    QFETCH(QString, mode);
    QTemporaryDir dir;
    SimulatorProcess local, remote;
    QVERIFY(local.start({}));
    QVERIFY(remote.start({}));
    for (const char *line : DeviceValues) {
        QVERIFY(local.control(QLatin1String(line)));
        QVERIFY(remote.control(QLatin1String(line)));
    }
    Ser2NetProcess server;
    QVERIFY(server.start(mode, remote.portPath()));

    const SetupFields fields = simulated::twoFieldsChanged();
    const QString setupFile = dir.filePath(QStringLiteral("neu.kt290"));
    QCOMPARE(FileWriter::save(setupFile, SetupFile::encode(SetupFile::lines(
                                             fields, QDateTime::currentDateTime()))),
             QString());

    const Session overLocal =
        serviceSession(local.portPath(), setupFile, dir.filePath(QStringLiteral("local")), local);
    const qsizetype remoteBytesBefore = remote.bytes().size();
    const Session overServer =
        serviceSession(server.address(), setupFile, dir.filePath(QStringLiteral("net")), remote);

    QCOMPARE(overServer.scan, QStringLiteral("COM2\t%1\tKT290 V1.03\n").arg(server.address()));
    QCOMPARE(overLocal.scan, QStringLiteral("COM2\t%1\tKT290 V1.03\n").arg(local.portPath()));
    QVERIFY(!QJsonDocument::fromJson(overServer.readout.toUtf8()).isNull());
    QCOMPARE(overServer.readout, overLocal.readout);
    QCOMPARE(overServer.putCode, 0);
    QCOMPARE(overLocal.putCode, 0);
    QCOMPARE(overServer.backups.size(), 1);
    QVERIFY(overLocal.liveEnded);
    QVERIFY(overServer.liveEnded);
    QCOMPARE(overServer.report, overLocal.report);
    QVERIFY(overServer.report.contains(QStringLiteral("Brückensignal überschritten")));

    const QStringList commands = remote.commands();
    QCOMPARE(commands, local.commands());
    QVERIFY(commands.contains(QStringLiteral("druck -1")));
    QVERIFY(commands.count(QStringLiteral("P2")) >= 2); // read-out and a live cycle

    // Paced as over the local port. The simulator stamps a byte when it reads it, and a loaded
    // simulator reads some late, close to the next one: the typical gap is what counts.
    const auto bytes = remote.bytes().mid(remoteBytesBefore);
    QList<double> gaps;
    for (qsizetype i = 1; i < bytes.size(); ++i)
        gaps << bytes.at(i).first - bytes.at(i - 1).first;
    std::sort(gaps.begin(), gaps.end());
    QVERIFY(gaps.size() > 100);
    QVERIFY2(gaps.at(gaps.size() / 2) > 0.045,
             qPrintable(QString::number(gaps.at(gaps.size() / 2))));
    // Not one character sent twice or merged: as many characters as the commands hold, and a CR
    // after each (besides the CR that cleans the line of an opened port).
    qsizetype expectedCharacters = 0;
    for (const QString &command : commands)
        expectedCharacters += command.size();
    qsizetype characters = 0;
    qsizetype crs = 0;
    for (const auto &[time, byte] : remote.bytes())
        (byte == '\r' ? crs : characters) += 1;
    QCOMPARE(characters, expectedCharacters);
    QVERIFY2(crs >= commands.size() && crs <= commands.size() + remote.openCount(),
             qPrintable(QStringLiteral("%1 CR, %2 commands").arg(crs).arg(commands.size())));
}

void TestNetPort::serverStoppedInReadout_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("rfc2217") << "rfc2217";
    QTest::newRow("tcp") << "tcp";
}

// The server goes away in the middle of a read-out: the program disconnects within the bound,
// as from an unplugged adapter, and asks nothing more.
void TestNetPort::serverStoppedInReadout() {
    QFETCH(QString, mode);
    SimulatorProcess device;
    QVERIFY(device.start({}));
    Ser2NetProcess server;
    QVERIFY(server.start(mode, device.portPath()));
    auto rig = WindowRig::onPort(server.address());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    Tform1 *form = rig->windows.form1;

    QElapsedTimer sinceStop;
    qsizetype commandsAtStop = -1;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (commandsAtStop < 0 && device.commands().contains(QStringLiteral("fnr"))) {
            server.stop();
            sinceStop.start();
            commandsAtStop = device.commands().size();
        }
    });
    watcher.start(20);
    form->BitBtnAktualisieren->click();
    QTRY_COMPARE_WITH_TIMEOUT(form->statusPanelText(0), QStringLiteral("getrennt"), 10000);
    QVERIFY(sinceStop.isValid());
    QVERIFY2(sinceStop.elapsed() <= BoundMs, qPrintable(QString::number(sinceStop.elapsed())));
    QTRY_COMPARE(form->BitBtnVerbinden->text(), QStringLiteral("Verbinden"));
    QVERIFY(!form->BitBtnAktualisieren->isEnabled());
    QVERIFY(!rig->link->ComHandleValid());
    // Nothing was asked after the stop but what was already on its way.
    QTest::qWait(500);
    QVERIFY(device.commands().size() <= commandsAtStop + 1);
}

void TestNetPort::unreachableServerIsSkipped_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("refused") << "refused";
    QTest::newRow("full backlog") << "full backlog";
    QTest::newRow("no negotiation") << "no negotiation";
}

// A server that refuses, one whose host never answers the connection and one that never sets
// up its port: each fails its COMn within the bound and the scan finds the device on the next.
void TestNetPort::unreachableServerIsSkipped() {
    QFETCH(QString, kind);
    SimulatorProcess device;
    QVERIFY(device.start({}));

    QTcpServer server;
    server.setListenBacklogSize(0);
    QList<QTcpSocket *> fillers;
    QString address;
    if (kind == QLatin1String("refused")) {
        address = QStringLiteral("tcp://127.0.0.1:%1").arg(Ser2NetProcess::freePort());
    } else {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        server.pauseAccepting();
        const QString scheme = kind == QLatin1String("no negotiation") ? "rfc2217" : "tcp";
        address = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(server.serverPort());
    }
    if (kind == QLatin1String("full backlog")) {
        // The kernel takes connections for the server until its queue is full; then it drops
        // the next one's first packet, as an absent host does.
        for (int i = 0; i < 8; ++i) {
            auto *socket = new QTcpSocket(this);
            fillers << socket;
            socket->connectToHost(QHostAddress::LocalHost, server.serverPort());
            if (!socket->waitForConnected(300))
                break;
        }
        QVERIFY(fillers.last()->state() != QAbstractSocket::ConnectedState);
    }

    qputenv("VTK290_PORTS", (address + QStringLiteral(";") + device.portPath()).toLocal8Bit());
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    QElapsedTimer clock;
    clock.start();
    const QString error = link.ComOpen(QStringLiteral("COM1"), 19200);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(!error.isEmpty());
    QVERIFY(!link.ComHandleValid());
    QVERIFY2(elapsed <= BoundMs, qPrintable(QString::number(elapsed)));
    if (kind == QLatin1String("refused"))
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));

    // The window's scan: COM1 fails, COM2 answers.
    auto rig = WindowRig::make({});
    rig->form()->BitBtnVerbinden->click();
    QVERIFY(rig->conversation().isConnected());
    QCOMPARE(rig->conversation().port(), 2);
    rig.reset();
    qDeleteAll(fillers);
    qunsetenv("VTK290_PORTS");
}

// A server that sets up its port but never acknowledges DTR and RTS: the port opens at once,
// and Telnet's 0xFF goes through escaped both ways.
void TestNetPort::modemControlNotAcknowledged() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket *peer = nullptr;
    QByteArray received;    // everything the program sent
    QList<QByteArray> subs; // its COM-PORT requests
    connect(&server, &QTcpServer::newConnection, this, [&] {
        peer = server.nextPendingConnection();
        peer->write(QByteArray("\xff\xfd\x2c", 3)); // DO COM-PORT-OPTION
        connect(peer, &QTcpSocket::readyRead, this, [&] {
            received += peer->readAll();
            // Answer each line setting as asked; modem control (SET-CONTROL 8 … 13) never.
            qsizetype at;
            while ((at = received.indexOf(QByteArray("\xff\xfa\x2c", 3))) >= 0) {
                const qsizetype end = received.indexOf(QByteArray("\xff\xf0", 2), at);
                if (end < 0)
                    break;
                const QByteArray sub = received.mid(at + 3, end - at - 3);
                received.remove(at, end + 2 - at);
                subs << sub;
                const bool modemControl = sub.at(0) == 5 && quint8(sub.at(1)) >= 8;
                if (!modemControl)
                    peer->write(QByteArray("\xff\xfa\x2c", 3) + char(sub.at(0) + 100) + sub.mid(1) +
                                QByteArray("\xff\xf0", 2));
            }
        });
    });
    qputenv("VTK290_PORTS",
            QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort()).toLocal8Bit());
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(link.ComOpen(QStringLiteral("COM1"), 19200), QString());
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY(subs.size() >= 7);
    // 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control; then DTR and RTS on.
    QCOMPARE(subs.mid(0, 7), (QList<QByteArray>{QByteArray("\x01\x00\x00\x4b\x00", 5),
                                                QByteArray("\x02\x08"), QByteArray("\x03\x01"),
                                                QByteArray("\x04\x01"), QByteArray("\x05\x01"),
                                                QByteArray("\x05\x08"), QByteArray("\x05\x0b")}));

    received.clear();
    const QString sent = QStringLiteral("a") + QChar(0xff) + QStringLiteral("b\r");
    link.ComSendText(sent);
    QTRY_COMPARE(received.right(5), QByteArray("a\xff\xff"
                                               "b\r"));
    // The device's 0xFF arrives doubled and is one character again; a notice in between is not
    // data.
    peer->write(QByteArray("x\xff\xff"
                           "y\xff\xfa\x2c\x6b\x30\xff\xf0z",
                           12));
    QTRY_VERIFY((link.ComPoll(), link.ComRxText.size() >= 4));
    QCOMPARE(link.ComRxText, QStringLiteral("x") + QChar(0xff) + QStringLiteral("yz"));
    qunsetenv("VTK290_PORTS");
}

QTEST_MAIN(TestNetPort)
#include "tst_netport.moc"
