#include "core/device/deviceconversation.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "gui/setup/ueinst.h"
#include "gui/setup/urelais.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <functional>

namespace {

// What a strain-gauge device (the simulator's X1 as it starts) receives in each operation when
// nothing interferes. A question that got no answer in time is asked again at once; such
// repeats are folded before comparing.
const QStringList Readout{"inpmv",  "ver",  "fnr", "tasp",  "fehl",  "kalr 1", "mvv0",
                          "kalr 0", "mvv0", "mas", "al1ma", "al2ma", "P2"};
const QStringList DefaultSetupWrite{"R1POL 0",  "R2POL 0",   "al1hy 0.0",  "al2hy 0.0", "druck 1",
                                    "vpoa 2.0", "vpoe 0.83", "nullpo 0.0", "sich 0",    "swr1"};
const QStringList Report{"name",  "ver",    "fehl", "uspv",   "ispma", "umv",
                         "usinv", "kalr 1", "mvv0", "kalr 0", "mvv0",  "mas",
                         "rar",   "maist",  "poti", "spr",    "log"};
const QStringList FirstSimulationRun{"input 1", "kalr 1",  "mvv0", "kalr 0", "mvv0",  "input 1",
                                     "mvv0",    "maaus 1", "mas",  "al1ma",  "al2ma", "P2"};

QStringList folded(const QStringList &commands) {
    static const QRegularExpression setCommand(QStringLiteral("^(kalr|input|maaus) "));
    QStringList result;
    for (const QString &command : commands)
        if (result.isEmpty() || result.last() != command || setCommand.match(command).hasMatch())
            result << command;
    return result;
}

struct OperationCase {
    const char *name;
    // The command whose arrival at the device starts the interference.
    const char *trigger;
    QStringList expected;
    // What the device must receive when the operation stops: "kalr 0" after a "kalr 1" comes
    // by itself; a simulation is ended with "res".
    bool endsWithReset;
};

} // namespace

// While one operation talks to the device, the user clicks other device controls, closes the
// operation's window, presses "Trennen" or ends the program, or a window's timer fires. The
// device must receive whole commands, no exchange inside another, and "kalr 0" after every
// "kalr 1"; afterwards the controls are as they should be and "Verbinden" finds the device at
// once.
class TestConversation : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void interference_data();
    void interference();
    void scanInterference_data();
    void scanInterference();
    void incompleteSetupIsNotWritten();
    void readoutFillsAsItGoes();
    void calibrationPauses_data();
    void calibrationPauses();

private:
    void openWindows();
    // "Verbinden" to the simulator: empty once connected, else what the window and the device
    // saw (a scan that fails under load must say why).
    QString connectTo(SimulatorProcess &device);
    void startOperation(const QString &operation);
    // The window of an operation; nothing for the main window's own.
    QDialog *dialogOf(const QString &operation) const;
    void interfere(const QString &action, QDialog *window);
    void checkControls();
    void checkReconnect(SimulatorProcess &device);

    std::unique_ptr<WindowRig> m_rig;
    Tform1 *m_form = nullptr;
    std::unique_ptr<MessageBoxCatcher> m_boxAnswerer;
};

void TestConversation::init() {
    openWindows();
    // Message boxes ("Kein KT 290 gefunden", the default setup's note) are answered.
    m_boxAnswerer = std::make_unique<MessageBoxCatcher>(50);
}

// A new run of the program: link, conversation and windows.
void TestConversation::openWindows() {
    m_rig.reset();
    m_rig = WindowRig::make({});
    m_form = m_rig->form();
    m_form->show();
}

void TestConversation::cleanup() {
    m_boxAnswerer.reset();
    m_rig.reset();
    m_form = nullptr;
    qunsetenv("VTK290_PORTS");
}

QString TestConversation::connectTo(SimulatorProcess &device) {
    qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
    QElapsedTimer clock;
    clock.start();
    m_form->BitBtnVerbinden->click();
    if (m_form->isConnected())
        return {};
    return QStringLiteral("not connected after %1 ms; status \"%2\"; the device received: %3")
        .arg(clock.elapsed())
        .arg(m_form->statusPanelText(0), device.commands().join(QStringLiteral(" | ")));
}

void TestConversation::interference_data() {
    const OperationCase Operations[] = {
        {"read-out", "kalr 1", Readout, false},
        {"setup read", "spr", {"spr"}, false},
        // The device's setup is read for the backup before the first set command.
        {"setup write", "R2POL 0", QStringList{"spr"} + DefaultSetupWrite + Readout, false},
        {"status report", "kalr 1", Report, false},
        {"log", "log", {"log"}, false},
        {"simulation", "kalr 1", FirstSimulationRun, true},
    };
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("endsWithReset");
    for (const OperationCase &operation : Operations)
        for (const char *action :
             {"another device control", "window closed", "Trennen", "program end", "timer"})
            QTest::addRow("%s, %s", operation.name, action)
                << QString::fromLatin1(operation.name) << QString::fromLatin1(action)
                << QString::fromLatin1(operation.trigger) << operation.expected
                << operation.endsWithReset;
}

void TestConversation::interference() {
    QFETCH(QString, operation);
    QFETCH(QString, action);
    QFETCH(QString, trigger);
    QFETCH(QStringList, expected);
    QFETCH(bool, endsWithReset);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X1")}));
    const QString notConnected = connectTo(device);
    QVERIFY2(notConnected.isEmpty(), qPrintable(notConnected));
    if (operation == QLatin1String("setup write"))
        m_form->Default1Click();
    QDialog *window = dialogOf(operation);
    const qsizetype before = device.commands().size();

    // The interference comes the moment the trigger command has reached the device.
    bool interfered = false;
    QElapsedTimer sinceInterference;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (interfered || !device.commands().mid(before).contains(trigger))
            return;
        interfered = true;
        sinceInterference.start();
        interfere(action, window);
    });
    watch.start(20);
    // A dialog is closed once the interference has come and its operation has ended.
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (window && interfered && !m_rig->conversation().isBusy() && window->isVisible())
            window->close();
    });
    closer.start(100);
    startOperation(operation);
    QTRY_VERIFY_WITH_TIMEOUT(interfered, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_rig->conversation().isBusy(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window || !window->isVisible(), 5000);
    watch.stop();
    closer.stop();

    const bool stopping = action == QLatin1String("Trennen") ||
                          action == QLatin1String("program end") ||
                          action == QLatin1String("window closed");
    const bool programEnded = action == QLatin1String("program end") ||
                              (action == QLatin1String("window closed") && !window);
    // A setup write whose first set command is out is finished through "swr1" first.
    const bool finishesWrite = stopping && operation == QLatin1String("setup write");
    if (programEnded) {
        // The program ends within its bound, with the port closed, and asks nothing more.
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->isVisible(), 4000);
        QVERIFY2(sinceInterference.elapsed() < (finishesWrite ? 10000 : 3500),
                 qPrintable(QString::number(sinceInterference.elapsed())));
        QVERIFY(!m_rig->link->ComHandleValid());
        const qsizetype atEnd = device.commands().size();
        WaitSeconds(1.5);
        QCOMPARE(device.commands().size(), atEnd);
    }

    const QStringList received = device.commands().mid(before);
    for (const QString &command : received)
        QVERIFY2(isWholeCommand(command), qPrintable(received.join(" | ")));
    // Nothing but the operation's own commands, in its order; a stopped operation ends after
    // "kalr 0" where it had switched the resistor on, and a simulation with "res".
    QStringList sent = folded(received);
    if (endsWithReset) {
        QVERIFY2(!sent.isEmpty() && sent.last() == QLatin1String("res"),
                 qPrintable(sent.join(" | ")));
        sent.removeLast();
    }
    qsizetype matched = 0;
    while (matched < sent.size() && matched < expected.size() &&
           sent.at(matched) == expected.at(matched))
        ++matched;
    const QStringList rest = sent.mid(matched);
    const bool resistorOn = expected.mid(0, matched).count(QStringLiteral("kalr 1")) >
                            expected.mid(0, matched).count(QStringLiteral("kalr 0"));
    QCOMPARE(rest, resistorOn ? QStringList{QStringLiteral("kalr 0")} : QStringList());
    // A stopped operation finishes at most the command under way when the stop came.
    if (!stopping)
        QCOMPARE(matched, expected.size());
    else if (finishesWrite)
        QCOMPARE(matched, expected.indexOf(QStringLiteral("swr1")) + 1);
    else
        QVERIFY2(matched <= expected.indexOf(trigger) + 2, qPrintable(sent.join(" | ")));

    if (programEnded) {
        openWindows();
    } else {
        checkControls();
        QCOMPARE(m_form->isConnected(), !stopping || action == QLatin1String("window closed"));
    }
    checkReconnect(device);
}

void TestConversation::startOperation(const QString &operation) {
    if (operation == QLatin1String("read-out"))
        m_form->BitBtnAktualisieren->click();
    else if (operation == QLatin1String("setup read"))
        m_form->BitBtnUpload->click();
    else if (operation == QLatin1String("setup write"))
        m_form->BitBtnDownload->click();
    else if (operation == QLatin1String("status report"))
        m_form->Status1->trigger();
    else if (operation == QLatin1String("log"))
        m_form->Logfile1->trigger();
    else if (operation == QLatin1String("simulation"))
        m_form->Simulation1->trigger();
}

QDialog *TestConversation::dialogOf(const QString &operation) const {
    if (operation == QLatin1String("status report"))
        return m_rig->windows.fstatus;
    if (operation == QLatin1String("log"))
        return m_rig->windows.flogfile;
    if (operation == QLatin1String("simulation"))
        return m_rig->windows.fsimul;
    return nullptr;
}

void TestConversation::interfere(const QString &action, QDialog *window) {
    if (action == QLatin1String("another device control")) {
        // Clicks that reach a disabled control do nothing; handlers called all the same are
        // refused by the device conversation.
        // ("Trennen" stays enabled: it is a row of its own.)
        for (QPushButton *button :
             {m_form->BitBtnAktualisieren, m_form->BitBtnUpload, m_form->BitBtnDownload})
            button->click();
        for (QAction *item : {m_form->Logfile1, m_form->Simulation1, m_form->Status1})
            item->trigger();
        m_form->BitBtnAktualisierenClick(m_form->BitBtnAktualisieren);
        m_form->BitBtnUploadClick();
        m_form->BitBtnDownloadClick();
        m_rig->windows.fstatus->Aktualisieren1->trigger();
        m_rig->windows.fstatus->Aktualisieren1Click();
        m_rig->windows.fsimul->Button1->click();
        m_rig->windows.fsimul->Button1Click();
    } else if (action == QLatin1String("window closed")) {
        (window ? static_cast<QWidget *>(window) : m_form)->close();
    } else if (action == QLatin1String("Trennen")) {
        // The real button: it stays enabled while the operation runs, except during the scan.
        if (m_rig->conversation().operation() == DeviceConversation::Operation::Scan) {
            QVERIFY(!m_form->BitBtnVerbinden->isEnabled());
            m_form->BitBtnVerbindenClick();
        } else {
            QVERIFY(m_form->BitBtnVerbinden->isEnabled());
            QCOMPARE(m_form->BitBtnVerbinden->text(), QStringLiteral("Trennen"));
            m_form->BitBtnVerbinden->click();
            // A write that has begun says at once that it is being finished, at every click.
            if (m_rig->conversation().operation() == DeviceConversation::Operation::SetupWrite) {
                QVERIFY(m_rig->conversation().isFinishingWrite());
                for (int click = 0; click < 2; ++click) {
                    QCOMPARE(m_form->statusPanelText(0),
                             QStringLiteral("Das Setup wird noch fertig geschrieben …"));
                    m_form->setStatusPanelText(0, QString());
                    m_form->BitBtnVerbinden->click();
                }
            }
        }
    } else if (action == QLatin1String("program end")) {
        m_form->ButtonBeenden->click();
    } else if (action == QLatin1String("timer")) {
        m_rig->windows.flogfile->Timer1Timer();
        m_rig->windows.fstatus->Timer1Timer();
        m_rig->windows.fsimul->Timer1Timer();
    }
}

// Every device control is enabled exactly while the device is connected and nothing runs.
void TestConversation::checkControls() {
    const bool connected = m_form->isConnected();
    QVERIFY(m_form->ProgressBar1->isHidden());
    QVERIFY(m_form->BitBtnVerbinden->isEnabled());
    for (QPushButton *button :
         {m_form->BitBtnAktualisieren, m_form->BitBtnUpload, m_form->BitBtnDownload})
        QCOMPARE(button->isEnabled(), connected);
    for (QAction *item : {m_form->Logfile1, m_form->Simulation1, m_form->Status1})
        QCOMPARE(item->isEnabled(), connected);
    QCOMPARE(m_rig->windows.fstatus->Aktualisieren1->isEnabled(), connected);
    QVERIFY(m_rig->windows.fsimul->Button1->isEnabled());
    QVERIFY(m_rig->windows.fsimul->ProgressBar1->isHidden());
}

// The device's input line holds no rest of a cut command: a new "Verbinden" finds it with the
// first question.
void TestConversation::checkReconnect(SimulatorProcess &device) {
    if (m_form->isConnected()) {
        m_form->BitBtnVerbinden->click();
        QVERIFY(!m_form->isConnected());
    }
    const qsizetype before = device.commands().size();
    const QString notConnected = connectTo(device);
    QVERIFY2(notConnected.isEmpty(), qPrintable(notConnected));
    const QStringList received = device.commands().mid(before);
    QVERIFY2(received.size() >= 2 && received.at(0) == QLatin1String("Name") &&
                 received.at(1) == QLatin1String("inpmv"),
             qPrintable(received.join(" | ")));
}

void TestConversation::scanInterference_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("programEnds");
    QTest::newRow("another device control") << "another device control" << false;
    QTest::newRow("window closed") << "window closed" << true;
    QTest::newRow("Trennen") << "Trennen" << false;
    QTest::newRow("program end") << "program end" << true;
    QTest::newRow("timer") << "timer" << false;
}

// The scan asks a silent COM1 before it finds the device on COM2. Ended while it asks COM1,
// the program opens no further port; anything else leaves the scan alone.
void TestConversation::scanInterference() {
    QFETCH(QString, action);
    QFETCH(bool, programEnds);
    SimulatorProcess silent;
    QVERIFY(silent.start({QStringLiteral("--fault"), QStringLiteral("silent")}));
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X1")}));
    qputenv("VTK290_PORTS",
            (silent.portPath() + QLatin1Char(':') + device.portPath()).toLocal8Bit());

    QTimer::singleShot(600, this, [&] { interfere(action, nullptr); });
    QElapsedTimer clock;
    clock.start();
    m_form->BitBtnVerbinden->click();

    for (const QString &command : silent.commands())
        QCOMPARE(command, QStringLiteral("Name"));
    if (programEnds) {
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->isVisible(), 4000);
        QVERIFY2(clock.elapsed() < 600 + 3500, qPrintable(QString::number(clock.elapsed())));
        WaitSeconds(1.0);
        QCOMPARE(device.openCount(), 0);
        QVERIFY(device.commands().isEmpty());
        openWindows();
        qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
        const QString notConnected = connectTo(device);
        QVERIFY2(notConnected.isEmpty(), qPrintable(notConnected));
        QCOMPARE(device.commands().mid(0, 2), (QStringList{"Name", "inpmv"}));
        return;
    }
    QVERIFY(m_form->isConnected());
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("Verbunden mit KT 290 an COM2"));
    QCOMPARE(folded(device.commands()), QStringList{"Name"} + Readout);
    checkControls();
}

// After a read that brought no setup, the dialogs are without values: a write is refused with
// a box that names what is missing, and nothing goes to the device.
void TestConversation::incompleteSetupIsNotWritten() {
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X1")}));
    const QString notConnected = connectTo(device);
    QVERIFY2(notConnected.isEmpty(), qPrintable(notConnected));
    QVERIFY(device.control(QStringLiteral("mute spr 2")));
    m_form->BitBtnUpload->click();
    QCOMPARE(m_rig->windows.frelais->ComboBoxAl1Hy->currentIndex(), -1);

    m_boxAnswerer->stop();
    MessageBoxCatcher catcher;
    const qsizetype before = device.commands().size();
    m_form->BitBtnDownload->click();
    WaitSeconds(0.5);

    QCOMPARE(device.commands().mid(before), QStringList());
    QCOMPARE(catcher.boxes.size(), 1);
    const QString shown =
        catcher.boxes.first().title + QLatin1Char('|') + catcher.boxes.first().text;
    for (const char *part : {"Setup unvollständig|", "Hysterese Relais 1 / SP1",
                             "Hysterese Relais 2 / SP2", "V - Poti links", "V - Poti rechts",
                             "0 - Poti", "Funktion", "Setup vom Gerät lesen", "Öffnen", "Default"})
        QVERIFY2(shown.contains(QString::fromUtf8(part)), qPrintable(shown));
    QVERIFY(m_form->BitBtnDownload->isEnabled());

    // The default setup is complete: it is written after the backup's "spr".
    m_form->Default1Click();
    m_form->BitBtnDownload->click();
    QCOMPARE(device.commands().mid(before, DefaultSetupWrite.size() + 1),
             QStringList{"spr"} + DefaultSetupWrite);
}

// The type, the panel and the strain-gauge mark (whose menu item waits for the end of the
// read-out) show right after "inpmv"; each field as its answer arrives.
void TestConversation::readoutFillsAsItGoes() {
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X1")}));
    const QString notConnected = connectTo(device);
    QVERIFY2(notConnected.isEmpty(), qPrintable(notConnected));
    const qsizetype before = device.commands().size();
    QStringList seen;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        const QStringList received = device.commands().mid(before);
        if (received.contains(QStringLiteral("ver")) && seen.isEmpty())
            seen << m_form->StaticTextTyp->text() + QLatin1Char('|') +
                        QString::number(m_form->Panel1->isVisible()) + QLatin1Char('|') +
                        QString::number(m_rig->conversation().isStrainGauge()) + QLatin1Char('|') +
                        m_form->StaticTextSwVersion->text();
        if (received.contains(QStringLiteral("kalr 1")) && seen.size() == 1)
            seen << m_form->StaticTextFnr->text() + QLatin1Char('|') + m_form->StaticTextMv->text();
        if (received.contains(QStringLiteral("al1ma")) && seen.size() == 2)
            seen << m_form->StaticTextMv->text() + QLatin1Char('|') + m_form->StaticTextMa->text() +
                        QLatin1Char('|') + m_form->StaticTextSp1->text();
    });
    watch.start(20);
    m_form->BitBtnAktualisieren->click();

    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen.at(0), QStringLiteral("KT 290.X1 - DMS-Schaltverstärker|1|1|"));
    QCOMPARE(seen.at(1), QStringLiteral("2901|"));
    QCOMPARE(seen.at(2), QStringLiteral("0,390mV/V|7,20mA|"));
}

void TestConversation::calibrationPauses_data() {
    QTest::addColumn<QString>("operation");
    QTest::newRow("read-out") << "read-out";
    QTest::newRow("status report") << "status report";
    QTest::newRow("simulation offset") << "simulation";
}

// After "kalr 1" and after "kalr 0" the device needs a second before it measures: from the end
// of each (its CR) to the first character of the next "mvv0", as the device records it.
void TestConversation::calibrationPauses() {
    QFETCH(QString, operation);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X1")}));
    const QString notConnected = connectTo(device);
    QVERIFY2(notConnected.isEmpty(), qPrintable(notConnected));
    const double start = device.bytes().isEmpty() ? 0.0 : device.bytes().last().first;
    QDialog *window = dialogOf(operation);
    if (window) {
        QTimer closer;
        bool ran = false;
        connect(&closer, &QTimer::timeout, window, [&] {
            ran = ran || m_rig->conversation().isBusy();
            if (ran && !m_rig->conversation().isBusy())
                window->close();
        });
        closer.start(100);
        startOperation(operation);
    } else {
        startOperation(operation);
    }

    QByteArray line;
    double lastCr = -1;
    QStringList pauses;
    int checked = 0;
    QString previous;
    for (const auto &[seconds, byte] : device.bytes()) {
        if (seconds <= start)
            continue;
        if (line.isEmpty() && byte == 'm' && previous.startsWith(QLatin1String("kalr "))) {
            pauses << QStringLiteral("%1 %2").arg(previous).arg(seconds - lastCr, 0, 'f', 3);
            QVERIFY2(seconds - lastCr >= 1.0, qPrintable(pauses.join(", ")));
            ++checked;
        }
        if (byte == '\r') {
            previous = QString::fromLatin1(line);
            lastCr = seconds;
            line.clear();
        } else {
            line += byte;
        }
    }
    QCOMPARE(checked, 2);
}

QTEST_MAIN(TestConversation)
#include "tst_conversation.moc"
