#include "clirun.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/setup/setuptransfer.h"
#include "core/system/filewriter.h"
#include "gui/setup/setupactions.h"
#include "gui/setup/ueinst.h"
#include "gui/setup/urelais.h"
#include "setupstate.h"
#include "simulatedkt290.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// vtk290-cli as a user runs it, against the simulator; and the backup and comparison before the
// main window writes a setup.
class TestCli : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void scan();
    void readoutJson();
    void readoutMatchesWindow_data();
    void readoutMatchesWindow();
    void report();
    void log();
    void setupGetThenPutSame();
    void setupDiffAndPut_data();
    void setupDiffAndPut();
    void exitCodes_data();
    void exitCodes();
    void callsWithoutDevice_data();
    void callsWithoutDevice();
    void scanAll();
    void backupsAndRestore();
    void trace();
    void windowWriteMakesBackup();
    void windowFailedBackupAsks();
    void windowCompareBeforeWrite();

private:
    CliRun cli(const QStringList &args, const std::function<void()> &whileRunning = {});
    QStringList setCommands() const;
    QString writeSetupFile(const QString &name, const SetupFields &fields);
    QStringList backups() const;
    // A main window connected to the simulator; the remembered comparison choice is forgotten
    // unless `keepSettings`.
    void openWindow(bool keepSettings = false);
    void clickAnswering(QPushButton *button, QMessageBox::StandardButton answer);

    SimulatorProcess m_device;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dataHome;
    Cli m_cli;
    std::unique_ptr<WindowRig> m_rig;
    Tform1 *m_form = nullptr;
    QStringList m_boxes;
    QList<QStringList> m_boxButtons; // each box's buttons, then its default
};

namespace {

using simulated::deviceSetup;
using simulated::DeviceValues;
using simulated::twoFieldsChanged;

// Only the zero potentiometer differs from the device: "-0,25 … +0,75 mV/V", centre 0.25.
SetupFields zeroPotiChanged() {
    SetupFields fields = deviceSetup();
    fields.zeroIndex = 3;
    return fields;
}

// Only the left end of the V potentiometer differs.
SetupFields vPotiLeftChanged() {
    SetupFields fields = deviceSetup();
    fields.vPotiLeftItem = QStringLiteral("2,0 mV/V");
    return fields;
}

const QString CompareKey = QStringLiteral("compareBeforeWrite");

const QStringList SetCommandNames{"R1POL", "R2POL", "al1hy",  "al2hy", "druck",
                                  "vpoa",  "vpoe",  "nullpo", "sich",  "swr1"};

// "label: value" lines as a map.
QMap<QString, QString> fieldsOf(const QString &text) {
    QMap<QString, QString> map;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        map.insert(line.left(colon), line.mid(colon + 1).trimmed());
    }
    return map;
}

} // namespace

void TestCli::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_dataHome = m_dir->filePath(QStringLiteral("data"));
    QVERIFY(m_device.start({}));
    for (const char *line : DeviceValues)
        QVERIFY(m_device.control(QLatin1String(line)));
    m_cli.env = QProcessEnvironment::systemEnvironment();
    m_cli.env.insert(QStringLiteral("VTK290_PORTS"), m_device.portPath());
    m_cli.env.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome);
    qputenv("XDG_DATA_HOME", m_dataHome.toLocal8Bit());
    m_boxes.clear();
}

void TestCli::cleanup() {
    m_rig.reset();
    m_form = nullptr;
    m_device.stop();
    qunsetenv("VTK290_PORTS");
}

CliRun TestCli::cli(const QStringList &args, const std::function<void()> &whileRunning) {
    return m_cli.run(args, whileRunning);
}

// The commands that change the device's setup, in the order received.
QStringList TestCli::setCommands() const {
    QStringList sets;
    for (const QString &command : m_device.commands()) {
        if (SetCommandNames.contains(command.section(QLatin1Char(' '), 0, 0)))
            sets << command;
    }
    return sets;
}

QString TestCli::writeSetupFile(const QString &name, const SetupFields &fields) {
    const QString path = m_dir->filePath(name);
    const QString error = FileWriter::save(
        path, SetupFile::encode(SetupFile::lines(fields, QDateTime::currentDateTime())));
    return error.isEmpty() ? path : QString();
}

QStringList TestCli::backups() const {
    const QDir dir(m_dataHome + QStringLiteral("/vtk290/backups"));
    QStringList paths;
    for (const QString &name : dir.entryList(QDir::Files))
        paths << dir.filePath(name);
    return paths;
}

void TestCli::openWindow(bool keepSettings) {
    if (!keepSettings)
        QSettings(QStringLiteral("vtk290"), QStringLiteral("vtk290")).remove(CompareKey);
    m_rig = WindowRig::make({{m_device.portPath()}});
    m_form = m_rig->form();
    m_form->BitBtnVerbinden->click();
    QVERIFY(m_form->conversation().isConnected());
}

// Clicks the button and answers every message box it shows with `answer` (or OK), noting the
// boxes' texts.
void TestCli::clickAnswering(QPushButton *button, QMessageBox::StandardButton answer) {
    MessageBoxCatcher catcher(50);
    catcher.answerWith(answer);
    button->click();
    for (const MessageBoxCatcher::Box &box : catcher.boxes) {
        m_boxes << box.text;
        QStringList texts = box.buttons;
        if (!box.defaultButton.isEmpty())
            texts << QStringLiteral("default: ") + box.defaultButton;
        m_boxButtons << texts;
    }
}

void TestCli::scan() {
    QVERIFY(m_device.control(QStringLiteral("set name KT290 Testgeraet 7")));
    const QString absent = m_dir->filePath(QStringLiteral("absent"));
    m_cli.env.insert(QStringLiteral("VTK290_PORTS"),
                     absent + QLatin1Char(':') + m_device.portPath());
    const CliRun run = cli({QStringLiteral("scan")});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("COM2\t%1\tKT290 Testgeraet 7\n").arg(m_device.portPath()));

    // The same port given by its path.
    m_cli.env.remove(QStringLiteral("VTK290_PORTS"));
    const CliRun byPath =
        cli({QStringLiteral("--port"), m_device.portPath(), QStringLiteral("scan")});
    QCOMPARE(byPath.code, 0);
    QVERIFY2(byPath.out.endsWith(QStringLiteral("\tKT290 Testgeraet 7\n")), qPrintable(byPath.out));
}

void TestCli::readoutJson() {
    const CliRun run = cli({QStringLiteral("readout"), QStringLiteral("--json")});
    QCOMPARE(run.code, 0);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.value("type").toString(), QStringLiteral("KT 290.X1 - DMS-Schaltverstärker"));
    QCOMPARE(json.value("serialNumber").toInt(-1), 42);
    QCOMPARE(json.value("setupLock").toBool(false), true);
    QCOMPARE(json.value("errorCode").toInt(-1), 3);
    QCOMPARE(json.value("errorText").toString(),
             QStringLiteral("Fehler 3: Brückensignal überschritten"));
    // The bridge signal corrected by the calibration resistor: 0.02 - (0.52 - 0.02) * 0.22.
    QVERIFY(json.value("input").isDouble());
    QCOMPARE(json.value("input").toDouble(), 0.02 - 0.5 * 0.22);
    QCOMPARE(json.value("inputUnit").toString(), QStringLiteral("mV/V"));
    QCOMPARE(json.value("output").toDouble(), 12.5);
    QCOMPARE(json.value("sp1").toDouble(), 8.0);
    QCOMPARE(json.value("sp2").toDouble(), 16.25);
    QCOMPARE(json.value("relay1Closed").toBool(true), false);
    QCOMPARE(json.value("relay2Closed").toBool(false), true);
    QVERIFY(!json.value("softwareVersion").toString().isEmpty());
    QVERIFY(!json.value("hardwareVersion").toString().isEmpty());

    // A value the device does not give is null, and the read-out counts as incomplete.
    QVERIFY(m_device.control(QStringLiteral("set al2ma missing")));
    const CliRun partial = cli({QStringLiteral("readout"), QStringLiteral("--json")});
    QCOMPARE(partial.code, 4);
    // The message names the field without value.
    QVERIFY2(partial.err.contains(QStringLiteral("ohne Wert: SP2.")), qPrintable(partial.err));
    const QJsonObject partialJson = QJsonDocument::fromJson(partial.out.toUtf8()).object();
    QVERIFY(partialJson.value("sp2").isNull());
    QCOMPARE(partialJson.value("sp1").toDouble(), 8.0);
}

void TestCli::readoutMatchesWindow_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("relays");
    QTest::newRow("X1") << "X1"
                        << "2";
    QTest::newRow("X2") << "X2"
                        << "1";
}

void TestCli::readoutMatchesWindow() {
    QFETCH(QString, type);
    QFETCH(QString, relays);
    QVERIFY(m_device.control(QStringLiteral("type ") + type));
    QVERIFY(m_device.control(QStringLiteral("set P2 ") + relays));
    QVERIFY(m_device.control(QStringLiteral("set mvv0 7.25")));
    const CliRun run = cli({QStringLiteral("readout")});
    QCOMPARE(run.code, 0);
    const QMap<QString, QString> shown = fieldsOf(run.out);

    openWindow();
    const bool strainGauge = m_form->Panel1->isVisibleTo(m_form);
    const auto relay = [](QWidget *closed, QWidget *open) {
        return closed->isHidden() == open->isHidden()
                   ? QString()
                   : QLatin1String(closed->isHidden() ? "offen" : "geschlossen");
    };
    const QMap<QString, QString> window{
        {"Typ", m_form->StaticTextTyp->text()},
        {"Hardwareversion", m_form->StaticTextHwVersion->text()},
        {"Softwareversion", m_form->StaticTextSwVersion->text()},
        {"F.Nr", m_form->StaticTextFnr->text()},
        {"Setupsperre", m_form->StaticTextSetupsperre->text()},
        {"Fehler", m_form->LabelFehler->isVisibleTo(m_form) ? m_form->LabelFehler->text()
                                                            : QStringLiteral("keiner")},
        {"Eingang", (strainGauge ? m_form->StaticTextMv : m_form->StaticTextMv02)->text()},
        {"Ausgang", (strainGauge ? m_form->StaticTextMa : m_form->StaticTextMa02)->text()},
        {"SP1", (strainGauge ? m_form->StaticTextSp1 : m_form->StaticTextSP102)->text()},
        {"SP2", (strainGauge ? m_form->StaticTextSp2 : m_form->StaticTextSP202)->text()},
        {"Relais 1", strainGauge ? relay(m_form->ImageNc1, m_form->ImageNo1)
                                 : relay(m_form->ImageNc102, m_form->ImageNo102)},
        {"Relais 2", strainGauge ? relay(m_form->ImageNc2, m_form->ImageNo2)
                                 : relay(m_form->ImageNc202, m_form->ImageNo202)},
    };
    QCOMPARE(shown.keys(), window.keys());
    for (auto it = window.cbegin(); it != window.cend(); ++it)
        QCOMPARE(shown.value(it.key()), it.value().trimmed());
}

void TestCli::report() {
    const CliRun run = cli({QStringLiteral("report")});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QStringLiteral("Brückensignal überschritten")), qPrintable(run.out));
    QStringList lines = run.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());
    QVERIFY(lines.size() > 10);

    // The same lines in a file, as "Speichern unter" writes it.
    const QString path = m_dir->filePath(QStringLiteral("status.txt"));
    const CliRun saved = cli({QStringLiteral("report"), QStringLiteral("-o"), path});
    QCOMPARE(saved.code, 0);
    QCOMPARE(saved.out, QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.contains("\xfc"));      // "ü" in Windows-1252
    QVERIFY(!bytes.contains("\xc3\xbc")); // not UTF-8
    QCOMPARE(bytes, SetupFile::encode(lines));
}

void TestCli::log() {
    QVERIFY(m_device.control(
        QStringLiteral("set log 12.03. 08:15 Netz ein|12.03. 08:16 Fehler 3 Brueckensignal|"
                       "12.03. 09:00 Setup gespeichert")));
    const CliRun run = cli({QStringLiteral("log")});
    QCOMPARE(run.code, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const char *entry : {"12.03. 08:15 Netz ein", "12.03. 08:16 Fehler 3 Brueckensignal",
                              "12.03. 09:00 Setup gespeichert"})
        QVERIFY2(lines.contains(QLatin1String(entry)), qPrintable(run.out));
}

void TestCli::setupGetThenPutSame() {
    const QString path = m_dir->filePath(QStringLiteral("geraet.txt"));
    QCOMPARE(cli({QStringLiteral("setup"), QStringLiteral("get"), path}).code, 0);
    const SetupFile::Loaded loaded = SetupFile::load(path);
    QCOMPARE(loaded.error, QString());
    // The bytes "Datei" → "Speichern" writes for that setup, but for the time line.
    QStringList expected = SetupFile::lines(deviceSetup(), QDateTime());
    QStringList written = loaded.text.split(QStringLiteral("\r\n"));
    QCOMPARE(written.takeLast(), QString());
    QVERIFY(written.at(1).startsWith(QStringLiteral("gespeichert am ")));
    written.removeAt(1);
    expected.removeAt(1);
    QCOMPARE(written, expected);

    const int before = m_device.commands().size();
    const CliRun put = cli({QStringLiteral("setup"), QStringLiteral("put"), path});
    QCOMPARE(put.code, 0);
    QVERIFY2(put.err.contains(QStringLiteral("unterscheiden sich nicht")), qPrintable(put.err));
    QCOMPARE(put.out, QString());
    QVERIFY(before < m_device.commands().size());
    QCOMPARE(setCommands(), QStringList());
    QCOMPARE(backups(), QStringList());
}

void TestCli::setupDiffAndPut_data() {
    QTest::addColumn<SetupFields>("file");
    QTest::addColumn<QStringList>("differences"); // field, device value, file value
    QTest::addColumn<QStringList>("written");
    QTest::newRow("two fields") << twoFieldsChanged()
                                << QStringList{"Hysterese Relais 1 / SP1", "0,0 mA", "1,0 mA",
                                               "Funktion (Zug/Druck)",     "Druck",  "Zug"}
                                << QStringList{"al1hy 1.0", "druck -1"};
    QTest::newRow("zero potentiometer only")
        << zeroPotiChanged() << QStringList{"0 - Poti", "-0,50 … +0,50 mV/V", "-0,25 … +0,75 mV/V"}
        << QStringList{"nullpo 0.25"};
}

// "setup diff" lists the fields that differ (exit 1); "setup put --dry-run" shows them and writes
// nothing, not even a backup; "setup put" writes them with one setup print for the comparison
// and the backup, and one for the read-back.
void TestCli::setupDiffAndPut() {
    QFETCH(SetupFields, file);
    QFETCH(QStringList, differences);
    QFETCH(QStringList, written);
    const QString path = writeSetupFile(QStringLiteral("neu.txt"), file);
    QVERIFY(!path.isEmpty());

    const CliRun diff = cli({QStringLiteral("setup"), QStringLiteral("diff"), path});
    QCOMPARE(diff.code, 1);
    QCOMPARE(diff.err, QString());
    const QStringList rows = diff.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 1 + differences.size() / 3);
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QString &row = rows.at(i);
        QVERIFY2(row.startsWith(differences.at(3 * (i - 1))), qPrintable(row));
        QVERIFY2(row.contains(differences.at(3 * (i - 1) + 1)), qPrintable(row));
        QVERIFY2(row.endsWith(differences.at(3 * (i - 1) + 2)), qPrintable(row));
    }
    QCOMPARE(setCommands(), QStringList());
    // The type comes from the type questions alone, without the calibration resistor.
    QCOMPARE(m_device.commands(), QStringList({"Name", "inpmv", "spr"}));

    const CliRun dryRun =
        cli({QStringLiteral("setup"), QStringLiteral("put"), path, QStringLiteral("--dry-run")});
    QCOMPARE(dryRun.code, 0);
    QCOMPARE(dryRun.out, diff.out);
    QVERIFY2(dryRun.err.contains(QStringLiteral("Nichts wurde geschrieben.")),
             qPrintable(dryRun.err));
    QCOMPARE(setCommands(), QStringList()); // "swr1" included
    QCOMPARE(backups(), QStringList());

    const qsizetype before = m_device.commands().size();
    const CliRun put = cli({QStringLiteral("setup"), QStringLiteral("put"), path});
    QCOMPARE(put.code, 0);
    // Standard output holds the differences and nothing else.
    QCOMPARE(put.out, diff.out);
    for (const QString &command : written)
        QVERIFY2(setCommands().contains(command), qPrintable(setCommands().join(", ")));
    QCOMPARE(setCommands().last(), QStringLiteral("swr1"));
    // One setup print serves the comparison and the backup; one more reads the setup back.
    const QStringList sent = m_device.commands().mid(before);
    QCOMPARE(sent.mid(0, 4), QStringList({"Name", "inpmv", "spr", "R1POL 0"}));
    QCOMPARE(sent.count(QStringLiteral("spr")), 2);
    QCOMPARE(sent.last(), QStringLiteral("spr"));
    QCOMPARE(sent.filter(QStringLiteral("kalr")), QStringList());
    // The device holds the file's setup now.
    const CliRun same = cli({QStringLiteral("setup"), QStringLiteral("diff"), path});
    QCOMPARE(same.code, 0);
    QCOMPARE(same.out, QString());
    QCOMPARE(same.err, QStringLiteral("Gerät und Datei unterscheiden sich nicht.\n"));

    // The backup holds what the device had before.
    const QStringList saved = backups();
    QCOMPARE(saved.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("/KT290-0042-\\d{8}-\\d{6}\\.txt$"))
                 .match(saved.first())
                 .hasMatch(),
             qPrintable(saved.first()));
    // The backup's path is told on standard error.
    QVERIFY2(put.err.contains(QStringLiteral("gesichert in %1\n").arg(saved.first())),
             qPrintable(put.err));
    const SetupFile::Loaded backup = SetupFile::load(saved.first());
    QCOMPARE(SetupDifferences(SetupFieldsFromText(backup.text), deviceSetup(), true),
             QList<SetupDifference>());
}

void TestCli::exitCodes_data() {
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    // Refused before the port is opened: the simulator sees nothing.
    QTest::addColumn<bool>("quiet");
    // A set command the write must send.
    QTest::addColumn<QString>("sent");

    const QByteArray changed = SetupFile::encode(SetupFile::lines(twoFieldsChanged(), {}));
    const auto changedWith = [&changed](const char *from, const char *to) {
        QByteArray bytes = changed;
        return bytes.replace(from, to);
    };
    SetupFields incomplete = twoFieldsChanged();
    incomplete.hysteresis2Item.clear();
    const QStringList put{"setup", "put", "FILE"};
    const QStringList none;
    const QByteArray noFile;

    QTest::newRow("usage: no command")
        << none << none << noFile << 2 << "Kein Befehl" << true << "";
    QTest::newRow("usage: unknown option") << none << QStringList{"--schnell", "scan"} << noFile
                                           << 2 << "Unbekannte Option" << true << "";
    QTest::newRow("usage: setup without file")
        << none << QStringList{"setup", "get"} << noFile << 2 << "genau eine Datei" << true << "";
    QTest::newRow("usage: -o for readout")
        << none << QStringList{"readout", "-o", "FILE"} << noFile << 2
        << "Die Option -o gehört nicht zu readout." << true << "";
    QTest::newRow("usage: --dry-run for setup get")
        << none << QStringList{"setup", "get", "FILE", "--dry-run"} << noFile << 2
        << "Die Option --dry-run gehört nicht zu setup get." << true << "";
    QTest::newRow("usage: --port for backups")
        << none << QStringList{"backups", "--port", "COM1"} << noFile << 2
        << "Die Option --port gehört nicht zu backups." << true << "";
    QTest::newRow("usage: help names one command")
        << none << QStringList{"help", "readout", "scan"} << noFile << 2
        << "help nennt höchstens einen Befehl." << true << "";
    QTest::newRow("usage: value for a switch")
        << none << QStringList{"--json=ja", "readout"} << noFile << 2 << "--json nimmt keinen Wert."
        << true << "";
    QTest::newRow("no device: --port=PATH absent")
        << none << QStringList{"--port=ABSENT", "scan"} << noFile << 3
        << "Die Schnittstelle ABSENT gibt es nicht." << true << "";
    QTest::newRow("bad file: named after --")
        << none << QStringList{"setup", "diff", "--", "-fehlt"} << noFile << 5
        << "kann nicht gelesen werden: die Datei gibt es nicht" << true << "";
    QTest::newRow("usage: restore without backup or file")
        << none << QStringList{"setup", "restore"} << noFile << 2 << "--latest oder eine Datei"
        << true << "";
    QTest::newRow("no device: port path absent")
        << none << QStringList{"--port", "ABSENT", "scan"} << noFile << 3
        << "Die Schnittstelle ABSENT gibt es nicht." << true << "";
    QTest::newRow("no device: silent device")
        << QStringList{"fault silent"} << QStringList{"readout"} << noFile << 3
        << "Kein KT 290 gefunden" << false << "";
    QTest::newRow("no device: another device answers")
        << QStringList{"set name Waage 3000"} << QStringList{"readout"} << noFile << 3
        << "antwortet ein anderes Gerät: \"Waage 3000\"" << false << "";
    QTest::newRow("no answer: no setup print")
        << QStringList{"set spr missing"} << QStringList{"setup", "get", "FILE"} << noFile << 4
        << "Setup nicht gesendet" << false << "";
    QTest::newRow("no answer: no log") << QStringList{"mute log 3"} << QStringList{"log"} << noFile
                                       << 4 << "Logbuch nicht gesendet" << false << "";
    QTest::newRow("no answer: read-out value missing")
        << QStringList{"set mas missing"} << QStringList{"readout"} << noFile << 4
        << "nicht vollständig geantwortet; ohne Wert: Ausgang." << false << "";
    QTest::newRow("no answer: report part missing")
        << QStringList{"set rar missing", "mute spr 2"} << QStringList{"report"} << noFile << 4
        << "im Bericht ohne Antwort: Bürde, Setup." << false << "";
    QTest::newRow("bad file: missing")
        << none << QStringList{"setup", "diff", "FILE"} << noFile << 5
        << "kann nicht gelesen werden: die Datei gibt es nicht" << true << "";
    QTest::newRow("bad file: a folder") << none << QStringList{"setup", "diff", "FOLDER"} << noFile
                                        << 5 << "ist ein Ordner" << true << "";
    QTest::newRow("bad file: no setup") << none << put << QByteArray("Einkaufszettel\r\n") << 5
                                        << "enthält kein Setup" << true << "";
    QTest::newRow("bad file: incomplete setup")
        << none << put << SetupFile::encode(SetupFile::lines(incomplete, {})) << 5
        << "Hysterese Relais 2 / SP2 (Alarm2hysterese): ohne Wert" << true << "";
    QTest::newRow("bad file: report folder missing")
        << none << QStringList{"report", "-o", "NODIR/status.txt"} << noFile << 5
        << "kann nicht geschrieben werden: den Ordner" << true << "";
    QTest::newRow("bad file: log folder missing")
        << none << QStringList{"log", "-o", "NODIR/log.txt"} << noFile << 5
        << "kann nicht geschrieben werden: den Ordner" << true << "";
    QTest::newRow("bad file: setup get folder missing")
        << none << QStringList{"setup", "get", "NODIR/g.txt"} << noFile << 5
        << "kann nicht geschrieben werden: den Ordner" << true << "";
    QTest::newRow("backup folder not writable")
        << QStringList{"BACKUP_BLOCKED"} << put << changed << 5 << "Sicherung" << true << "";
    QTest::newRow("backup folder not writable, --no-backup")
        << QStringList{"BACKUP_BLOCKED"} << QStringList{"setup", "put", "FILE", "--no-backup"}
        << changed << 0 << "Ohne Sicherung (--no-backup)" << false << "al1hy 1.0";
    QTest::newRow("no data folder") << QStringList{"NO_DATA_HOME"} << put << changed << 5
                                    << "weder XDG_DATA_HOME noch HOME" << true << "";
    QTest::newRow("no data folder, --no-backup")
        << QStringList{"NO_DATA_HOME"} << QStringList{"setup", "put", "FILE", "--no-backup"}
        << changed << 0 << "Ohne Sicherung (--no-backup)" << false << "al1hy 1.0";
    QTest::newRow("value outside its list: hysteresis")
        << none << put << changedWith("Alarm1hysterese : 1.0", "Alarm1hysterese : 99") << 5
        << "Alarm1hysterese): 99 ist nicht erlaubt; erlaubt sind 0.0, 0.1, 0.5, 1.0, 2.0." << true
        << "";
    // setup diff checks the file as setup put does: no difference shown for a file it refuses.
    QTest::newRow("value outside its list: setup diff")
        << none << QStringList{"setup", "diff", "FILE"}
        << changedWith("Alarm1hysterese : 1.0", "Alarm1hysterese : 99") << 5
        << "Alarm1hysterese): 99 ist nicht erlaubt; erlaubt sind 0.0, 0.1, 0.5, 1.0, 2.0." << true
        << "";
    QTest::newRow("value outside its list: direction below")
        << none << put << changedWith("Druckrichtung   : -1", "Druckrichtung   : -4") << 5
        << "Druckrichtung): -4 ist nicht erlaubt; erlaubt sind -1, 0, 1." << false << "";
    QTest::newRow("value outside its list: direction beyond, as the window")
        << none << put << changedWith("Druckrichtung   : -1", "Druckrichtung   : 5") << 0
        << "Warnung: Funktion (Zug/Druck) (Druckrichtung): 5 ist nicht erlaubt (erlaubt sind "
           "-1, 0, 1); geschrieben wird 1"
        << false << "druck 1";
    QTest::newRow("read-back differs") << QStringList{"ignore al1hy"} << put << changed << 6
                                       << "anderes Setup gespeichert" << false << "";
    // The strain-gauge fields are read back too.
    QTest::newRow("read-back differs: zero potentiometer")
        << QStringList{"ignore nullpo"} << put
        << SetupFile::encode(SetupFile::lines(zeroPotiChanged(), {})) << 6 << "0 - Poti" << false
        << "nullpo 0.25";
    QTest::newRow("read-back differs: V potentiometer")
        << QStringList{"ignore vpoa"} << put
        << SetupFile::encode(SetupFile::lines(vPotiLeftChanged(), {})) << 6 << "V - Poti links"
        << false << "vpoa 2.0";
    // "when C: L" sends the control line L once the device has received a command C.
    QTest::newRow("cut off: device vanishes while writing")
        << QStringList{"when R1POL: fault vanish"} << put << changed << 4
        << "nicht vollständig geschrieben: nach" << false << "";
    QTest::newRow("no answer: relays missing")
        << QStringList{"set P2 missing"} << QStringList{"readout"} << noFile << 4
        << "ohne Wert: Relais 1, Relais 2." << false << "";
    QTest::newRow("no answer: F.Nr missing")
        << QStringList{"set fnr missing"} << QStringList{"readout"} << noFile << 4
        << "ohne Wert: F.Nr." << false << "";
}

void TestCli::exitCodes() {
    QFETCH(QStringList, controls);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, file);
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(bool, quiet);
    QFETCH(QString, sent);

    QString trigger;
    QString triggered;
    for (const QString &control : controls) {
        if (control.startsWith(QLatin1String("when "))) {
            trigger = control.mid(5).section(QStringLiteral(": "), 0, 0);
            triggered = control.section(QStringLiteral(": "), 1);
        } else if (control == QLatin1String("BACKUP_BLOCKED")) {
            // The data folder is a file: no backup folder can be made in it.
            QFile blocker(m_dataHome);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else if (control == QLatin1String("NO_DATA_HOME")) {
            m_cli.env.remove(QStringLiteral("XDG_DATA_HOME"));
            m_cli.env.remove(QStringLiteral("HOME"));
        } else {
            QVERIFY(m_device.control(control));
        }
    }
    const QString path = m_dir->filePath(QStringLiteral("setup.txt"));
    if (!file.isEmpty())
        QCOMPARE(FileWriter::save(path, file), QString());
    const QString absentPort = m_dir->filePath(QStringLiteral("absent-port"));
    for (QString &arg : args) {
        arg.replace(QStringLiteral("FILE"), path);
        arg.replace(QStringLiteral("NODIR"), m_dir->filePath(QStringLiteral("absent")));
        arg.replace(QStringLiteral("ABSENT"), absentPort);
        arg.replace(QStringLiteral("FOLDER"), m_dir->path());
    }
    message.replace(QStringLiteral("ABSENT"), absentPort);

    bool triggerSent = false;
    const CliRun run = cli(args, [&] {
        if (trigger.isEmpty() || triggerSent)
            return;
        for (const QString &command : m_device.commands()) {
            if (command.startsWith(trigger)) {
                triggerSent = m_device.control(triggered);
                break;
            }
        }
    });
    QVERIFY2(run.code == code,
             qPrintable(QStringLiteral("exit %1: %2").arg(run.code).arg(run.err)));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(triggerSent, !trigger.isEmpty());
    // Only a write that ended as it should says that the device holds the file's setup.
    QVERIFY2(!run.err.contains(QStringLiteral("stimmt mit der Datei überein")) || code == 0,
             qPrintable(run.err));
    // Messages go to standard error: a refused call, a missing device or file leaves standard
    // output empty.
    if (code == 2 || code == 3 || code == 5)
        QCOMPARE(run.out, QString());
    if (quiet) {
        QCOMPARE(m_device.commands(), QStringList());
        QCOMPARE(m_device.openCount(), 0);
    }
    // A refused call writes no file.
    if (code == 2 && file.isEmpty())
        QVERIFY(!QFile::exists(path));
    // A refused write sends no set command; an accepted one ends with "swr1"; one cut off has
    // begun but not ended.
    const bool begun = code == 0 || code == 6 || !trigger.isEmpty();
    if (args.value(0) == QLatin1String("setup") && args.value(1) == QLatin1String("put"))
        QCOMPARE(!setCommands().isEmpty(), begun);
    if (begun)
        QCOMPARE(setCommands().last() == QLatin1String("swr1"), trigger.isEmpty());
    if (!sent.isEmpty())
        QVERIFY2(setCommands().contains(sent), qPrintable(setCommands().join(QLatin1Char('|'))));
}

// Answered without the device: the port is never opened.
void TestCli::callsWithoutDevice_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("out");      // a pattern standard output matches
    QTest::addColumn<QString>("notShown"); // what the help of that command does not offer

    const QString version = QStringLiteral("^vtk290-cli \\d+\\.\\d+\\.\\d+\\.\\d+\\n$");
    QTest::newRow("--version") << QStringList{"--version"} << version << "";
    QTest::newRow("-V after a command") << QStringList{"readout", "-V"} << version << "";
    QTest::newRow("help") << QStringList{"help"}
                          << "^Aufruf: vtk290-cli .*\\n  130  unterbrochen \\(Strg\\+C, SIGTERM, "
                             "SIGHUP\\).*Befehl ab\\n$"
                          << "";
    QTest::newRow("help setup put") << QStringList{"help", "setup", "put"}
                                    << "^Aufruf: vtk290-cli setup put DATEI \\[--port "
                                       "COMn\\|PFAD\\|ADRESSE\\] .*--dry-run.*--no-backup"
                                    << "--json";
    QTest::newRow("help setup: every setup command")
        << QStringList{"help", "setup"}
        << "^Aufruf: vtk290-cli setup get .*Aufruf: vtk290-cli setup diff .*"
           "Aufruf: vtk290-cli setup put .*Aufruf: vtk290-cli setup restore "
        << "--json";
    QTest::newRow("readout --help")
        << QStringList{"readout", "--help"} << "^Aufruf: vtk290-cli readout .*--json"
        << "-o DATEI";
}

void TestCli::callsWithoutDevice() {
    QFETCH(QStringList, args);
    QFETCH(QString, out);
    QFETCH(QString, notShown);
    const CliRun run = cli(args);
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, QString());
    QVERIFY2(QRegularExpression(out, QRegularExpression::DotMatchesEverythingOption)
                 .match(run.out)
                 .hasMatch(),
             qPrintable(run.out));
    if (!notShown.isEmpty())
        QVERIFY2(!run.out.contains(notShown), qPrintable(run.out));
    QCOMPARE(m_device.openCount(), 0);
}

// A bench of two amplifiers, a silent port, a busy one and one that does not exist: every port
// is asked and named.
void TestCli::scanAll() {
    SimulatorProcess second;
    SimulatorProcess silent;
    SimulatorProcess busy;
    QVERIFY(second.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    QVERIFY(second.control(QStringLiteral("set fnr 7")));
    QVERIFY(silent.start({}));
    QVERIFY(silent.control(QStringLiteral("fault silent")));
    QVERIFY(busy.start({}));
    QSerialPort holder(busy.portPath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    const QString absent = m_dir->filePath(QStringLiteral("absent"));
    const QStringList paths{m_device.portPath(), second.portPath(), silent.portPath(),
                            busy.portPath(), absent};
    m_cli.env.insert(QStringLiteral("VTK290_PORTS"), paths.join(QLatin1Char(';')));

    const CliRun run = cli({QStringLiteral("scan"), QStringLiteral("--all")});
    QCOMPARE(run.code, 0);
    const QStringList expected{
        QStringLiteral("COM1\t%1\tKT 290: KT 290.X1 - DMS-Schaltverstärker, F.Nr 0042")
            .arg(paths[0]),
        QStringLiteral("COM2\t%1\tKT 290: KT 290.X2 - Strom-Schaltverstärker, F.Nr 0007")
            .arg(paths[1]),
        QStringLiteral("COM3\t%1\tkeine Antwort").arg(paths[2]),
        QStringLiteral("COM4\t%1\tbelegt").arg(paths[3]),
        QStringLiteral("COM5\t%1\tnicht vorhanden").arg(paths[4]),
        QStringLiteral("COM6\t-\tnicht vorhanden"),
        QStringLiteral("COM7\t-\tnicht vorhanden"),
        QStringLiteral("COM8\t-\tnicht vorhanden"),
    };
    QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    // No calibration resistor, no setup: the type questions and the F.Nr only.
    QCOMPARE(second.commands(), QStringList({"Name", "inpmv", "inpv", "fnr"}));
    QCOMPARE(busy.openCount(), 1); // the holder's own

    const CliRun json =
        cli({QStringLiteral("scan"), QStringLiteral("--all"), QStringLiteral("--json")});
    QCOMPARE(json.code, 0);
    const QJsonArray ports = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(ports.size(), 8);
    QCOMPARE(ports[1].toObject().value("status").toString(), QStringLiteral("kt290"));
    QCOMPARE(ports[1].toObject().value("serialNumber").toInt(), 7);
    QCOMPARE(ports[1].toObject().value("path").toString(), paths[1]);
    QCOMPARE(ports[2].toObject().value("status").toString(), QStringLiteral("silent"));
    QCOMPARE(ports[3].toObject().value("status").toString(), QStringLiteral("busy"));
    QCOMPARE(ports[4].toObject().value("status").toString(), QStringLiteral("absent"));

    // Without --all the first amplifier is the one.
    const CliRun first = cli({QStringLiteral("scan")});
    QCOMPARE(first.code, 0);
    QCOMPARE(first.out, QStringLiteral("COM1\t%1\tKT290 V1.03\n").arg(paths[0]));
}

// Backups listed newest first; the newest of the connected device put back through a write that
// is itself backed up.
void TestCli::backupsAndRestore() {
    const QString folder = m_dataHome + QStringLiteral("/vtk290/backups");
    QVERIFY(QDir().mkpath(folder));
    const auto backup = [&folder](const QString &name, const SetupFields &fields,
                                  const QString &type) {
        QStringList lines = SetupFile::lines(fields, QDateTime::currentDateTime());
        if (!type.isEmpty())
            lines << QStringLiteral(" Gerätetyp       : ") + type;
        const QString path = folder + QLatin1Char('/') + name;
        return FileWriter::save(path, SetupFile::encode(lines)).isEmpty() ? path : QString();
    };
    const QString x1 = QStringLiteral("KT 290.X1 - DMS-Schaltverstärker");
    const QString older = backup("KT290-0042-20260101-100000.txt", deviceSetup(), x1);
    const QString newer = backup("KT290-0042-20260102-100000.txt", twoFieldsChanged(), x1);
    const QString other = backup("KT290-0007-20260103-100000.txt", deviceSetup(), {});
    QVERIFY(!older.isEmpty() && !newer.isEmpty() && !other.isEmpty());
    // Named like a backup, the newest of F.Nr 42 even, but holding no setup: not a backup.
    QVERIFY(FileWriter::save(folder + QStringLiteral("/KT290-0042-20260104-100000.txt"),
                             QByteArray("Einkaufsliste\r\n"))
                .isEmpty());

    const CliRun all = cli({QStringLiteral("backups")});
    QCOMPARE(all.code, 0);
    QCOMPARE(all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             QStringList({"2026-01-03 10:00:00\t0007\tunbekannt\t" + other,
                          "2026-01-02 10:00:00\t0042\t" + x1 + "\t" + newer,
                          "2026-01-01 10:00:00\t0042\t" + x1 + "\t" + older}));
    const CliRun json =
        cli({QStringLiteral("backups"), QStringLiteral("42"), QStringLiteral("--json")});
    QCOMPARE(json.code, 0);
    const QJsonArray listed = QJsonDocument::fromJson(json.out.toUtf8()).array();
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed[0].toObject().value("path").toString(), newer);
    QCOMPARE(listed[0].toObject().value("serialNumber").toInt(), 42);
    QCOMPARE(listed[0].toObject().value("type").toString(), x1);
    QCOMPARE(listed[0].toObject().value("time").toString(), QStringLiteral("2026-01-02T10:00:00"));
    QCOMPARE(m_device.openCount(), 0);

    // The newest backup of F.Nr 42 goes back, not the newer one of another device.
    const CliRun restore =
        cli({QStringLiteral("setup"), QStringLiteral("restore"), QStringLiteral("--latest")});
    QCOMPARE(restore.code, 0);
    QVERIFY2(restore.err.contains(QStringLiteral("Zurückgespielt wird %1\n").arg(newer)),
             qPrintable(restore.err));
    QVERIFY(setCommands().contains(QStringLiteral("al1hy 1.0")));
    QVERIFY(setCommands().contains(QStringLiteral("druck -1")));
    // The restore's own backup is the newest now and holds what the device had before.
    const QJsonArray after =
        QJsonDocument::fromJson(
            cli({QStringLiteral("backups"), QStringLiteral("42"), QStringLiteral("--json")})
                .out.toUtf8())
            .array();
    QCOMPARE(after.size(), 3);
    const QString made = after[0].toObject().value("path").toString();
    QVERIFY2(restore.err.contains(QStringLiteral("gesichert in %1\n").arg(made)),
             qPrintable(restore.err));
    QCOMPARE(after[0].toObject().value("type").toString(), x1);
    QCOMPARE(SetupDifferences(SetupFieldsFromText(SetupFile::load(made).text), deviceSetup(), true),
             QList<SetupDifference>());
    QCOMPARE(cli({QStringLiteral("setup"), QStringLiteral("diff"), newer}).code, 0);

    // Another device's backup goes in as asked (a replaced amplifier), with a warning.
    const CliRun foreign = cli({QStringLiteral("setup"), QStringLiteral("put"), other});
    QCOMPARE(foreign.code, 0);
    QVERIFY2(foreign.err.contains(QStringLiteral("F.Nr 0007")) &&
                 foreign.err.contains(QStringLiteral("F.Nr 0042")),
             qPrintable(foreign.err));
    QVERIFY(!restore.err.contains(QStringLiteral("Warnung")));
}

void TestCli::trace() {
    const CliRun run = cli({QStringLiteral("--trace"), QStringLiteral("scan")});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out.count(QLatin1Char('\n')), 1);
    const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // Each character of the command as it was sent, then the echo and answer as received.
    const QRegularExpression line(QStringLiteral("^ *(\\d+\\.\\d{3}) ([<>]) (.*)$"));
    QString sent;
    QString received;
    double last = 0;
    for (const QString &text : lines) {
        const QRegularExpressionMatch match = line.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        QVERIFY(match.captured(1).toDouble() >= last);
        last = match.captured(1).toDouble();
        (match.captured(2) == QLatin1String(">") ? sent : received) += match.captured(3);
    }
    // (A line-clearing CR may go before the first question.)
    QVERIFY2(sent.endsWith(QStringLiteral("Name\\r")), qPrintable(sent));
    QVERIFY2(received.endsWith(QStringLiteral("Name\\r\\nKT290 V1.03\\r\\n")),
             qPrintable(received));
}

void TestCli::windowWriteMakesBackup() {
    openWindow();
    setupstate::setSwitchPoints(*m_rig->windows.setup, true, true, 1.0, 0.0, false);
    setupstate::setRanges(*m_rig->windows.setup, -1, 0.0, 0.8333, 2.5);
    QCOMPARE(SetupDifferences(deviceSetup(), m_rig->windows.setup->fields(), true).size(), 2);

    clickAnswering(m_form->BitBtnDownload, QMessageBox::Ok);
    QCOMPARE(m_boxes, QStringList());
    const QStringList commands = m_device.commands();
    const qsizetype print = commands.lastIndexOf(QStringLiteral("spr"));
    QVERIFY(print >= 0);
    QCOMPARE(commands.at(print + 1), QStringLiteral("R1POL 0"));
    QVERIFY(setCommands().contains(QStringLiteral("al1hy 1.0")));

    const QStringList saved = backups();
    QCOMPARE(saved.size(), 1);
    QVERIFY(saved.first().contains(QStringLiteral("/KT290-0042-")));
    QCOMPARE(SetupDifferences(SetupFieldsFromText(SetupFile::load(saved.first()).text),
                              deviceSetup(), true),
             QList<SetupDifference>());
}

void TestCli::windowFailedBackupAsks() {
    openWindow();
    setupstate::setSwitchPoints(*m_rig->windows.setup, true, true, 1.0, 0.0, false);
    QFile blocker(m_dataHome);
    QVERIFY(blocker.open(QIODevice::WriteOnly));

    // The question's default is "Nein".
    MessageBoxCatcher watcher(50);
    watcher.answerWithDefault();
    m_form->BitBtnDownload->click();
    watcher.stop();
    m_boxes << watcher.texts;
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes.first().contains(QStringLiteral("ohne Sicherung")),
             qPrintable(m_boxes.first()));
    QCOMPARE(watcher.boxes.last().defaultAnswer, QMessageBox::No);
    QCOMPARE(setCommands(), QStringList());

    // "Ja" writes all the same.
    m_boxes.clear();
    clickAnswering(m_form->BitBtnDownload, QMessageBox::Yes);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(setCommands().contains(QStringLiteral("al1hy 1.0")));
}

void TestCli::windowCompareBeforeWrite() {
    openWindow();
    QVERIFY(!m_form->VorDemSchreibenVergleichen1->isChecked());
    m_form->VorDemSchreibenVergleichen1->setChecked(true);

    // The device's own setup: nothing to write.
    setupstate::setSwitchPoints(*m_rig->windows.setup, true, true, 0.0, 0.0, false);
    setupstate::setRanges(*m_rig->windows.setup, 1, 0.0, 0.8333, 2.5);
    clickAnswering(m_form->BitBtnDownload, QMessageBox::Ok);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes.first().contains(
                 QStringLiteral("mit dem Eingestellten überein. Es wurde nichts geschrieben")),
             qPrintable(m_boxes.first()));
    QCOMPARE(setCommands(), QStringList());
    QCOMPARE(backups(), QStringList());

    // Only the zero potentiometer differs: shown as well.
    setupstate::setRanges(*m_rig->windows.setup, 1, 0.25, 0.8333, 2.5);
    m_boxes.clear();
    clickAnswering(m_form->BitBtnDownload, QMessageBox::Cancel);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes.first()
                 .split(QLatin1Char('\n'))
                 .contains(QStringLiteral("0 - Poti: -0,50 … +0,50 mV/V → -0,25 … +0,75 mV/V")),
             qPrintable(m_boxes.first()));
    QCOMPARE(setCommands(), QStringList());

    // Two fields differ: shown, and not written on "Abbrechen".
    setupstate::setSwitchPoints(*m_rig->windows.setup, true, true, 1.0, 0.0, false);
    setupstate::setRanges(*m_rig->windows.setup, -1, 0.0, 0.8333, 2.5);
    m_boxes.clear();
    m_boxButtons.clear();
    clickAnswering(m_form->BitBtnDownload, QMessageBox::Cancel);
    QCOMPARE(m_boxes.size(), 1);
    // The buttons say what they do; the default writes nothing.
    QCOMPARE(m_boxButtons.first(), QStringList({"Schreiben", "Abbrechen", "default: Abbrechen"}));
    const QStringList shown = m_boxes.first().split(QLatin1Char('\n'));
    QVERIFY(shown.contains(QStringLiteral("Hysterese Relais 1 / SP1: 0,0 mA → 1,0 mA")));
    QVERIFY(shown.contains(QStringLiteral("Funktion (Zug/Druck): Druck → Zug")));
    QCOMPARE(shown.filter(QRegularExpression(QStringLiteral("^[^:]+: .+ → .+$"))).size(), 2);
    QCOMPARE(setCommands(), QStringList());

    // "Schreiben" writes.
    m_boxes.clear();
    clickAnswering(m_form->BitBtnDownload, QMessageBox::Ok);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(setCommands().contains(QStringLiteral("druck -1")));
    QCOMPARE(backups().size(), 1);

    // Remembered between runs.
    m_rig.reset();
    m_form = nullptr;
    openWindow(true);
    QVERIFY(m_form->VorDemSchreibenVergleichen1->isChecked());
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
