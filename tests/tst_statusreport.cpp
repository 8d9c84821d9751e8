#include "kt290device.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include "core/diag/statusreport.h"
#include "core/link/allgem.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/ustatus.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

using Lines = QStringList;
using Potis = StatusReport::Potentiometers;
Q_DECLARE_METATYPE(Potis)

// The status report: its lines for given readings, the report through the window against a
// device in memory and against the simulator, the terminal, and saving.
class TestStatusReport : public QObject {
    Q_OBJECT

private slots:
    void errorLine_data();
    void errorLine();
    void valueLines_data();
    void valueLines();
    void bridgeSignal_data();
    void bridgeSignal();
    void burden_data();
    void burden();
    void potentiometers_data();
    void potentiometers();
    void splitLines_data();
    void splitLines();

    void currentModelReportHoldsBackInput();
    void seCurrentQuestion_data();
    void seCurrentQuestion();
    void terminal_data();
    void terminal();
    void echoLineEndsInPieces();
    void save_data();
    void save();
    void saveFailure();

    void strainGaugeReportFromDevice();
    void currentReportFromDevice();

private:
    // Builds a report against the simulator and compares it with the expected lines; the setup
    // print, versions and log come from a twin of the simulated device.
    void compareDeviceReport(const QString &type, const QStringList &controls, bool strainGauge,
                             const Lines &measured, const QStringList &commands);
};

namespace {

// What the simulated device answers to a question, as the program reads it: without the echo,
// trimmed. Used on a twin of the simulator that has been given the same control lines.
QString deviceAnswer(Kt290Device &device, const std::string &command) {
    std::string out;
    for (const char c : command + '\r')
        for (const auto &chunk : device.receiveByte(c).chunks)
            out += chunk.bytes;
    return TrimControl(
        QString::fromLatin1(out.data(), qsizetype(out.size())).mid(qsizetype(command.size())));
}

} // namespace

void TestStatusReport::errorLine_data() {
    QTest::addColumn<double>("error");
    QTest::addColumn<QString>("line");
    QTest::newRow("missing") << NoValue << "Fehler  0: kein Fehler ";
    QTest::newRow("none") << 0.0 << "Fehler  0: kein Fehler ";
    QTest::newRow("negative") << -3.0 << "Fehler  0: kein Fehler ";
    QTest::newRow("1") << 1.0 << "Fehler  1: Brückenwiderstand zu klein ";
    QTest::newRow("2.5 to even") << 2.5 << "Fehler  2: Brückenwiderstand zu groß ";
    QTest::newRow("3") << 3.0 << "Fehler  3: Brückensignal überschritten ";
    QTest::newRow("3.5 to even") << 3.5 << "Fehler  4: Brückensignal unterschritten ";
    QTest::newRow("5") << 5.0 << "Fehler  5: Brückenmittenspannung zu groß ";
    QTest::newRow("6") << 6.0 << "Fehler  6: Brückenmittenspannung zu klein ";
    QTest::newRow("rounds to 0") << 0.3 << "Fehler   unbekannter Fehler ";
    QTest::newRow("7") << 7.0 << "Fehler   unbekannter Fehler ";
    QTest::newRow("beyond 32 bits") << 1e12 << "Fehler   unbekannter Fehler ";
}

void TestStatusReport::errorLine() {
    QFETCH(double, error);
    QFETCH(QString, line);
    QCOMPARE(StatusReport::errorLine(error), line);
}

void TestStatusReport::valueLines_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("line");
    QTest::newRow("SE voltage") << "uspv" << 5.02 << "  Spannung SE+ zu SE-  5,020V";
    QTest::newRow("SE voltage missing") << "uspv" << NoValue << "  Spannung SE+ zu SE-";
    QTest::newRow("SE current") << "ispma" << 14.6 << "  Strom SE+ zu SE-  15mA";
    QTest::newRow("SE current missing") << "ispma" << NoValue << "  Strom SE+ zu SE-";
    QTest::newRow("SI voltage") << "umv" << 2.513 << "  Spannung SI+ zu SI-: 2,513mV";
    QTest::newRow("SI voltage missing") << "umv" << NoValue << "  Spannung SI+ zu SI-:";
    QTest::newRow("SI- to SE-") << "usinv" << -2.49 << "  Spannung SI- zu SE-:  -2,490V";
    QTest::newRow("SI- to SE- missing") << "usinv" << NoValue << "  Spannung SI- zu SE-:";
    QTest::newRow("current signal") << "signal" << 12.345678 << "  Signal: 12,35mA";
    QTest::newRow("current signal missing") << "signal" << NoValue << "  Signal:";
    QTest::newRow("set value") << "mas" << 7.2 << "  Sollwert: 7,20mA";
    QTest::newRow("set value missing") << "mas" << NoValue << "  Sollwert:        ";
}

void TestStatusReport::valueLines() {
    QFETCH(QString, kind);
    QFETCH(double, value);
    QFETCH(QString, line);
    const QMap<QString, QString (*)(double)> lines{
        {"uspv", &StatusReport::seVoltageLine},       {"ispma", &StatusReport::seCurrentLine},
        {"umv", &StatusReport::siVoltageLine},        {"usinv", &StatusReport::siSeVoltageLine},
        {"signal", &StatusReport::currentSignalLine}, {"mas", &StatusReport::setValueLine},
    };
    QCOMPARE(lines.value(kind)(value), line);
}

void TestStatusReport::bridgeSignal_data() {
    QTest::addColumn<double>("with");
    QTest::addColumn<double>("without");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("both") << 0.52 << 0.02
                          << Lines{"  mit Kalibrierwiderstand  0,520mV/V",
                                   "  ohne Kalibrierwiderstand 0,020mV/V",
                                   "  berechnet: Differenz 0,500mV/V",
                                   "  berechnet: 22% von Differenz 0,110mV/V",
                                   "  berechnet: ohne KT290-Widerstände -0,090mV/V"};
    // A missing reading takes no part in the arithmetic.
    QTest::newRow("with resistor missing")
        << NoValue << 0.5
        << Lines{"  mit Kalibrierwiderstand", "  ohne Kalibrierwiderstand 0,500mV/V",
                 "  berechnet: Differenz", "  berechnet: 22% von Differenz",
                 "  berechnet: ohne KT290-Widerstände"};
    QTest::newRow("without resistor missing")
        << 1.0 << NoValue
        << Lines{"  mit Kalibrierwiderstand  1,000mV/V", "  ohne Kalibrierwiderstand",
                 "  berechnet: Differenz", "  berechnet: 22% von Differenz",
                 "  berechnet: ohne KT290-Widerstände"};
}

void TestStatusReport::bridgeSignal() {
    QFETCH(double, with);
    QFETCH(double, without);
    QFETCH(Lines, lines);
    QCOMPARE(StatusReport::bridgeSignalLines(with, without), lines);
}

void TestStatusReport::burden_data() {
    QTest::addColumn<double>("ohms");
    QTest::addColumn<double>("actual");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("missing") << NoValue << 7.2 << Lines{"  Bürde:        "};
    QTest::newRow("open") << -1.0 << 7.2 << Lines{"  Bürde: >10kOhm"};
    QTest::newRow("250") << 250.0 << 7.2 << Lines{"  Istwert: 7,20mA", "  Bürde: 250Ohm"};
    QTest::newRow("250, no actual value")
        << 250.0 << NoValue << Lines{"  Istwert:        ", "  Bürde: 250Ohm"};
    QTest::newRow("-0.5 is not open")
        << -0.5 << 0.0 << Lines{"  Istwert: 0,00mA", "  Bürde: " + FormatFixed(-0.5, 5, 0) + "Ohm"};
}

void TestStatusReport::burden() {
    QFETCH(double, ohms);
    QFETCH(double, actual);
    QFETCH(Lines, lines);
    QCOMPARE(StatusReport::burdenLines(ohms, actual), lines);
}

void TestStatusReport::potentiometers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<Lines>("lines");
    const Lines allMissing{"  0        ", "  V        ", "  SP1        ", "  SP2        ",
                           "  D        "};
    QTest::newRow("complete")
        << "0: Nullpunkt=51.2%\r\n1: Verstaerkung=3.01%\r\n2: Schaltpunkt SP1=65.27%\r\n"
           "3: Schaltpunkt SP2=100%\r\n4: Daempfung= 7.73 %"
        << Lines{"  0       51,2%", "  V       3,0%", "  SP1   65,3%", "  SP2   100,0%",
                 "  D       7,7%"};
    QTest::newRow("index 3 missing") << "0: a=1%\r\n1: b=2%\r\n2: c=3%\r\n4: e=5%"
                                     << Lines{"  0       1,0%", "  V       2,0%", "  SP1   3,0%",
                                              "  SP2        ", "  D       5,0%"};
    // Every search starts behind the previous entry's "=".
    QTest::newRow("out of order") << "0: a=1%\r\n1: b=2%\r\n2: c=3%\r\n4: e=5%\r\n3: d=4%"
                                  << Lines{"  0       1,0%", "  V       2,0%", "  SP1   3,0%",
                                           "  SP2   4,0%", "  D        "};
    QTest::newRow("no number, no percent sign")
        << "0: a=x1%\r\n1: b=2,5%\r\n2: c=3%\r\n3: d=4"
        << Lines{"  0        ", "  V        ", "  SP1   3,0%", "  SP2        ", "  D        "};
    QTest::newRow("empty") << "" << allMissing;
}

void TestStatusReport::potentiometers() {
    QFETCH(QString, answer);
    QFETCH(Lines, lines);
    QCOMPARE(StatusReport::potentiometerLines(StatusReport::parsePotentiometers(answer)), lines);
}

void TestStatusReport::splitLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("empty") << "" << Lines{""};
    QTest::newRow("CR LF") << "a\r\nb" << Lines{"a", "b"};
    QTest::newRow("CR and LF alone") << "a\rb\nc" << Lines{"a", "b", "c"};
    QTest::newRow("LF CR is two") << "a\n\rb" << Lines{"a", "", "b"};
    QTest::newRow("trailing") << "a\r\n" << Lines{"a", ""};
}

void TestStatusReport::splitLines() {
    QFETCH(QString, text);
    QFETCH(Lines, lines);
    QCOMPARE(StatusReport::splitLines(text), lines);
}

// A current-input device with error 1 and a log that never comes; a key typed during the build
// waits until the report is complete, and "Aktualisieren" is held back meanwhile.
void TestStatusReport::currentModelReportHoldsBackInput() {
    const auto rig = WindowRig::onFake({
        {"name", "KT290 V1.03"},
        {"ver", "SW-Version V1.03\r\nHW-Version 2"},
        {"fehl", "fehl 1"},
        {"uspv", "uspv 24.5"},
        {"ispk", "ispk 48"},
        {"ispma", "ispma 14"},
        {"mvv0", "mvv0 12.5"},
        {"mas", "mas 12.5"},
        {"rar", "rar 250"},
        {"maist", "maist 12.43"},
        {"poti", "0: N=50%\r\n1: V=3%\r\n2: S1=20.2%\r\n3: S2=80%\r\n4: D=7.5%"},
        {"spr", " Version: 3   Ort: 4\r\n poti[0]: 5000"},
    });
    QVERIFY(rig->opened());
    rig->setStrainGauge(false);
    Tfstatus *status = rig->windows.fstatus;

    bool heldDuringBuild = false;
    QTimer::singleShot(1500, status, [&] {
        heldDuringBuild = status->isBuilding() && !status->Aktualisieren1->isEnabled();
        status->FormKeyPress(QLatin1Char('x'));
        status->Aktualisieren1Click();
    });
    status->Timer1Timer();

    QVERIFY(heldDuringBuild);
    QVERIFY(status->Aktualisieren1->isEnabled());
    // The held key goes out after the report; its echo may already sit on the last line.
    Lines lines = status->memoLines();
    QVERIFY2(lines.last() == QString() || lines.last() == QStringLiteral("x"),
             qPrintable(lines.last()));
    lines.last().clear();
    QCOMPARE(lines, (Lines{"--- KT290 Status Anfang ---",
                           "KT290 V1.03",
                           "SW-Version V1.03",
                           "HW-Version 2",
                           "Fehler  1: Brückenwiderstand zu klein ",
                           "Eingang",
                           "  Spannung SE+ zu SE-  24,500V",
                           "  Strom SE+ zu SE-  48mA",
                           "  Signal: 12,50mA",
                           "Ausgang",
                           "  Sollwert: 12,50mA",
                           "  Istwert: 12,43mA",
                           "  Bürde: 250Ohm",
                           "Potentiometer",
                           "  0       50,0%",
                           "  V       3,0%",
                           "  SP1   20,2%",
                           "  SP2   80,0%",
                           "  D       7,5%",
                           "",
                           "Version: 3   Ort: 4",
                           " poti[0]: 5000",
                           "LogFile",
                           "",
                           "--- KT290 Status Ende ---",
                           ""}));
    // One fetch of the log (the query's two attempts), no calibration resistor, no SI values;
    // the key did not get into any command.
    QCOMPARE(rig->fakeCommands(), (QStringList{"name", "ver", "fehl", "uspv", "ispk", "mvv0", "mas",
                                               "rar", "maist", "poti", "spr", "log", "log"}));
    QVERIFY(!rig->windows.flogfile->Timer1->isActive());
    QCOMPARE(rig->device->writes.last().bytes, QByteArray("x"));
    // A refresh asked for during the build started nothing.
    QVERIFY(!status->Timer1->isActive());
}

void TestStatusReport::seCurrentQuestion_data() {
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("line");
    QTest::newRow("error 1") << QByteArray("fehl 1") << "ispk"
                             << "  Strom SE+ zu SE-  48mA";
    QTest::newRow("error 2") << QByteArray("fehl 2") << "ispma"
                             << "  Strom SE+ zu SE-  14mA";
    QTest::newRow("1.4, not exactly 1") << QByteArray("fehl 1.4") << "ispma"
                                        << "  Strom SE+ zu SE-  14mA";
    QTest::newRow("no error answer") << QByteArray() << "ispma"
                                     << "  Strom SE+ zu SE-  14mA";
}

// The SE current comes from "ispk" with error 1 only. The device goes after that question, so
// the rest of the report ends at once.
void TestStatusReport::seCurrentQuestion() {
    QFETCH(QByteArray, error);
    QFETCH(QString, question);
    QFETCH(QString, line);
    const auto rig = WindowRig::onFake();
    QVERIFY(rig->opened());
    FakeSerialPort *device = rig->device;
    const QMap<QByteArray, QByteArray> answers{{"name", "KT290"},   {"ver", "SW-Version 1"},
                                               {"fehl", error},     {"uspv", "uspv 24.5"},
                                               {"ispk", "ispk 48"}, {"ispma", "ispma 14"}};
    device->answer = [device, answers](const QByteArray &command) -> QByteArray {
        if (!answers.contains(command)) {
            QTimer::singleShot(0, device, &FakeSerialPort::pullPlug);
            return {};
        }
        const QByteArray answer = answers.value(command);
        return answer.isEmpty() ? QByteArray() : answer + "\r\n";
    };
    QStringList lines;
    QVERIFY(rig->windows.form1->conversation().run(
        DeviceConversation::Operation::StatusReport, [&lines](DeviceProtocol &protocol) {
            StatusReport(protocol, false, {}, [&lines](const QString &text) {
                lines << text;
            }).build();
        }));

    const QStringList commands = rig->fakeCommands();
    QCOMPARE(commands.value(commands.indexOf(QStringLiteral("uspv")) + 1), question);
    QVERIFY2(lines.contains(line), qPrintable(lines.join(QLatin1Char('|'))));
}

void TestStatusReport::terminal_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<Lines>("after");
    QTest::newRow("after a report") << "--- KT290 Status Ende ---\n"
                                    << Lines{"--- KT290 Status Ende ---", "fehl", "fehl 0", ""};
    QTest::newRow("empty memo") << "" << Lines{"fehl", "fehl 0", ""};
}

// f, e, h, l and Enter go out one by one, paced; echo and answer continue the last line.
void TestStatusReport::terminal() {
    QFETCH(QString, before);
    QFETCH(Lines, after);
    const auto rig = WindowRig::onFake({{"fehl", "fehl 0"}});
    QVERIFY(rig->opened());
    Tfstatus *status = rig->windows.fstatus;
    status->Memo1->setPlainText(before);

    for (const Qt::Key key : {Qt::Key_F, Qt::Key_E, Qt::Key_H, Qt::Key_L})
        QTest::keyClick(status, key);
    QTest::keyClick(status, Qt::Key_Return);

    QVERIFY(status->Timer2->isActive());
    const QList<FakeSerialPort::Write> writes = rig->device->writes;
    QCOMPARE(writes.size(), 5);
    QByteArray sent;
    for (qsizetype i = 0; i < writes.size(); ++i) {
        sent += writes[i].bytes;
        if (i > 0)
            QVERIFY2(writes[i].atMs - writes[i - 1].atMs >= 45, "characters not paced");
    }
    QCOMPARE(sent, QByteArray("fehl\r"));
    QTRY_COMPARE(status->memoLines(), after);
    QVERIFY(rig->link->ComRxText.isEmpty());

    // What the device sends shows at the terminal timer's next tick (every 50 ms): a character
    // that arrives just after one tick is there at the next, not half a second later.
    QElapsedTimer clock;
    QList<qint64> shownAtMs;
    QObject watcher;
    connect(status->Memo1->document(), &QTextDocument::contentsChanged, &watcher, [&] {
        shownAtMs << clock.elapsed();
        if (shownAtMs.size() == 1)
            rig->device->incoming += "1";
    });
    clock.start();
    rig->device->incoming += "0";
    QTRY_COMPARE(shownAtMs.size(), 2);
    QVERIFY2(shownAtMs[1] - shownAtMs[0] < 300,
             qPrintable(QStringLiteral("%1 ms").arg(shownAtMs[1] - shownAtMs[0])));
    QCOMPARE(status->memoLines().last(), QStringLiteral("01"));
}

void TestStatusReport::echoLineEndsInPieces() {
    const auto rig = WindowRig::onFake();
    Tfstatus *status = rig->windows.fstatus;
    status->Memo1->setPlainText(QStringLiteral("Ende\n"));
    for (const char *piece : {"fe", "hl\r", "\nfehl 0\r", "\n", "\n"}) {
        rig->link->ComRxText = QString::fromLatin1(piece);
        status->Timer2Timer();
    }
    QCOMPARE(status->memoLines(), (Lines{"Ende", "fehl", "fehl 0", "", ""}));
}

void TestStatusReport::save_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "bericht"
                                  << "bericht.txt";
    QTest::newRow("with extension") << "bericht.log"
                                    << "bericht.log";
    QTest::newRow("existing file replaced") << "alt.txt"
                                            << "alt.txt";
}

// Windows-1252, CR LF after every line, no byte-order mark; the device's identity first (here
// without a report read, each value a dash), then the memo.
void TestStatusReport::save() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QTemporaryDir dir;
    QFile old(dir.filePath(QStringLiteral("alt.txt")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("a much longer old report that must not survive\r\n");
    old.close();

    const auto rig = WindowRig::onFake();
    Tfstatus *status = rig->windows.fstatus;
    status->Memo1->setPlainText(QStringLiteral("  Bürde: 250Ohm\n002 Setup geändert\n"));
    status->setSaveFileNameChooser([&] { return dir.filePath(chosen); });
    MessageBoxCatcher boxes;
    QSignalSpy saved(status, &Tfstatus::reportSaved);
    status->Speichernunter1Click();
    // Told to the device history.
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.first().first().toString(), dir.filePath(written));

    QFile file(dir.filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The memo's lines as they stand, nothing before them: other tools read these files.
    QCOMPARE(file.readAll(), QByteArray("  B\xFCrde: 250Ohm\r\n002 Setup ge\xE4ndert\r\n\r\n"));
    QVERIFY(boxes.texts.isEmpty());
}

void TestStatusReport::saveFailure() {
    QTemporaryDir dir;
    const auto rig = WindowRig::onFake();
    Tfstatus *status = rig->windows.fstatus;
    status->Memo1->setPlainText(QStringLiteral("Bericht"));
    const QString path = dir.filePath(QStringLiteral("fehlt/bericht"));
    status->setSaveFileNameChooser([&] { return path; });
    MessageBoxCatcher boxes;
    status->Speichernunter1Click();
    QCOMPARE(boxes.texts.size(), 1);
    const QString start = QStringLiteral("Datei \"%1.txt\" kann nicht erstellt werden. ")
                              .arg(QDir::toNativeSeparators(path));
    QVERIFY2(boxes.texts.first().startsWith(start), qPrintable(boxes.texts.first()));
    QVERIFY(boxes.texts.first().size() > start.size()); // the system's reason follows

    // A cancelled dialog writes nothing and says nothing.
    status->setSaveFileNameChooser([] { return QString(); });
    status->Speichernunter1Click();
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestStatusReport::compareDeviceReport(const QString &type, const QStringList &controls,
                                           bool strainGauge, const Lines &measured,
                                           const QStringList &commands) {
    SimulatorProcess simulator;
    QVERIFY(simulator.start({QStringLiteral("--type"), type}));
    Kt290Device twin(*Kt290Device::parseType(type.toStdString()));
    for (const QString &line : controls) {
        QVERIFY2(simulator.control(line), qPrintable(line));
        std::string error;
        QVERIFY(twin.control(line.toStdString(), error));
    }
    const auto rig = WindowRig::onPort(simulator.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(strainGauge);

    // Opened from the menu as the user does; "Schließen" once the report is complete.
    Tfstatus *status = rig->windows.fstatus;
    QTimer closer;
    connect(&closer, &QTimer::timeout, status, [status] {
        if (!status->isBuilding() && status->memoLines().contains("--- KT290 Status Ende ---"))
            status->Schlieen1->trigger();
    });
    closer.start(100);
    QTimer::singleShot(60000, status, &QDialog::reject); // never hang the test run
    rig->windows.form1->Status1Click();
    QVERIFY(status->isHidden());

    Lines expected{QStringLiteral("--- KT290 Status Anfang ---")};
    expected << deviceAnswer(twin, "name") << StatusReport::splitLines(deviceAnswer(twin, "ver"));
    expected << measured << QString() << StatusReport::splitLines(deviceAnswer(twin, "spr"));
    expected << QStringLiteral("LogFile")
             << StatusReport::splitLines(deviceAnswer(twin, "log")).mid(1);
    expected << QStringLiteral("--- KT290 Status Ende ---") << QString();
    const Lines lines = status->memoLines();
    for (qsizetype i = 0; i < std::min(lines.size(), expected.size()); ++i)
        QCOMPARE(lines.at(i), expected.at(i));
    QCOMPARE(lines.size(), expected.size());
    QCOMPARE(simulator.commands(), commands);
}

// The simulator's strain-gauge device with error 1, an open output and no potentiometer 3.
void TestStatusReport::strainGaugeReportFromDevice() {
    compareDeviceReport(QStringLiteral("X1"), {"set fehl 1", "set rar -1", "set poti3 missing"},
                        true,
                        {"Fehler  1: Brückenwiderstand zu klein ",
                         "Eingang",
                         "  Spannung SE+ zu SE-  5,020V",
                         "  Strom SE+ zu SE-  48mA",
                         "  Spannung SI+ zu SI-: 2,513mV",
                         "  Spannung SI- zu SE-:  2,490V",
                         "  Signal:",
                         "  mit Kalibrierwiderstand  1,000mV/V",
                         "  ohne Kalibrierwiderstand 0,500mV/V",
                         "  berechnet: Differenz 0,500mV/V",
                         "  berechnet: 22% von Differenz 0,110mV/V",
                         "  berechnet: ohne KT290-Widerstände 0,390mV/V",
                         "Ausgang",
                         "  Sollwert: 7,20mA",
                         "  Bürde: >10kOhm",
                         "Potentiometer",
                         "  0       51,4%",
                         "  V       3,0%",
                         "  SP1   65,3%",
                         "  SP2        ",
                         "  D       7,7%"},
                        {"name", "ver", "fehl", "uspv", "ispk", "umv", "usinv", "kalr 1", "mvv0",
                         "kalr 0", "mvv0", "mas", "rar", "poti", "spr", "log"});
}

// The simulator's current-input device with a 250 Ω burden, whose potentiometer answer comes
// only at the second question.
void TestStatusReport::currentReportFromDevice() {
    compareDeviceReport(QStringLiteral("X2"),
                        {"set mvv0 15.5", "set rar 250", "set uspv 23.8", "mute poti 2"}, false,
                        {"Fehler  0: kein Fehler ", "Eingang", "  Spannung SE+ zu SE-  23,800V",
                         "  Strom SE+ zu SE-  14mA", "  Signal: 15,50mA", "Ausgang",
                         "  Sollwert: 15,50mA", "  Istwert: 15,50mA", "  Bürde: 250Ohm",
                         "Potentiometer", "  0       51,4%", "  V       3,0%", "  SP1   65,3%",
                         "  SP2   51,8%", "  D       7,7%"},
                        {"name", "ver", "fehl", "uspv", "ispma", "mvv0", "mas", "rar", "maist",
                         "poti", "poti", "poti", "spr", "log"});
}

QTEST_MAIN(TestStatusReport)
#include "tst_statusreport.moc"
