#include "simulatorprocess.h"
#include "windowrig.h"

#include "core/diag/statusreport.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/ustatus.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QtTest>

namespace {

// A device that answers "log" at once and sends the rest of its log in bursts: each burst goes
// out the given time after the program has taken everything sent before. The program takes
// what came in passes of 0.2 s, so 100 ms lands in the middle of the next pass and 300 ms leaves
// one whole pass quiet.
class BurstingLog : public QObject {
public:
    BurstingLog(FakeSerialPort *port, const QByteArray &answer, QList<QByteArray> bursts,
                QList<int> delaysMs)
        : m_port(port)
        , m_bursts(std::move(bursts))
        , m_delaysMs(std::move(delaysMs)) {
        port->answer = [answer](const QByteArray &line) {
            return line == "log" ? answer : QByteArray();
        };
        m_watch.setInterval(5);
        connect(&m_watch, &QTimer::timeout, this, &BurstingLog::check);
        m_watch.start();
    }

private:
    void check() {
        if (m_scheduled || m_next >= m_bursts.size() || !m_port->commands.contains("log") ||
            !m_port->incoming.isEmpty())
            return;
        m_scheduled = true;
        QTimer::singleShot(m_delaysMs.at(m_next), this, [this] {
            m_port->incoming += m_bursts.at(m_next++);
            m_scheduled = false;
        });
    }

    FakeSerialPort *m_port;
    QList<QByteArray> m_bursts;
    QList<int> m_delaysMs;
    qsizetype m_next = 0;
    bool m_scheduled = false;
    QTimer m_watch;
};

// One fetch as the open window makes it (only the open window asks the device).
void fetchInOpenWindow(Tflogfile *logfile) {
    logfile->show();
    logfile->Timer1Timer();
    logfile->Timer1->stop();
}

} // namespace

// The log window's fetch: against a device in memory with bursts at chosen moments, and
// against the simulator.
class TestLogfile : public QObject {
    Q_OBJECT

private slots:
    void collect_data();
    void collect();
    void silentDeviceIsAskedAgainWhileOpen();
    void askedAgainAFifthOfASecondLater();
    void endlessLogStopsAtDeadline();
    void logFromDevice();
    void continuousLogFromDevice();
};

void TestLogfile::collect_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<QByteArray>>("bursts");
    QTest::addColumn<QList<int>>("delaysMs");
    QTest::addColumn<QString>("memo");
    QTest::newRow("header line removed, bursts collected")
        << QByteArray("LogFile KT290 (3 Eintr\xE4ge)\r\n001 Netz ein\r\n")
        << QList<QByteArray>{"002 Setup ge\xE4ndert\r\n", "003 Netz aus\r\n"}
        << QList<int>{100, 100} << "001 Netz ein\n002 Setup geändert\n003 Netz aus";
    QTest::newRow("device sending line ends first")
        << QByteArray("\r\nLogFile KT290 (3 Eintr\xE4ge)\r\n001 Netz ein")
        << QList<QByteArray>{"\r\n002 Netz aus", "\r\n003 Netz ein"} << QList<int>{100, 100}
        << "001 Netz ein\n002 Netz aus\n003 Netz ein";
    QTest::newRow("answer with the header only")
        << QByteArray("LogFile KT290 (2 Eintr\xE4ge)\r\n")
        << QList<QByteArray>{"001 Netz ein\r\n", "002 Netz aus\r\n"} << QList<int>{100, 100}
        << "001 Netz ein\n002 Netz aus";
    // The device skips one 0.2 s beat: the pass in between finds nothing.
    QTest::newRow("a pause of one pass cuts the log")
        << QByteArray("LogFile KT290 (4 Eintr\xE4ge)\r\n001 Netz ein\r\n")
        << QList<QByteArray>{"002 Fehler 2\r\n", "003 Fehler behoben\r\n", "004 Netz aus\r\n"}
        << QList<int>{100, 300, 100} << "001 Netz ein\n002 Fehler 2";
    QTest::newRow("no header") << QByteArray("001 Netz ein\r\n") << QList<QByteArray>{}
                               << QList<int>{} << "001 Netz ein";
    // One poll moves at most 255 bytes: the first piece may end inside an entry, after a blank.
    QTest::newRow("first piece ends inside an entry")
        << QByteArray("LogFile KT290 (2 Eintr\xE4ge)\r\n001 Netz ")
        << QList<QByteArray>{"ein\r\n002 Netz aus\r\n"} << QList<int>{100}
        << "001 Netz ein\n002 Netz aus";
}

void TestLogfile::collect() {
    QFETCH(QByteArray, answer);
    QFETCH(QList<QByteArray>, bursts);
    QFETCH(QList<int>, delaysMs);
    QFETCH(QString, memo);
    const auto rig = WindowRig::onFake();
    QVERIFY(rig->opened());
    BurstingLog device(rig->device, answer, bursts, delaysMs);
    Tflogfile *logfile = rig->windows.flogfile;

    fetchInOpenWindow(logfile);

    QCOMPARE(logfile->Memo1->toPlainText(), memo);
    QCOMPARE(rig->fakeCommands(), QStringList{"log"});
    QVERIFY(!logfile->Timer1->isActive());
}

// Each attempt takes the query's two tries; the open window then asks again 200 ms later.
void TestLogfile::silentDeviceIsAskedAgainWhileOpen() {
    const auto rig = WindowRig::onFake();
    QVERIFY(rig->opened());
    Tflogfile *logfile = rig->windows.flogfile;
    logfile->Memo1->setPlainText(QStringLiteral("von vorher"));
    logfile->show();
    QTRY_VERIFY_WITH_TIMEOUT(rig->fakeCommands().size() >= 3, 10000);
    QVERIFY(rig->fakeCommands().count(QStringLiteral("log")) == rig->fakeCommands().size());
    QCOMPARE(logfile->Memo1->toPlainText(), QString());
    QVERIFY(logfile->Timer1->isActive());
    logfile->close();
}

// Between the last try of one attempt and the first of the next lie the CR's pause (0.05 s), the
// second in which the echo alone brings no answer, the window's 0.2 s and the drain (0.1 s).
// Delays only make a gap longer, so the shortest of three stays well below what a further
// second's pause would give.
void TestLogfile::askedAgainAFifthOfASecondLater() {
    const auto rig = WindowRig::onFake();
    QVERIFY(rig->opened());
    Tflogfile *logfile = rig->windows.flogfile;
    logfile->show();
    // Each attempt asks twice; three gaps between attempts need eight questions.
    QTRY_VERIFY_WITH_TIMEOUT(rig->fakeCommands().size() >= 8, 30000);
    logfile->close();

    QList<qint64> starts; // of each question
    QList<qint64> ends;   // its CR (not the one that cleans the line on the opened port)
    QByteArray previous;
    for (const FakeSerialPort::Write &write : rig->device->writes) {
        if (write.bytes.startsWith('l'))
            starts << write.atMs;
        if (write.bytes.endsWith('\r') && previous.endsWith('g'))
            ends << write.atMs;
        previous = write.bytes;
    }
    qint64 shortest = std::numeric_limits<qint64>::max();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const qint64 gap = starts.at(2 * attempt) - ends.at(2 * attempt - 1);
        QVERIFY2(gap >= 1250, qPrintable(QString::number(gap)));
        shortest = std::min(shortest, gap);
    }
    QVERIFY2(shortest < 2300, qPrintable(QString::number(shortest)));
}

void TestLogfile::endlessLogStopsAtDeadline() {
    const auto rig = WindowRig::onFake();
    QVERIFY(rig->opened());
    QList<QByteArray> bursts;
    for (int i = 1; i <= 40; ++i)
        bursts << QByteArray::number(i) + " Eintrag\r\n";
    BurstingLog device(rig->device, "LogFile KT290 (99 Eintr\xE4ge)\r\n0 Eintrag\r\n", bursts,
                       QList<int>(bursts.size(), 100));

    QElapsedTimer clock;
    clock.start();
    fetchInOpenWindow(rig->windows.flogfile);
    const qint64 elapsed = clock.elapsed();

    // The pass under way when the deadline passes is finished.
    QVERIFY2(elapsed >= 2000 && elapsed < 2700, qPrintable(QString::number(elapsed)));
    const QStringList lines = rig->windows.flogfile->Memo1->toPlainText().split(QLatin1Char('\n'));
    QVERIFY2(lines.size() >= 6 && lines.size() < 15, qPrintable(lines.join(QLatin1Char('|'))));
    for (qsizetype i = 0; i < lines.size(); ++i)
        QCOMPARE(lines.at(i), QStringLiteral("%1 Eintrag").arg(i));
}

void TestLogfile::logFromDevice() {
    SimulatorProcess simulator;
    QVERIFY(simulator.start());
    const QString log = QStringLiteral("001 Netz ein|002 Setup geändert|003 Fehler 2|"
                                       "004 Fehler behoben|005 Netz aus|006 Netz ein|007 Setup");
    QVERIFY(simulator.control(QStringLiteral("set log ") + log));
    const auto rig = WindowRig::onPort(simulator.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));

    fetchInOpenWindow(rig->windows.flogfile);

    QCOMPARE(rig->windows.flogfile->Memo1->toPlainText(),
             log.split(QLatin1Char('|')).join(QLatin1Char('\n')));
    QCOMPARE(simulator.commands(), QStringList{"log"});
}

// A real device sends a long log without a pause, as fast as the line carries it: 45 entries,
// over 700 bytes, more than two polls move. Every entry arrives whole, in the log window and in
// the status report.
void TestLogfile::continuousLogFromDevice() {
    SimulatorProcess simulator;
    QVERIFY(simulator.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    QStringList entries;
    for (int i = 1; i <= 45; ++i)
        entries << QStringLiteral("%1 %2")
                       .arg(i, 3, 10, QLatin1Char('0'))
                       .arg(i % 2 ? QStringLiteral("Netz ein") : QStringLiteral("Fehler behoben"));
    QVERIFY(entries.join(QStringLiteral("\r\n")).size() > 700);
    QVERIFY(simulator.control(QStringLiteral("set log ") + entries.join(QLatin1Char('|'))));
    QVERIFY(simulator.control(QStringLiteral("set logstream 1")));
    const auto rig = WindowRig::onPort(simulator.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(false);

    fetchInOpenWindow(rig->windows.flogfile);
    QCOMPARE(rig->windows.flogfile->Memo1->toPlainText().split(QLatin1Char('\n')), entries);

    Tfstatus *status = rig->windows.fstatus;
    status->Timer1Timer();
    const QStringList report = status->memoLines();
    const qsizetype log = report.indexOf(QStringLiteral("LogFile"));
    QVERIFY(log > 0);
    QCOMPARE(report.mid(log + 1, entries.size() + 1),
             entries + QStringList{QStringLiteral("--- KT290 Status Ende ---")});
}

QTEST_MAIN(TestLogfile)
#include "tst_logfile.moc"
