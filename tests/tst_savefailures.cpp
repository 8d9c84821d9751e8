#include "clirun.h"
#include "core/setup/setupfile.h"
#include "core/system/filewriter.h"
#include "gui/diag/servicerecord.h"
#include "gui/diag/ustatus.h"
#include "gui/main/fmain1.h"
#include "gui/setup/setupactions.h"
#include "simulatedkt290.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// A save that fails is said and claims nothing: every save of both programs onto a full disk and
// onto a write-protected one leaves the old file as it was, no new file, and a message naming
// the file and the reason; a backup that cannot be made keeps the device from being written;
// a result that standard output does not take ends the command with an error.
class TestSaveFailures : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void saveFails_data();
    void saveFails();
    void standardOutputFails_data();
    void standardOutputFails();

private:
    CliRun cli(const QStringList &args, const QString &dataHome,
               const QString &standardOutput = {});
    QStringList setCommands() const;
    bool mountDisk();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_disk; // a small disk of its own, mounted for the test
    SimulatorProcess m_device;
};

namespace {

const QByteArray OldContent("der alte Inhalt, der bleiben muss\r\n");
const QString Full = QStringLiteral("full");
const QString ReadOnly = QStringLiteral("read-only");
const QStringList SetCommandNames{"R1POL", "R2POL", "al1hy",  "al2hy", "druck",
                                  "vpoa",  "vpoe",  "nullpo", "sich",  "swr1"};

bool run(const QString &program, const QStringList &args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// Writes into the disk until it takes nothing more.
bool fill(const QString &disk) {
    QFile filler(disk + QStringLiteral("/füllung"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size()) {
    }
    return true;
}

QString setupFile(const QString &path) {
    const QByteArray bytes =
        SetupFile::encode(SetupFile::lines(simulated::twoFieldsChanged(), QDateTime()));
    return writeFile(path, bytes) ? path : QString();
}

} // namespace

void TestSaveFailures::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_disk = m_dir->filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(m_disk));
    QVERIFY(m_device.start({}));
    for (const char *line : simulated::DeviceValues)
        QVERIFY(m_device.control(QLatin1String(line)));
}

void TestSaveFailures::cleanup() {
    m_device.stop();
    run(QStringLiteral("umount"), {QStringLiteral("-l"), m_disk});
}

// A 64 KiB disk of the test's own. Mounting needs root, as CI has; elsewhere the test fails
// rather than pass without having tried.
bool TestSaveFailures::mountDisk() {
    return run(QStringLiteral("mount"),
               {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                QStringLiteral("size=64k"), QStringLiteral("vtk290-test"), m_disk});
}

CliRun TestSaveFailures::cli(const QStringList &args, const QString &dataHome,
                             const QString &standardOutput) {
    Cli cli;
    cli.env.insert(QStringLiteral("VTK290_PORTS"), m_device.portPath());
    cli.env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    cli.standardOutputFile = standardOutput;
    return cli.run(args);
}

QStringList TestSaveFailures::setCommands() const {
    QStringList sets;
    for (const QString &command : m_device.commands()) {
        if (SetCommandNames.contains(command.section(QLatin1Char(' '), 0, 0)))
            sets << command;
    }
    return sets;
}

void TestSaveFailures::saveFails_data() {
    QTest::addColumn<QString>("save");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    const QStringList saves{"setup get",
                            "report -o",
                            "log -o",
                            "backup before setup put",
                            "window: setup file",
                            "window: report text",
                            "window: record PDF"};
    for (const QString &save : saves) {
        QTest::addRow("%s, full disk", qPrintable(save))
            << save << Full << QStringLiteral("kein Platz mehr auf dem Datenträger");
        QTest::addRow("%s, write-protected disk", qPrintable(save))
            << save << ReadOnly << QStringLiteral("schreibgeschützt");
    }
}

void TestSaveFailures::saveFails() {
    QFETCH(QString, save);
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QVERIFY2(mountDisk(), "a small tmpfs could not be mounted (this test needs root)");

    // The old file and the backup folder, made while the disk still takes them.
    const QString folder = m_disk + QStringLiteral("/ablage");
    const QString dataHome = m_disk + QStringLiteral("/daten");
    const QString backups = dataHome + QStringLiteral("/vtk290/backups");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir().mkpath(backups));
    const QString ext =
        save.endsWith(QLatin1String("PDF")) ? QStringLiteral(".pdf") : QStringLiteral(".txt");
    const QString target = folder + QStringLiteral("/ziel") + ext;
    QVERIFY(writeFile(target, OldContent));
    const QString setupPath = setupFile(m_dir->filePath(QStringLiteral("neu.txt")));
    QVERIFY(!setupPath.isEmpty());
    if (fault == Full)
        QVERIFY(fill(m_disk));
    else
        QVERIFY(run(QStringLiteral("mount"),
                    {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_disk}));

    QString said;
    if (save.startsWith(QLatin1String("window"))) {
        const auto rig = WindowRig::onFake();
        MessageBoxCatcher boxes;
        if (save.endsWith(QLatin1String("setup file"))) {
            rig->windows.setupActions->chooseFile = [&](QFileDialog *) {
                return target;
            };
            rig->windows.form1->BitBtnSaveClick();
        } else {
            Tfstatus *status = rig->windows.fstatus;
            status->Memo1->setPlainText(QStringLiteral("Bericht"));
            status->setSaveFileNameChooser([&] { return target; });
            status->setRecordFormChooser(
                [](const ServiceRecordForm &form) { return std::optional(form); });
            // The old record is to be replaced: the failure comes with the writing.
            status->setReplaceConfirmer([](const QString &) { return true; });
            // Without a device the record is made at once, its values said to be missing.
            rig->device->pullPlug();
            status->Speichernunter1Click();
            // The report stays for a save elsewhere.
            QCOMPARE(status->Memo1->toPlainText(), QStringLiteral("Bericht"));
        }
        QCOMPARE(boxes.texts.size(), 1);
        said = boxes.texts.first();
    } else {
        CliRun result;
        if (save == QLatin1String("setup get"))
            result = cli({QStringLiteral("setup"), QStringLiteral("get"), target}, dataHome);
        else if (save == QLatin1String("report -o"))
            result = cli({QStringLiteral("report"), QStringLiteral("-o"), target}, dataHome);
        else if (save == QLatin1String("log -o"))
            result = cli({QStringLiteral("log"), QStringLiteral("-o"), target}, dataHome);
        else
            result = cli({QStringLiteral("setup"), QStringLiteral("put"), setupPath}, dataHome);
        QCOMPARE(result.code, 5);
        said = result.err;
        if (save.startsWith(QLatin1String("backup"))) {
            QVERIFY2(said.contains(QStringLiteral("Sicherung")), qPrintable(said));
            QCOMPARE(setCommands(), QStringList());
        }
    }
    const QString named = save.startsWith(QLatin1String("backup")) ? backups : target;
    QVERIFY2(said.contains(QDir::toNativeSeparators(named)), qPrintable(said));
    QVERIFY2(said.contains(reason), qPrintable(said));

    // Nothing claimed: the old file as it was, no other file beside it, no backup.
    QFile old(target);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), OldContent);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"ziel" + ext});
    QCOMPARE(QDir(backups).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestSaveFailures::standardOutputFails_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("readout --json") << QStringList{"readout", "--json"};
    QTest::newRow("report") << QStringList{"report"};
    QTest::newRow("backups") << QStringList{"backups"};
    QTest::newRow("setup put") << QStringList{"setup", "put", "NEU"};
    QTest::newRow("--help") << QStringList{"--help"};
}

// /dev/full takes nothing: the command ends with 5 and says so; a write whose differences were
// not shown is not made.
void TestSaveFailures::standardOutputFails() {
    QFETCH(QStringList, args);
    const QString dataHome = m_dir->filePath(QStringLiteral("daten"));
    const QString backups = dataHome + QStringLiteral("/vtk290/backups");
    QVERIFY(QDir().mkpath(backups));
    QVERIFY(!setupFile(backups + QStringLiteral("/KT290-0042-20260101-120000.txt")).isEmpty());
    args.replaceInStrings(QStringLiteral("NEU"), setupFile(m_dir->filePath("neu.txt")));

    const CliRun result = cli(args, dataHome, QStringLiteral("/dev/full"));
    QCOMPARE(result.code, 5);
    QVERIFY2(result.err.contains(QStringLiteral(
                 "nicht vollständig auf die Standardausgabe geschrieben: kein Platz mehr auf dem "
                 "Datenträger")),
             qPrintable(result.err));
    QCOMPARE(setCommands(), QStringList());
}

QTEST_MAIN(TestSaveFailures)
#include "tst_savefailures.moc"
