#include "clirun.h"
#include "ser2netprocess.h"
#include "simulatorprocess.h"

#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

// Every form a port is named in (a path, rfc2217://, tcp://, an IPv6 host, a COM name) given
// every way (--port, VTK290_PORTS, the setting) through vtk290-cli's real process, and each
// network failure named with its address.
class TestPortForms : public QObject {
    Q_OBJECT

private slots:
    void crossings_data();
    void crossings();
    void networkFailures_data();
    void networkFailures();
};

namespace {

const QString Absent = QStringLiteral("/dev/absent-kt290");

// A run with its own home: VTK290_PORTS and the setting only as the row gives them.
struct HomeCli : Cli {
    QTemporaryDir home;

    HomeCli() {
        timeoutMs = 60000;
        env.remove(QStringLiteral("VTK290_PORTS"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    }
    // COM1 … COM8 as "Schnittstellen …" keeps them.
    void choose(const QStringList &ports) const {
        QSettings settings(home.filePath(QStringLiteral("config/vtk290/vtk290.conf")),
                           QSettings::IniFormat);
        for (int n = 1; n <= 8; ++n)
            settings.setValue(QStringLiteral("ports/COM%1").arg(n), ports.value(n - 1));
    }
};

// The ports of a run, COM2 the given one: nothing else to ask, so a scan of all stays short.
QStringList portsWithDeviceOnCom2(const QString &port) {
    QStringList ports{Absent, port};
    for (int n = 3; n <= 8; ++n)
        ports << Absent + QString::number(n);
    return ports;
}

} // namespace

void TestPortForms::crossings_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("command");
    for (const char *form : {"path", "rfc2217", "tcp", "tcp IPv6"})
        for (const char *way : {"--port", "VTK290_PORTS", "setting", "--port COM2 of the setting"})
            for (const char *command : {"scan", "scan --all", "readout"})
                QTest::addRow("%s, %s, %s", form, way, command) << form << way << command;
}

// The device is found, listed and read out on its port whatever form the port has and however
// it was given; --port asks that port alone.
void TestPortForms::crossings() {
    QFETCH(QString, form);
    QFETCH(QString, way);
    QFETCH(QString, command);
    SimulatorProcess device;
    QVERIFY(device.start({}));
    Ser2NetProcess server;
    QString port = device.portPath();
    if (form != QLatin1String("path")) {
        QVERIFY(server.start(form.section(u' ', 0, 0), device.portPath(),
                             form.endsWith(QLatin1String("IPv6"))));
        port = server.address();
    }
    HomeCli cli;
    QStringList args = command.split(u' ');
    QString com = QStringLiteral("COM2");
    if (way == QLatin1String("--port")) {
        args << QStringLiteral("--port") << port;
        com = QStringLiteral("COM1");
    } else if (way == QLatin1String("VTK290_PORTS")) {
        cli.env.insert(QStringLiteral("VTK290_PORTS"),
                       portsWithDeviceOnCom2(port).join(QLatin1Char(':')));
    } else {
        cli.choose(portsWithDeviceOnCom2(port));
        if (way.startsWith(QLatin1String("--port")))
            args << QStringLiteral("--port=COM2");
    }
    const CliRun run = cli.run(args);
    QVERIFY2(run.code == 0, qPrintable(QStringLiteral("%1\n%2").arg(run.code).arg(run.err)));
    const QStringList lines = run.out.trimmed().split(u'\n');
    const QString found = QStringLiteral("%1\t%2\t").arg(com, port);
    if (command == QLatin1String("scan")) {
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(found + QStringLiteral("KT290")), qPrintable(run.out));
    } else if (command == QLatin1String("scan --all")) {
        // --port: that port alone; otherwise every COMn, the device's among them.
        QCOMPARE(lines.size(), way.startsWith(QLatin1String("--port")) ? 1 : 8);
        QVERIFY2(lines.filter(found + QStringLiteral("KT 290: ")).size() == 1, qPrintable(run.out));
        if (lines.size() == 8)
            QCOMPARE(lines.first(), QStringLiteral("COM1\t%1\tnicht vorhanden").arg(Absent));
    } else {
        QVERIFY2(run.out.contains(QRegularExpression(QStringLiteral("^Typ: +KT 290"),
                                                     QRegularExpression::MultilineOption)),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(QRegularExpression(QStringLiteral("^F\\.Nr: +[0-9]+$"),
                                                     QRegularExpression::MultilineOption)),
                 qPrintable(run.out));
    }
}

void TestPortForms::networkFailures_data() {
    QTest::addColumn<QString>("port"); // %1: a loopback port nobody listens on, %2: a silent one
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("named");
    const QString refused = QStringLiteral("tcp://127.0.0.1:%1");
    const QString silent = QStringLiteral("rfc2217://127.0.0.1:%2");
    QTest::newRow("refused, --port") << refused << "--port"
                                     << "scan" << 3 << "Verbindung abgelehnt";
    QTest::newRow("refused, VTK290_PORTS") << refused << "VTK290_PORTS"
                                           << "scan" << 3 << "Verbindung abgelehnt";
    QTest::newRow("refused, setting, scan --all") << refused << "setting"
                                                  << "scan --all" << 3 << "Verbindung abgelehnt";
    QTest::newRow("impossible port, --port") << "tcp://127.0.0.1:99999"
                                             << "--port"
                                             << "readout" << 2 << "ungültige Adresse";
    QTest::newRow("impossible port, VTK290_PORTS") << "tcp://127.0.0.1:99999"
                                                   << "VTK290_PORTS"
                                                   << "scan" << 3 << "ungültige Adresse";
    QTest::newRow("no port, --port") << "rfc2217://127.0.0.1"
                                     << "--port"
                                     << "scan" << 2 << "ungültige Adresse";
    QTest::newRow("no port, setting, scan --all") << "rfc2217://127.0.0.1"
                                                  << "setting"
                                                  << "scan --all" << 3 << "ungültige Adresse";
    QTest::newRow("silent server, --port") << silent << "--port"
                                           << "scan" << 3 << "keine Antwort vom Server in 2,5 s";
}

// Each failure is said with the address it belongs to; the scan of all lists it on its line.
void TestPortForms::networkFailures() {
    QFETCH(QString, port);
    QFETCH(QString, way);
    QFETCH(QString, command);
    QFETCH(int, code);
    QFETCH(QString, named);
    // Takes connections (the kernel does) and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    port.replace(QStringLiteral("%1"), QString::number(Ser2NetProcess::freePort()))
        .replace(QStringLiteral("%2"), QString::number(silent.serverPort()));
    HomeCli cli;
    QStringList args = command.split(u' ');
    if (way == QLatin1String("--port"))
        args << QStringLiteral("--port") << port;
    else if (way == QLatin1String("VTK290_PORTS"))
        cli.env.insert(QStringLiteral("VTK290_PORTS"), port);
    else
        cli.choose(portsWithDeviceOnCom2(port).mid(1) << Absent);
    const CliRun run = cli.run(args);
    QCOMPARE(run.code, code);
    const QString said = QStringLiteral("%1: %2").arg(port, named);
    QVERIFY2(run.err.contains(said) || run.out.contains(QStringLiteral("\t") + said),
             qPrintable(run.out + run.err));
    if (command == QLatin1String("scan --all"))
        QVERIFY2(run.out.startsWith(QStringLiteral("COM1\t%1\t%2").arg(port, said)),
                 qPrintable(run.out));
}

QTEST_GUILESS_MAIN(TestPortForms)
#include "tst_portforms.moc"
