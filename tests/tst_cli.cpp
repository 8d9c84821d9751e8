#include "link/qtserialportio.h"
#include "link/ucom.h"
#include "main/fmain1.h"
#include "main/startup.h"
#include "setup/setupfields.h"
#include "setup/setupfile.h"
#include "setup/setuptransfer.h"
#include "setup/ueinst.h"
#include "setup/urelais.h"
#include "simulatorprocess.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
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
    void setupPutTwoFields();
    void exitCodes_data();
    void exitCodes();
    void windowWriteMakesBackup();
    void windowFailedBackupAsks();
    void windowCompareBeforeWrite();

private:
    struct Run {
        int code = -1;
        QString out;
        QString err;
    };
    Run cli(const QStringList &args);
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
    QProcessEnvironment m_env;
    std::unique_ptr<ComLink> m_link;
    WindowSet m_windows;
    Tform1 *m_form = nullptr;
    QStringList m_boxes;
    QList<QStringList> m_boxButtons; // each box's buttons, then its default
};

namespace {

// What the simulator holds in these tests besides its own setup.
const char *const DeviceValues[] = {"set mvv0cal 0.52", "set mvv0 0.02", "set fnr 42",
                                    "set tasp 0.5",     "set fehl 3",    "set P2 2",
                                    "set mas 12.5",     "set al1ma 8",   "set al2ma 16.25"};

// The simulator's own setup, as the dialogs hold it.
SetupFields deviceSetup() {
    SetupFields fields;
    fields.relay1DeEnergised = true;
    fields.relay2DeEnergised = true;
    fields.hysteresis1Item = QStringLiteral("0,0 mA");
    fields.hysteresis2Item = QStringLiteral("0,0 mA");
    fields.safetyMode = false;
    fields.pressureIndex = 2;
    fields.zeroIndex = 2;
    fields.vPotiLeftItem = QStringLiteral("2,5 mV/V");
    fields.vPotiRightItem = QStringLiteral("0,83 mV/V");
    return fields;
}

SetupFields twoFieldsChanged() {
    SetupFields fields = deviceSetup();
    fields.hysteresis1Item = QStringLiteral("1,0 mA");
    fields.pressureIndex = 0;
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
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("VTK290_PORTS"), m_device.portPath());
    m_env.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome);
    qputenv("XDG_DATA_HOME", m_dataHome.toLocal8Bit());
    m_boxes.clear();
}

void TestCli::cleanup() {
    delete m_form;
    m_form = nullptr;
    m_link.reset();
    m_device.stop();
    qunsetenv("VTK290_PORTS");
}

TestCli::Run TestCli::cli(const QStringList &args) {
    QProcess process;
    process.setProcessEnvironment(m_env);
    process.start(QStringLiteral(VTK290_CLI_PATH), args);
    Run run;
    if (!process.waitForFinished(90000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
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
    const QString error = SetupFile::save(
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
    qputenv("VTK290_PORTS", m_device.portPath().toLocal8Bit());
    m_link = std::make_unique<ComLink>(std::make_unique<QtSerialPortIo>());
    m_windows = {};
    createWindows(*m_link, m_windows);
    m_form = m_windows.form1;
    m_form->Timer2->stop(); // no second-copy question in these tests
    m_form->BitBtnVerbinden->click();
    QVERIFY(m_form->conversation().isConnected());
}

// Clicks the button and answers every message box it shows with `answer` (or OK), noting the
// boxes' texts.
void TestCli::clickAnswering(QPushButton *button, QMessageBox::StandardButton answer) {
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [this, answer] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_boxes << box->text();
            QAbstractButton *chosen = box->button(answer);
            // The comparison question's own buttons stand for OK and Cancel.
            for (QAbstractButton *own : box->buttons()) {
                const QMessageBox::ButtonRole role = box->buttonRole(own);
                if (!chosen && ((answer == QMessageBox::Ok && role == QMessageBox::AcceptRole) ||
                                (answer == QMessageBox::Cancel && role == QMessageBox::RejectRole)))
                    chosen = own;
            }
            QStringList texts;
            for (const QAbstractButton *own : box->buttons())
                texts << own->text();
            if (box->defaultButton())
                texts << QStringLiteral("default: ") + box->defaultButton()->text();
            m_boxButtons << texts;
            (chosen ? chosen : box->button(QMessageBox::Ok))->click();
        }
    });
    watcher.start(50);
    button->click();
}

void TestCli::scan() {
    QVERIFY(m_device.control(QStringLiteral("set name KT290 Testgeraet 7")));
    const QString absent = m_dir->filePath(QStringLiteral("absent"));
    m_env.insert(QStringLiteral("VTK290_PORTS"), absent + QLatin1Char(':') + m_device.portPath());
    const Run run = cli({QStringLiteral("scan")});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("COM2\t%1\tKT290 Testgeraet 7\n").arg(m_device.portPath()));

    // The same port given by its path.
    m_env.remove(QStringLiteral("VTK290_PORTS"));
    const Run byPath = cli({QStringLiteral("--port"), m_device.portPath(), QStringLiteral("scan")});
    QCOMPARE(byPath.code, 0);
    QVERIFY2(byPath.out.endsWith(QStringLiteral("\tKT290 Testgeraet 7\n")), qPrintable(byPath.out));
}

void TestCli::readoutJson() {
    const Run run = cli({QStringLiteral("readout"), QStringLiteral("--json")});
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
    const Run partial = cli({QStringLiteral("readout"), QStringLiteral("--json")});
    QCOMPARE(partial.code, 3);
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
    const Run run = cli({QStringLiteral("readout")});
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
    const Run run = cli({QStringLiteral("report")});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QStringLiteral("Brückensignal überschritten")), qPrintable(run.out));
    QStringList lines = run.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());
    QVERIFY(lines.size() > 10);

    // The same lines in a file, as "Speichern unter" writes it.
    const QString path = m_dir->filePath(QStringLiteral("status.txt"));
    const Run saved = cli({QStringLiteral("report"), QStringLiteral("-o"), path});
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
    const Run run = cli({QStringLiteral("log")});
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
    const Run put = cli({QStringLiteral("setup"), QStringLiteral("put"), path});
    QCOMPARE(put.code, 0);
    QVERIFY2(put.out.contains(QStringLiteral("unterscheiden sich nicht")), qPrintable(put.out));
    QVERIFY(before < m_device.commands().size());
    QCOMPARE(setCommands(), QStringList());
    QCOMPARE(backups(), QStringList());
}

void TestCli::setupPutTwoFields() {
    const QString path = writeSetupFile(QStringLiteral("neu.txt"), twoFieldsChanged());
    QVERIFY(!path.isEmpty());

    const Run diff = cli({QStringLiteral("setup"), QStringLiteral("diff"), path});
    QCOMPARE(diff.code, 0);
    const QStringList rows = diff.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 3);
    QVERIFY(rows.at(1).startsWith(QStringLiteral("Hysterese Relais 1 / SP1")));
    QVERIFY(rows.at(1).contains(QStringLiteral("0,0 mA")));
    QVERIFY(rows.at(1).endsWith(QStringLiteral("1,0 mA")));
    QVERIFY(rows.at(2).startsWith(QStringLiteral("Funktion (Zug/Druck)")));
    QVERIFY(rows.at(2).endsWith(QStringLiteral("Zug")));
    QCOMPARE(setCommands(), QStringList());

    const Run put = cli({QStringLiteral("setup"), QStringLiteral("put"), path});
    QCOMPARE(put.code, 0);
    QVERIFY(put.out.startsWith(diff.out));
    QVERIFY(setCommands().contains(QStringLiteral("al1hy 1.0")));
    QVERIFY(setCommands().contains(QStringLiteral("druck -1")));
    QCOMPARE(setCommands().last(), QStringLiteral("swr1"));
    // The device holds the file's setup now.
    QCOMPARE(cli({QStringLiteral("setup"), QStringLiteral("diff"), path}).out,
             QStringLiteral("Gerät und Datei unterscheiden sich nicht.\n"));

    // The backup holds what the device had before.
    const QStringList saved = backups();
    QCOMPARE(saved.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("/KT290-0042-\\d{8}-\\d{6}\\.txt$"))
                 .match(saved.first())
                 .hasMatch(),
             qPrintable(saved.first()));
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

    const QByteArray changed = SetupFile::encode(SetupFile::lines(twoFieldsChanged(), {}));
    SetupFields incomplete = twoFieldsChanged();
    incomplete.hysteresis2Item.clear();
    const QStringList put{"setup", "put", "FILE"};

    QTest::newRow("usage: no command")
        << QStringList() << QStringList() << QByteArray() << 1 << "Kein Befehl";
    QTest::newRow("usage: unknown option") << QStringList() << QStringList{"--schnell", "scan"}
                                           << QByteArray() << 1 << "Unbekannte Option";
    QTest::newRow("usage: setup without file")
        << QStringList() << QStringList{"setup", "get"} << QByteArray() << 1 << "genau eine Datei";
    QTest::newRow("no device: absent port")
        << QStringList() << QStringList{"--port", "ABSENT", "scan"} << QByteArray() << 2
        << "antwortet kein KT 290";
    QTest::newRow("no device: silent device")
        << QStringList{"fault silent"} << QStringList{"readout"} << QByteArray() << 2
        << "Kein KT 290 gefunden";
    QTest::newRow("no answer: no setup print")
        << QStringList{"set spr missing"} << QStringList{"setup", "get", "FILE"} << QByteArray()
        << 3 << "Setup nicht gesendet";
    QTest::newRow("no answer: no log") << QStringList{"mute log 3"} << QStringList{"log"}
                                       << QByteArray() << 3 << "Logbuch nicht gesendet";
    QTest::newRow("bad file: missing") << QStringList() << QStringList{"setup", "diff", "FILE"}
                                       << QByteArray() << 4 << "kann nicht gelesen werden";
    QTest::newRow("bad file: no setup")
        << QStringList() << put << QByteArray("Einkaufszettel\r\n") << 4 << "enthält kein Setup";
    QTest::newRow("bad file: incomplete setup")
        << QStringList() << put << SetupFile::encode(SetupFile::lines(incomplete, {})) << 4
        << "Hysterese Relais 2 / SP2";
    QTest::newRow("bad file: report not writable")
        << QStringList() << QStringList{"report", "-o", "NODIR/status.txt"} << QByteArray() << 4
        << "kann nicht geschrieben werden";
    QTest::newRow("backup folder not writable")
        << QStringList{"BACKUP_BLOCKED"} << put << changed << 4 << "Sicherung";
    QTest::newRow("backup folder not writable, --no-backup")
        << QStringList{"BACKUP_BLOCKED"} << QStringList{"setup", "put", "FILE", "--no-backup"}
        << changed << 0 << "";
    QTest::newRow("read-back differs")
        << QStringList{"ignore al1hy"} << put << changed << 5 << "anderes Setup gespeichert";
}

void TestCli::exitCodes() {
    QFETCH(QStringList, controls);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, file);
    QFETCH(int, code);
    QFETCH(QString, message);

    for (const QString &control : controls) {
        if (control == QLatin1String("BACKUP_BLOCKED")) {
            // The data folder is a file: no backup folder can be made in it.
            QFile blocker(m_dataHome);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(m_device.control(control));
        }
    }
    const QString path = m_dir->filePath(QStringLiteral("setup.txt"));
    if (!file.isEmpty())
        QCOMPARE(SetupFile::save(path, file), QString());
    for (QString &arg : args) {
        arg.replace(QStringLiteral("FILE"), path);
        arg.replace(QStringLiteral("NODIR"), m_dir->filePath(QStringLiteral("absent")));
        arg.replace(QStringLiteral("ABSENT"), m_dir->filePath(QStringLiteral("absent-port")));
    }

    const Run run = cli(args);
    QVERIFY2(run.code == code,
             qPrintable(QStringLiteral("exit %1: %2").arg(run.code).arg(run.err)));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    // A refused write sends no set command; an accepted one ends with "swr1".
    const bool written = code == 0 || code == 5;
    if (args.value(0) == QLatin1String("setup") && args.value(1) == QLatin1String("put"))
        QCOMPARE(!setCommands().isEmpty(), written);
    if (written)
        QCOMPARE(setCommands().last(), QStringLiteral("swr1"));
}

void TestCli::windowWriteMakesBackup() {
    openWindow();
    m_windows.frelais->ApplyValues(true, true, 1.0, 0.0, false);
    m_windows.feinst->ApplyValues(-1, 0.0, 0.8333, 2.5);
    QCOMPARE(SetupDifferences(deviceSetup(), m_form->setupTransfer().fields(), true).size(), 2);

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
    m_windows.frelais->ApplyValues(true, true, 1.0, 0.0, false);
    QFile blocker(m_dataHome);
    QVERIFY(blocker.open(QIODevice::WriteOnly));

    // The question's default is "Nein".
    QTimer watcher;
    QMessageBox::StandardButton defaultAnswer = QMessageBox::NoButton;
    connect(&watcher, &QTimer::timeout, this, [this, &defaultAnswer] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_boxes << box->text();
            defaultAnswer = box->standardButton(box->defaultButton());
            box->defaultButton()->click();
        }
    });
    watcher.start(50);
    m_form->BitBtnDownload->click();
    watcher.stop();
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes.first().contains(QStringLiteral("ohne Sicherung")),
             qPrintable(m_boxes.first()));
    QCOMPARE(defaultAnswer, QMessageBox::No);
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
    m_windows.frelais->ApplyValues(true, true, 0.0, 0.0, false);
    m_windows.feinst->ApplyValues(1, 0.0, 0.8333, 2.5);
    clickAnswering(m_form->BitBtnDownload, QMessageBox::Ok);
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes.first().contains(
                 QStringLiteral("mit dem Eingestellten überein. Es wurde nichts geschrieben")),
             qPrintable(m_boxes.first()));
    QCOMPARE(setCommands(), QStringList());
    QCOMPARE(backups(), QStringList());

    // Two fields differ: shown, and not written on "Abbrechen".
    m_windows.frelais->ApplyValues(true, true, 1.0, 0.0, false);
    m_windows.feinst->ApplyValues(-1, 0.0, 0.8333, 2.5);
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
    delete m_form;
    m_form = nullptr;
    m_link.reset();
    openWindow(true);
    QVERIFY(m_form->VorDemSchreibenVergleichen1->isChecked());
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
