#include "clirun.h"
#include "core/setup/setupfile.h"
#include "simulatedkt290.h"
#include "simulatorprocess.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

// Answers belong to their question, whatever the device does with a line it does not know (the
// empty line that cleans its input line among them): vtk290-cli through its real process against
// a device that leaves such a line unanswered or answers it with "?", at once or as late as its
// other answers.
class TestAnswers : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptyLineAnswers_data();
    void emptyLineAnswers();
    void leftoverInputLine_data();
    void leftoverInputLine();

private:
    // With `delayAfterName`, the device answers late only once it has been asked its name, so
    // that an operation finds it and meets the delay itself.
    CliRun cli(const QStringList &args, const QString &delayAfterName = {});
    QStringList setCommands(qsizetype from) const;

    SimulatorProcess m_device;
    std::unique_ptr<QTemporaryDir> m_dir;
    Cli m_cli;
};

namespace {

const QStringList SetCommandNames{"R1POL", "R2POL", "al1hy",  "al2hy", "druck",
                                  "vpoa",  "vpoe",  "nullpo", "sich",  "swr1"};

// The free-text parts of a status report: name and version, the setup print, the log.
struct ReportParts {
    QString identity;
    QString setupPrint;
    QString log;
    QStringList valueLines;
};

ReportParts reportParts(const QString &report) {
    const QStringList lines = report.split(QLatin1Char('\n'));
    ReportParts parts;
    enum { Before, Identity, Values, Print, Log, After } part = Before;
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("--- KT290 Status Anfang"))) {
            part = Identity;
            continue;
        }
        if (line.startsWith(QLatin1String("Fehler ")))
            part = Values;
        if (line == QLatin1String("LogFile")) {
            part = Log;
            continue;
        }
        if (line.startsWith(QLatin1String("--- KT290 Status Ende")))
            part = After;
        switch (part) {
        case Identity:
            parts.identity += line + QLatin1Char('\n');
            break;
        case Values:
            // The empty line after the potentiometers opens the setup print.
            if (line.isEmpty())
                part = Print;
            else
                parts.valueLines << line;
            break;
        case Print:
            parts.setupPrint += line + QLatin1Char('\n');
            break;
        case Log:
            parts.log += line + QLatin1Char('\n');
            break;
        default:
            break;
        }
    }
    return parts;
}

// A part is whole: as the reference has it, or empty.
bool wholeOrEmpty(const QString &seen, const QString &expected) {
    return seen.trimmed().isEmpty() || seen == expected;
}

} // namespace

void TestAnswers::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(m_device.start({}));
    for (const char *line : simulated::DeviceValues)
        QVERIFY(m_device.control(QLatin1String(line)));
    m_cli.env = QProcessEnvironment::systemEnvironment();
    m_cli.timeoutMs = 240000;
    m_cli.env.insert(QStringLiteral("VTK290_PORTS"), m_device.portPath());
    for (const char *home : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        m_cli.env.insert(QLatin1String(home), m_dir->filePath(QLatin1String(home)));
}

void TestAnswers::cleanup() {
    m_device.stop();
}

CliRun TestAnswers::cli(const QStringList &args, const QString &delayAfterName) {
    const qsizetype before = m_device.commands().size();
    bool delayed = delayAfterName.isEmpty();
    return m_cli.run(
        args,
        [&] {
            if (!delayed && m_device.commands().mid(before).contains(QStringLiteral("Name")))
                delayed = m_device.control(delayAfterName);
        },
        10);
}

QStringList TestAnswers::setCommands(qsizetype from) const {
    QStringList sets;
    for (const QString &command : m_device.commands().mid(from))
        if (SetCommandNames.contains(command.section(QLatin1Char(' '), 0, 0)))
            sets << command;
    return sets;
}

void TestAnswers::emptyLineAnswers_data() {
    QTest::addColumn<QString>("unknown"); // the device's answer to a line it does not know
    QTest::addColumn<int>("delayMs");     // of every answer after the line's CR
    QTest::addColumn<QString>("operation");
    struct Device {
        const char *unknown;
        int delayMs;
    };
    // "?" late at 0 s is "?" at once; at 1.3 s every question waits out both attempts, and the
    // device found first at the normal pace: "?" at once is drained there like at 0.5 s.
    const Device devices[] = {{"none", 0},    {"now", 0},    {"none", 500}, {"now", 500},
                              {"late", 500},  {"none", 900}, {"now", 900},  {"late", 900},
                              {"none", 1300}, {"late", 1300}};
    // Another text than "?" is told apart only by the order of the answers: the first question
    // after the cleaning CR, the scan's.
    for (const int delayMs : {500, 900}) {
        QTest::addRow("late Unbekannt %.1f s scan", delayMs / 1000.0)
            << "late Unbekannt" << delayMs << "scan";
    }
    for (const Device &device : devices) {
        for (const char *operation : {"scan", "readout", "report", "setup get", "setup put"}) {
            QTest::addRow("%s %.1f s %s", device.unknown, device.delayMs / 1000.0, operation)
                << QString::fromLatin1(device.unknown) << device.delayMs
                << QString::fromLatin1(operation);
        }
    }
}

// Up to 0.9 s every value is read right; later ones give empty fields or whole empty parts,
// never another question's answer.
void TestAnswers::emptyLineAnswers() {
    QFETCH(QString, unknown);
    QFETCH(int, delayMs);
    QFETCH(QString, operation);
    const bool allRight = delayMs < 1000;
    const QString delay =
        delayMs > 0 ? QStringLiteral("fault late %1").arg(delayMs) : QStringLiteral("fault none");
    QVERIFY(m_device.control(QStringLiteral("unknown ") + unknown));
    // Beyond the scan's wait the device is found at the normal pace, then answers late.
    const bool delayWhileFound = allRight || operation == QLatin1String("scan");
    const auto late = [&](const QStringList &args) {
        if (delayWhileFound) {
            if (!m_device.control(delay))
                return CliRun{};
            return cli(args);
        }
        return cli(args, delay);
    };

    if (operation == QLatin1String("scan")) {
        const CliRun reference = cli({QStringLiteral("scan")});
        QCOMPARE(reference.code, 0);
        const CliRun seen = late({QStringLiteral("scan")});
        QVERIFY2(!seen.err.contains(QLatin1String("anderes Gerät")), qPrintable(seen.err));
        if (allRight || seen.code != 3) {
            QCOMPARE(seen.code, 0);
            QCOMPARE(seen.out, reference.out);
        }
    } else if (operation == QLatin1String("readout")) {
        const QStringList args{QStringLiteral("readout"), QStringLiteral("--json")};
        const CliRun reference = cli(args);
        QCOMPARE(reference.code, 0);
        const QJsonObject expected = QJsonDocument::fromJson(reference.out.toUtf8()).object();
        const CliRun seen = late(args);
        const QJsonObject values = QJsonDocument::fromJson(seen.out.toUtf8()).object();
        if (allRight) {
            QCOMPARE(seen.code, 0);
            QCOMPARE(values, expected);
            return;
        }
        QCOMPARE(values.keys(), expected.keys());
        // Without an answer to "inpmv" the type is worked out from "p0", as for the older models.
        for (const QString &key : expected.keys())
            QVERIFY2(key == QLatin1String("type") || values.value(key).isNull() ||
                         values.value(key) == expected.value(key),
                     qPrintable(key + QLatin1String(": ") + seen.out));
    } else if (operation == QLatin1String("report")) {
        const CliRun reference = cli({QStringLiteral("report")});
        QCOMPARE(reference.code, 0);
        const CliRun seen = late({QStringLiteral("report")});
        if (allRight) {
            QCOMPARE(seen.code, 0);
            QCOMPARE(seen.out.split(QLatin1Char('\n')), reference.out.split(QLatin1Char('\n')));
            return;
        }
        const ReportParts expected = reportParts(reference.out);
        const ReportParts parts = reportParts(seen.out);
        QVERIFY2(wholeOrEmpty(parts.identity, expected.identity), qPrintable(seen.out));
        QVERIFY2(wholeOrEmpty(parts.setupPrint, expected.setupPrint), qPrintable(seen.out));
        QVERIFY2(wholeOrEmpty(parts.log, expected.log), qPrintable(seen.out));
        // A value line is the reference's, or its label without the value; an error code that
        // went unanswered reads as none.
        for (const QString &line : parts.valueLines) {
            bool known = expected.valueLines.contains(line) ||
                         line == QLatin1String("Fehler  0: kein Fehler ");
            for (const QString &full : expected.valueLines)
                known = known ||
                        (!line.trimmed().isEmpty() && full.trimmed().startsWith(line.trimmed()));
            QVERIFY2(known, qPrintable(line + QLatin1String("\n") + seen.out));
        }
    } else if (operation == QLatin1String("setup get")) {
        const QString path = m_dir->filePath(QStringLiteral("geraet.txt"));
        const CliRun seen = late({QStringLiteral("setup"), QStringLiteral("get"), path});
        if (!allRight && seen.code != 0) {
            QVERIFY(!QFile::exists(path));
            return;
        }
        QCOMPARE(seen.code, 0);
        const SetupFile::Loaded loaded = SetupFile::load(path);
        QCOMPARE(loaded.error, QString());
        QStringList expected = SetupFile::lines(simulated::deviceSetup(), QDateTime());
        QStringList written = loaded.text.split(QStringLiteral("\r\n"));
        QCOMPARE(written.takeLast(), QString());
        written.removeAt(1); // the time it was saved
        expected.removeAt(1);
        QCOMPARE(written, expected);
    } else {
        const QString path = m_dir->filePath(QStringLiteral("neu.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(SetupFile::encode(
            SetupFile::lines(simulated::twoFieldsChanged(), QDateTime::currentDateTime())));
        file.close();
        const qsizetype before = m_device.commands().size();
        const CliRun seen = late({QStringLiteral("setup"), QStringLiteral("put"), path});
        // The whole setup goes out, through "swr1", or nothing when the device could not be read.
        const QStringList written = setCommands(before);
        if (allRight) {
            QCOMPARE(seen.code, 0);
            QVERIFY(!written.isEmpty());
        }
        if (!written.isEmpty()) {
            QCOMPARE(written.size(), SetCommandNames.size());
            QCOMPARE(written.last(), QStringLiteral("swr1"));
            QVERIFY2(written.contains(QStringLiteral("al1hy 1.0")) &&
                         written.contains(QStringLiteral("druck -1")),
                     qPrintable(written.join(", ")));
        }
        // At the normal pace: the device holds the file, or its own setup when nothing was written.
        QVERIFY(m_device.control(QStringLiteral("fault none")));
        const CliRun diff = cli({QStringLiteral("setup"), QStringLiteral("diff"), path});
        QCOMPARE(diff.code, written.isEmpty() ? 1 : 0);
    }
}

void TestAnswers::leftoverInputLine_data() {
    QTest::addColumn<QString>("unknown");
    QTest::newRow("left unanswered") << "none";
    QTest::newRow("answered with ? late") << "late";
}

// Another program left characters in the device's input line: the first question still reaches
// the device whole, and the answer to the line they make is nobody's.
void TestAnswers::leftoverInputLine() {
    QFETCH(QString, unknown);
    const QStringList args{QStringLiteral("readout"), QStringLiteral("--json")};
    const CliRun reference = cli(args);
    QCOMPARE(reference.code, 0);
    QVERIFY(m_device.control(QStringLiteral("unknown ") + unknown));
    QVERIFY(m_device.control(QStringLiteral("fault late 500")));
    {
        QSerialPort other(m_device.portPath());
        QVERIFY(other.open(QIODevice::ReadWrite));
        other.write("xy");
        QVERIFY(other.waitForBytesWritten(1000));
        QTest::qWait(200);
    }
    const qsizetype before = m_device.commands().size();
    const CliRun seen = cli(args);
    QCOMPARE(seen.code, 0);
    QCOMPARE(seen.out, reference.out);
    const QStringList commands = m_device.commands().mid(before);
    QVERIFY(commands.size() >= 2);
    QCOMPARE(commands.at(0), QStringLiteral("xy"));
    QCOMPARE(commands.at(1), QStringLiteral("Name"));
    for (const QString &command : commands.mid(1))
        QVERIFY2(isWholeCommand(command), qPrintable(command));
}

QTEST_GUILESS_MAIN(TestAnswers)
#include "tst_answers.moc"
