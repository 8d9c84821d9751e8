#include "clirun.h"
#include "core/history/historystore.h"
#include "core/setup/setupfile.h"
#include "gui/history/uhistory.h"
#include "simulatedkt290.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

// The device history's store: visits and their events kept across openings, its schema version,
// and the faults it must survive without losing what it holds: a damaged file, a full disk, the
// other program holding the file, a program killed while it writes.
class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void visitsKept();
    void schemaVersion_data();
    void schemaVersion();
    void damagedFileMovedAside();
    void fullDisk();
    void lockedByOther();
    void killedWhileWriting();
    void visitsThroughTheCommandLine();
    void backupsTakenInOnce();
    void window();

private:
    QString m_file;
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QDateTime Start(QDate(2026, 3, 2), QTime(9, 15, 0));

// Runs SQL on the file through a connection of its own, as the other program would.
QVariant sql(const QString &file, const QString &statement) {
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("x"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(statement) && query.next())
                result = query.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("x"));
    return result;
}

bool run(const QString &program, const QStringList &args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

void TestHistory::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("history.sqlite"));
}

void TestHistory::cleanup() {
    run(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir->filePath(QStringLiteral("disk"))});
}

void TestHistory::visitsKept() {
    {
        HistoryStore store(m_file);
        QVERIFY2(store.open(), qPrintable(store.problem()));
        const auto first = store.beginVisit("0042", "KT 290.X1", "COM1", Start);
        QVERIFY(first);
        QVERIFY(store.record(*first, "readout", {{"input", 0.705}}, Start.addSecs(2)));
        QVERIFY(store.endVisit(*first, Start.addSecs(60)));
        const auto other = store.beginVisit("0077", "KT 290.X2", "COM2", Start.addDays(1));
        QVERIFY(other);
        const auto second = store.beginVisit("0042", "KT 290.X1", "COM3", Start.addDays(2));
        QVERIFY(second);
        QVERIFY(store.record(*second, "setupWrite", {{"sent", 9}, {"total", 9}},
                             Start.addDays(2).addSecs(5)));
    }
    // Opened again, by the other program as well.
    HistoryStore store(m_file);
    QVERIFY(store.open());
    const QList<HistoryStore::Device> devices = store.devices();
    QCOMPARE(devices.size(), 2);
    QCOMPARE(devices[0].serialNumber, QStringLiteral("0042"));
    QCOMPARE(devices[0].visits, 2);
    QCOMPARE(devices[0].lastSeen, Start.addDays(2));
    QCOMPARE(devices[1].typeText, QStringLiteral("KT 290.X2"));

    const QList<HistoryStore::Visit> visits = store.visits("0042");
    QCOMPARE(visits.size(), 2);
    QCOMPARE(visits[0].port, QStringLiteral("COM1"));
    QCOMPARE(visits[0].ended, Start.addSecs(60));
    QCOMPARE(visits[0].events.size(), 1);
    QCOMPARE(visits[0].events[0].kind, QStringLiteral("readout"));
    QCOMPARE(visits[0].events[0].data.value("input").toDouble(), 0.705);
    QVERIFY(!visits[1].ended.isValid()); // never ended: the program was killed, say
    QCOMPARE(visits[1].events[0].data.value("sent").toInt(), 9);
    QCOMPARE(store.visits("0077").size(), 1);
    QVERIFY(store.problem().isEmpty());
}

void TestHistory::schemaVersion_data() {
    QTest::addColumn<int>("version"); // of the file found
    QTest::addColumn<bool>("opens");
    QTest::newRow("no file") << -1 << true;
    QTest::newRow("an empty file of an older program") << 0 << true;
    QTest::newRow("this version") << HistoryStore::SchemaVersion << true;
    QTest::newRow("a newer version") << HistoryStore::SchemaVersion + 1 << false;
}

// Older files are migrated to this version; a newer one is left as it is.
void TestHistory::schemaVersion() {
    QFETCH(int, version);
    QFETCH(bool, opens);
    if (version == HistoryStore::SchemaVersion) {
        HistoryStore made(m_file);
        QVERIFY(made.open());
    } else if (version >= 0) {
        sql(m_file, QStringLiteral("PRAGMA user_version=%1").arg(version));
    }
    const QByteArray before = version > HistoryStore::SchemaVersion ? [&] {
        QFile file(m_file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }() : QByteArray();

    HistoryStore store(m_file);
    QCOMPARE(store.open(), opens);
    QCOMPARE(sql(m_file, QStringLiteral("PRAGMA user_version")).toInt(),
             opens ? HistoryStore::SchemaVersion : version);
    if (opens) {
        QVERIFY(store.beginVisit("0042", "KT 290.X1", "COM1", Start));
        QVERIFY(store.problem().isEmpty());
    } else {
        QVERIFY2(store.problem().contains(QStringLiteral("neueren Version")),
                 qPrintable(store.problem()));
        QVERIFY(!store.beginVisit("0042", "KT 290.X1", "COM1", Start));
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
}

// A damaged file keeps its bytes under another name; a new history is made and said.
void TestHistory::damagedFileMovedAside() {
    const QByteArray garbage = QByteArray("SQLite format 3") + QByteArray(4000, '\x5a');
    {
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    HistoryStore store(m_file);
    QVERIFY2(store.open(), qPrintable(store.problem()));
    QVERIFY2(store.notice().contains(QStringLiteral("beschädigt")), qPrintable(store.notice()));
    const QStringList aside =
        QDir(m_dir->path()).entryList({QStringLiteral("history-beschaedigt-*.sqlite")});
    QCOMPARE(aside.size(), 1);
    QVERIFY(store.notice().contains(aside.first()));
    QFile kept(m_dir->filePath(aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), garbage);
    QVERIFY(store.beginVisit("0042", "KT 290.X1", "COM1", Start));
}

// A disk that takes nothing more: the event is refused and said once, in German; what the
// history held before is still there.
void TestHistory::fullDisk() {
    const QString disk = m_dir->filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(disk));
    QVERIFY2(run(QStringLiteral("mount"),
                 {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                  QStringLiteral("size=256k"), QStringLiteral("vtk290-test"), disk}),
             "a small tmpfs could not be mounted (this test needs root)");
    const QString file = disk + QStringLiteral("/history.sqlite");
    HistoryStore store(file);
    QVERIFY(store.open());
    const auto visit = store.beginVisit("0042", "KT 290.X1", "COM1", Start);
    QVERIFY(visit);
    QVERIFY(store.record(*visit, "readout", {{"input", 1.0}}, Start));
    {
        QFile filler(disk + QStringLiteral("/füllung"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    const QString big(20000, QLatin1Char('x'));
    bool refused = false;
    for (int i = 0; i < 20 && !refused; ++i)
        refused = !store.record(*visit, "report", {{"text", big}}, Start.addSecs(i));
    QVERIFY(refused);
    QVERIFY2(store.problem().contains(QStringLiteral("kein Platz mehr auf dem Datenträger")),
             qPrintable(store.problem()));
    QFile::remove(disk + QStringLiteral("/füllung"));
    HistoryStore again(file);
    QVERIFY(again.open());
    QCOMPARE(sql(file, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    const QList<HistoryStore::Visit> visits = again.visits("0042");
    QCOMPARE(visits.size(), 1);
    QCOMPARE(visits[0].events.first().kind, QStringLiteral("readout"));
}

// The other program holds the file: a write waits a few seconds for it, then gives up and says
// so; the next write after the other let go goes through.
void TestHistory::lockedByOther() {
    HistoryStore store(m_file);
    QVERIFY(store.open());
    const auto visit = store.beginVisit("0042", "KT 290.X1", "COM1", Start);
    QVERIFY(visit);
    {
        QSqlDatabase other =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(m_file);
        QVERIFY(other.open());
        QSqlQuery hold(other);
        QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!store.record(*visit, "readout", {}, Start));
        QVERIFY(waited.elapsed() >= HistoryStore::BusyTimeoutMs - 100);
        QVERIFY2(store.problem().contains(QStringLiteral("gesperrt")), qPrintable(store.problem()));
        QVERIFY(hold.exec(QStringLiteral("COMMIT")));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    QVERIFY(store.record(*visit, "readout", {}, Start));
}

// A writer killed at any moment leaves a consistent file with every event it had committed.
void TestHistory::killedWhileWriting() {
    QProcess writer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VTK290_HISTORY_WRITER"), m_file);
    writer.setProcessEnvironment(env);
    writer.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(writer.waitForStarted());
    QByteArray committed;
    QDeadlineTimer deadline(20000);
    while (committed.count('\n') < 300 && !deadline.hasExpired() && writer.waitForReadyRead(5000))
        committed += writer.readAllStandardOutput();
    writer.kill();
    writer.waitForFinished();
    committed += writer.readAllStandardOutput();
    const QList<QByteArray> lines = committed.split('\n');
    const int last = lines.size() >= 2 ? lines[lines.size() - 2].toInt() : 0;
    QVERIFY2(last >= 300, committed.right(200).constData());

    QCOMPARE(sql(m_file, QStringLiteral("PRAGMA integrity_check")).toString(),
             QStringLiteral("ok"));
    HistoryStore store(m_file);
    QVERIFY(store.open());
    const QList<HistoryStore::Visit> visits = store.visits("0042");
    QCOMPARE(visits.size(), 1);
    QVERIFY2(visits[0].events.size() >= last,
             qPrintable(QStringLiteral("%1 < %2").arg(visits[0].events.size()).arg(last)));
    for (int i = 0; i < last; ++i)
        QCOMPARE(visits[0].events[i].data.value("n").toInt(), i + 1);
}

// Three runs of vtk290-cli against the simulator, the output changed and a setup written in
// between: three visits of one device, the setup as found and as left, the values of each.
void TestHistory::visitsThroughTheCommandLine() {
    SimulatorProcess device;
    QVERIFY(device.start({}));
    for (const char *line : simulated::DeviceValues)
        QVERIFY(device.control(QLatin1String(line)));
    const QString setupPath = m_dir->filePath(QStringLiteral("neu.txt"));
    QFile setupFile(setupPath);
    QVERIFY(setupFile.open(QIODevice::WriteOnly));
    setupFile.write(SetupFile::encode(SetupFile::lines(simulated::twoFieldsChanged(), {})));
    setupFile.close();
    Cli program;
    program.env.insert(QStringLiteral("VTK290_PORTS"), device.portPath());
    program.env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("daten")));
    const auto cli = [&](const QStringList &args) {
        const CliRun run = program.run(args);
        return run.code == 0 ? std::optional(run.out.toUtf8()) : std::nullopt;
    };
    const auto json = [&](const QStringList &args) {
        return QJsonDocument::fromJson(cli(args).value_or(QByteArray())).array();
    };

    QVERIFY(cli({"readout"}));
    QVERIFY(device.control(QStringLiteral("set mas 14.25")));
    QVERIFY(cli({"setup", "put", setupPath}));
    QVERIFY(cli({"readout"}));

    const QJsonArray devices = json({"history", "--json"});
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0]["serialNumber"].toString(), QStringLiteral("0042"));
    QCOMPARE(devices[0]["visits"].toInt(), 3);
    const QJsonArray visits = json({"history", "0042", "--json"});
    QCOMPARE(visits.size(), 3);
    const auto events = [&](int visit) {
        QStringList kinds;
        for (const QJsonValue &event : visits[visit]["events"].toArray())
            kinds << event["kind"].toString();
        return kinds;
    };
    QCOMPARE(events(0), QStringList{"readout"});
    QCOMPARE(events(1), (QStringList{"setupRead", "setupWrite"}));
    QCOMPARE(events(2), QStringList{"readout"});
    QCOMPARE(visits[0]["events"][0]["data"]["output"].toDouble(), 12.5);
    QCOMPARE(visits[2]["events"][0]["data"]["output"].toDouble(), 14.25);
    for (const QJsonValue &visit : visits)
        QVERIFY(!visit["ended"].isNull());

    // As found and as left: the two fields the file changes, and the whole write stored.
    const QJsonObject write = visits[1]["events"][1]["data"].toObject();
    QCOMPARE(write["sent"].toInt(), write["total"].toInt());
    QVERIFY(write["stored"].toBool());
    QVERIFY(QFileInfo::exists(write["backup"].toString()));
    const QJsonArray before = write["before"].toArray();
    const QJsonArray after = write["after"].toArray();
    QCOMPARE(before.size(), after.size());
    QStringList changed;
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before[i] != after[i])
            changed << before[i][0].toString();
    }
    QCOMPARE(changed, (QStringList{"Hysterese Relais 1 / SP1", "Funktion (Zug/Druck)"}));
    QCOMPARE(visits[1]["events"][0]["data"]["setup"].toArray(), before);
}

// The backups made before there was a history become visits, once.
void TestHistory::backupsTakenInOnce() {
    const QString dataHome = m_dir->filePath(QStringLiteral("daten"));
    const QString backups = dataHome + QStringLiteral("/vtk290/backups");
    QVERIFY(QDir().mkpath(backups));
    QStringList lines = SetupFile::lines(simulated::deviceSetup(), {});
    lines << QStringLiteral(" Gerätetyp       : KT 290.X1");
    for (const char *name : {"KT290-0042-20250101-120000.txt", "KT290-0042-20250301-080000.txt"}) {
        QFile file(backups + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(SetupFile::encode(lines));
    }
    Cli program;
    program.timeoutMs = 30000;
    program.env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    const auto history = [&](const QStringList &args) {
        const CliRun run = program.run(QStringList{"history", "--json"} + args);
        return QJsonDocument::fromJson(run.out.toUtf8()).array();
    };
    for (int start = 0; start < 2; ++start) {
        const QJsonArray devices = history({});
        QCOMPARE(devices.size(), 1);
        QCOMPARE(devices[0]["type"].toString(), QStringLiteral("KT 290.X1"));
        QCOMPARE(devices[0]["visits"].toInt(), 2);
    }
    const QJsonArray visits = history({"0042"});
    QCOMPARE(visits.size(), 2);
    QCOMPARE(visits[0]["begun"].toString(), QStringLiteral("2025-01-01T12:00:00"));
    QCOMPARE(visits[0]["events"][0]["kind"].toString(), QStringLiteral("backup"));
    QCOMPARE(visits[0]["events"][0]["data"]["setup"].toArray().first()[0].toString(),
             QStringLiteral("Relais 1 oberhalb SP1"));
}

// "Gerätehistorie": the devices, a device's visits the newest first, the setup differences
// between two chosen visits, and the chosen value over the visits.
void TestHistory::window() {
    HistoryStore store(m_file);
    QVERIFY(store.open());
    const auto setup = [](const char *hysteresis) {
        return QJsonArray{QJsonArray{"Hysterese Relais 1 / SP1", hysteresis},
                          QJsonArray{"Sicherheitsmodus", "aus"}};
    };
    const double outputs[] = {12.02, 12.11, 12.31};
    for (int i = 0; i < 3; ++i) {
        const auto visit = store.beginVisit("0042", "KT 290.X2", "COM1", Start.addDays(100 * i));
        QVERIFY(visit);
        QVERIFY(store.record(*visit, "readout", {{"output", outputs[i]}, {"input", 4.0 + i}},
                             Start.addDays(100 * i)));
        QVERIFY(store.record(*visit, "setupRead", {{"setup", setup(i == 0 ? "0,0 mA" : "0,5 mA")}},
                             Start.addDays(100 * i)));
    }
    // A write cut off in the last visit: the device kept the setup as found.
    const auto last = store.visits("0042").last().id;
    QVERIFY(store.record(last, "setupWrite",
                         {{"after", setup("2,0 mA")}, {"sent", 1}, {"total", 6}, {"stored", false}},
                         Start.addDays(200)));
    QVERIFY(store.beginVisit("0077", "KT 290.X1", "COM2", Start.addDays(1)));

    TfHistory history(store);
    QCOMPARE(history.GridDevices->rowCount(), 2);
    QCOMPARE(history.GridDevices->item(0, 0)->text(), QStringLiteral("0042"));
    QCOMPARE(history.GridDevices->item(0, 3)->text(), QStringLiteral("3"));
    QCOMPARE(history.GridVisits->rowCount(), 3);
    QCOMPARE(history.GridVisits->item(0, 4)->text(), QStringLiteral("12,31mA"));
    QVERIFY(history.GridVisits->item(0, 5)->text().contains(
        QStringLiteral("Setup unterbrochen nach 1 von 6")));

    // The last visit against the one before: the same setup; against the first: the hysteresis.
    QCOMPARE(history.GridDifferences->rowCount(), 1);
    QCOMPARE(history.GridDifferences->item(0, 0)->text(),
             QStringLiteral("Das Setup ist bei beiden Besuchen gleich."));
    history.ComboBoxVisitA->setCurrentIndex(2);
    QCOMPARE(history.GridDifferences->rowCount(), 1);
    QCOMPARE(history.GridDifferences->item(0, 0)->text(),
             QStringLiteral("Hysterese Relais 1 / SP1"));
    QCOMPARE(history.GridDifferences->item(0, 1)->text(), QStringLiteral("0,0 mA"));
    QCOMPARE(history.GridDifferences->item(0, 2)->text(), QStringLiteral("0,5 mA"));

    history.ComboBoxValue->setCurrentIndex(1); // Ausgang
    QList<qreal> values;
    for (const QPointF &point : history.driftPoints())
        values << point.y();
    QCOMPARE(values, (QList<qreal>{12.02, 12.11, 12.31}));
    history.GridDevices->setCurrentCell(1, 0);
    QCOMPARE(history.GridVisits->rowCount(), 1);
    QVERIFY(history.driftPoints().isEmpty());
}

// The writer that killedWhileWriting kills: events without end, each number printed once it is
// committed.
int writeUntilKilled(const QString &file) {
    HistoryStore store(file);
    if (!store.open())
        return 1;
    const auto visit = store.beginVisit("0042", "KT 290.X1", "COM1", Start);
    for (int n = 1; visit; ++n) {
        if (!store.record(*visit, "readout", {{"n", n}, {"text", QString(500, 'x')}}, Start))
            return 1;
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 1;
}

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (const QString file = qEnvironmentVariable("VTK290_HISTORY_WRITER"); !file.isEmpty())
        return writeUntilKilled(file);
    TestHistory test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
