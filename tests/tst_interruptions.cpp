#include "clirun.h"
#include "core/device/deviceconversation.h"
#include "core/setup/currentsetup.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/setup/setuptransfer.h"
#include "core/system/filewriter.h"
#include "core/system/interruptsignals.h"
#include "gui/diag/ulive.h"
#include "gui/diag/ustatus.h"
#include "gui/setup/setupactions.h"
#include "simulatedkt290.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

// Interruptions as a technician meets them: Ctrl+C, SIGTERM and SIGHUP to both programs, a
// device that answers late, controls that would open a window or change the setup while the
// device is busy, "Trennen", a busy port and a port lost in the middle of a write. The device
// must end in a known state: every command whole, "kalr 0" after every "kalr 1", a started setup
// write finished through "swr1" (unless forced), and the next program finds it at once.
class TestInterruptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cliSignals_data();
    void cliSignals();
    void windowSignals_data();
    void windowSignals();
    void windowProgramExitCode();
    void lateAnswers_data();
    void lateAnswers();
    void lateReport();
    void nothingHaltsAnOperation_data();
    void nothingHaltsAnOperation();
    void liveCsvDialogLetsTheViewRun();
    void statusWindowWaitsForConnection();
    void typedKeysLeaveNoPrefix();
    void busyPort();
    void windowWriteCutByLostPort();
    // Last: its grace cuts every wait of the process that runs it (one process per row).
    void endsWithinGrace_data();
    void endsWithinGrace();

private:
    void sendSignal(qint64 pid, const QString &name);
    bool waitForCommand(const QRegularExpression &trigger, qsizetype from, int timeoutMs);
    QString receivedText() const;
    QString setupFile();
    void openWindow();
    void checkDeviceLeftWhole(qsizetype from);
    void checkNextScanFindsDevice();

    SimulatorProcess m_device;
    std::unique_ptr<QTemporaryDir> m_dir;
    Cli m_cli;
    std::unique_ptr<WindowRig> m_rig;
    Tform1 *m_form = nullptr;
};

namespace {

const QStringList SetCommandNames{"R1POL", "R2POL", "al1hy",  "al2hy", "druck",
                                  "vpoa",  "vpoe",  "nullpo", "sich"};

int setCommandCount(const QStringList &commands) {
    int count = 0;
    for (const QString &command : commands)
        count += SetCommandNames.contains(command.section(QLatin1Char(' '), 0, 0));
    return count;
}

QRegularExpression commandPattern(const QString &pattern) {
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'));
}

} // namespace

void TestInterruptions::initTestCase() {
    // The windows of one test end without ending the test's own event loops.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestInterruptions::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_device.start({}));
    for (const char *line : simulated::DeviceValues)
        QVERIFY(m_device.control(QLatin1String(line)));
    // The setup lock off, so that another answer shown under its name ("fnr 42") is seen.
    QVERIFY(m_device.control(QStringLiteral("set tasp 0")));
    m_cli.env = QProcessEnvironment::systemEnvironment();
    m_cli.env.insert(QStringLiteral("VTK290_PORTS"), m_device.portPath());
    m_cli.env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir->filePath(QStringLiteral("data")));
    qputenv("XDG_DATA_HOME", m_dir->filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("VTK290_PORTS", m_device.portPath().toLocal8Bit());
}

void TestInterruptions::cleanup() {
    m_cli.kill();
    m_rig.reset();
    m_form = nullptr;
    m_device.stop();
    qunsetenv("VTK290_PORTS");
}

void TestInterruptions::sendSignal(qint64 pid, const QString &name) {
    QCOMPARE(QProcess::execute(QStringLiteral("kill"),
                               {QStringLiteral("-") + name, QString::number(pid)}),
             0);
}

// Waits until a command matching `trigger` has reached the device (after the first `from`).
bool TestInterruptions::waitForCommand(const QRegularExpression &trigger, qsizetype from,
                                       int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (const QString &command : m_device.commands().mid(from))
            if (trigger.match(command).hasMatch())
                return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
}

// Every byte the device received, as text.
QString TestInterruptions::receivedText() const {
    QString text;
    for (const auto &[time, byte] : m_device.bytes())
        text += QLatin1Char(byte);
    return text;
}

// A setup that differs from the simulator's in every field, so that a put writes all of it.
QString TestInterruptions::setupFile() {
    SetupFields fields;
    fields.relay1DeEnergised = false;
    fields.relay2DeEnergised = false;
    fields.hysteresis1Item = QStringLiteral("1,0 mA");
    fields.hysteresis2Item = QStringLiteral("0,5 mA");
    fields.safetyMode = true;
    fields.pressureIndex = 0;
    fields.zeroIndex = 0;
    fields.vPotiLeftItem = QStringLiteral("1,5 mV/V");
    fields.vPotiRightItem = QStringLiteral("0,5 mV/V");
    const QString path = m_dir->filePath(QStringLiteral("anders.txt"));
    const QString error = FileWriter::save(
        path, SetupFile::encode(SetupFile::lines(fields, QDateTime::currentDateTime())));
    return error.isEmpty() ? path : QString();
}

void TestInterruptions::openWindow() {
    m_rig = WindowRig::make({});
    m_form = m_rig->form();
    m_form->show();
    m_form->BitBtnVerbinden->click();
    QVERIFY(m_rig->conversation().isConnected());
}

// Since command `from`: whole commands only, the line left without a half command, and the
// calibration resistor switched off after every time it was switched on.
void TestInterruptions::checkDeviceLeftWhole(qsizetype from) {
    const QStringList commands = m_device.commands().mid(from);
    for (const QString &command : commands)
        QVERIFY2(isWholeCommand(command), qPrintable(commands.join(" | ")));
    const QList<QPair<double, char>> bytes = m_device.bytes();
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(bytes.last().second, '\r');
    int resistorOn = 0;
    for (const QString &command : commands) {
        if (command == QLatin1String("kalr 1"))
            ++resistorOn;
        else if (command == QLatin1String("kalr 0"))
            resistorOn = 0;
    }
    QVERIFY2(resistorOn == 0, qPrintable(commands.join(" | ")));
}

// The next program finds the device with its first "Name".
void TestInterruptions::checkNextScanFindsDevice() {
    const qsizetype before = m_device.commands().size();
    const CliRun scan = m_cli.run({QStringLiteral("scan")});
    QCOMPARE(scan.code, 0);
    QCOMPARE(m_device.commands().mid(before), QStringList{QStringLiteral("Name")});
}

void TestInterruptions::cliSignals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("signal");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("setCommands"); // -1: not a write
    QTest::addColumn<bool>("stored");

    const QStringList put{QStringLiteral("setup"), QStringLiteral("put"), QStringLiteral("FILE")};
    // In the middle of the scan's "Name": the command is finished all the same.
    QTest::newRow("scan, SIGINT") << QStringList{"scan"} << "bytes:Na"
                                  << "INT" << 1 << "Abgebrochen" << -1 << false;
    QTest::newRow("read-out after kalr 1, SIGINT")
        << QStringList{"readout"} << "kalr 1"
        << "INT" << 1 << "Kalibrierwiderstand ist aus" << -1 << false;
    QTest::newRow("read-out after kalr 1, SIGHUP twice")
        << QStringList{"readout"} << "kalr 1"
        << "HUP" << 2 << "Kalibrierwiderstand ist aus" << -1 << false;
    QTest::newRow("report, SIGTERM") << QStringList{"report"} << "umv"
                                     << "TERM" << 1 << "Abgebrochen" << -1 << false;
    QTest::newRow("setup put before writing, SIGTERM")
        << put << "spr"
        << "TERM" << 1 << "Abgebrochen" << 0 << false;
    QTest::newRow("setup put mid-write, SIGINT")
        << put << "al1hy .*"
        << "INT" << 1 << "Das Setup wird noch fertig geschrieben" << 9 << true;
    QTest::newRow("setup put mid-write, SIGTERM")
        << put << "al1hy .*"
        << "TERM" << 1 << "vollständig geschrieben und im Gerät gespeichert" << 9 << true;
    QTest::newRow("setup put mid-write, SIGINT twice")
        << put << "al1hy .*"
        << "INT" << 2 << "von 9 Befehlen unterbrochen" << 3 << false;
    // The printed command puts the backup back through the port it came from.
    QTest::newRow("setup put --port mid-write, SIGINT twice")
        << put + QStringList{"--port", "COM1"} << "al1hy .*"
        << "INT" << 2 << "von 9 Befehlen unterbrochen" << 3 << false;
}

void TestInterruptions::cliSignals() {
    QFETCH(QStringList, args);
    QFETCH(QString, trigger);
    QFETCH(QString, signal);
    QFETCH(int, count);
    QFETCH(QString, message);
    QFETCH(int, setCommands);
    QFETCH(bool, stored);
    if (const qsizetype file = args.indexOf(QStringLiteral("FILE")); file >= 0) {
        args[file] = setupFile();
        QVERIFY(!args[file].isEmpty());
    }

    QProcess *process = m_cli.start(args);
    if (trigger.startsWith(QLatin1String("bytes:"))) {
        trigger = trigger.mid(6);
        QTRY_VERIFY_WITH_TIMEOUT(receivedText().contains(trigger), 30000);
    } else {
        QVERIFY(waitForCommand(commandPattern(trigger), 0, 30000));
    }
    for (int i = 0; i < count; ++i)
        sendSignal(process->processId(), signal);
    const CliRun run = m_cli.finish(process);

    QCOMPARE(run.code, 130);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    checkDeviceLeftWhole(0);
    const QStringList commands = m_device.commands();
    // Nothing new is asked after the trigger: the command under way, and "kalr 0" where the
    // resistor was on.
    qsizetype at = commands.indexOf(commandPattern(trigger));
    if (at < 0)
        at = commands.indexOf(QRegularExpression(QRegularExpression::escape(trigger) + ".*"));
    QVERIFY2(at >= 0, qPrintable(commands.join(" | ") + QLatin1String(" / ") + run.err));
    if (setCommands < 0) {
        QStringList after = commands.mid(at + 1);
        after.removeAll(QStringLiteral("kalr 0"));
        QVERIFY2(after.size() <= 1, qPrintable(commands.join(" | ")));
    } else {
        // A second signal stops after the command under way: the third, or the fourth when it
        // had just begun.
        const int sets = setCommandCount(commands);
        QVERIFY2(sets == setCommands || (!stored && sets == setCommands + 1),
                 qPrintable(commands.join(" | ")));
        QCOMPARE(commands.contains(QStringLiteral("swr1")), stored);
        if (stored) {
            QCOMPARE(commands.last(), QStringLiteral("swr1"));
        }
        if (setCommands > 0 && !stored) {
            QVERIFY2(run.err.contains(QLatin1String("vtk290-cli setup put ")), qPrintable(run.err));
            const QString backups = m_dir->filePath(QStringLiteral("data/vtk290/backups"));
            QVERIFY2(run.err.contains(QDir::toNativeSeparators(backups)), qPrintable(run.err));
            if (const qsizetype port = args.indexOf(QStringLiteral("--port")); port >= 0) {
                const QRegularExpression hint(
                    QStringLiteral("vtk290-cli setup put \\S+ --port %1$").arg(args.at(port + 1)),
                    QRegularExpression::MultilineOption);
                QVERIFY2(run.err.contains(hint), qPrintable(run.err));
            }
        }
    }
    checkNextScanFindsDevice();
}

void TestInterruptions::windowSignals_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("stored");
    QTest::newRow("read-out after kalr 1, once") << "read-out"
                                                 << "kalr 1" << 1 << false;
    QTest::newRow("setup write, once") << "setup write"
                                       << "al1hy .*" << 1 << true;
    QTest::newRow("setup write, twice") << "setup write"
                                        << "al1hy .*" << 2 << false;
}

// The window program gets SIGTERM (a desktop logout) while it talks to the device.
void TestInterruptions::windowSignals() {
    QFETCH(QString, operation);
    QFETCH(QString, trigger);
    QFETCH(int, count);
    QFETCH(bool, stored);
    InterruptSignals interruptions;
    openWindow();
    connect(&interruptions, &InterruptSignals::interrupted, m_form, &Tform1::interrupt);
    const bool write = operation == QLatin1String("setup write");
    if (write)
        m_rig->windows.setup->applyText(SetupFile::load(setupFile()).text,
                                        CurrentSetup::Origin::File);
    const qsizetype before = m_device.commands().size();

    bool sent = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (sent)
            return;
        for (const QString &command : m_device.commands().mid(before))
            if (commandPattern(trigger).match(command).hasMatch()) {
                sent = true;
                for (int i = 0; i < count; ++i)
                    sendSignal(QCoreApplication::applicationPid(), QStringLiteral("TERM"));
                return;
            }
    });
    watch.start(10);
    (write ? m_form->BitBtnDownload : m_form->BitBtnAktualisieren)->click();
    QTRY_VERIFY_WITH_TIMEOUT(sent, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isVisible(), 15000);
    watch.stop();

    QVERIFY(!m_rig->link->ComHandleValid());
    QCOMPARE(interruptions.count(), count);
    checkDeviceLeftWhole(before);
    const QStringList commands = m_device.commands().mid(before);
    if (write) {
        QCOMPARE(commands.contains(QStringLiteral("swr1")), stored);
        const int sets = setCommandCount(commands);
        QVERIFY2(stored ? sets == 9 : sets == 3 || sets == 4, qPrintable(commands.join(" | ")));
        QCOMPARE(m_rig->conversation().lastWrite().cutOff(), !stored);
        // The run's list of writes (the service record's) holds it, cut or whole.
        const QList<SetupTransfer::Written> &writes = m_rig->windows.setupTransfer->writes();
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes.first().sent, sets);
        QCOMPARE(writes.first().stored, stored);
        if (!stored)
            QVERIFY(m_rig->windows.setupActions->cutOffText().contains(
                QDir::toNativeSeparators(m_rig->windows.setupTransfer->lastBackupPath())));
    }
    checkNextScanFindsDevice();
}

// The program itself: SIGTERM ends it with its own exit code and a word on what it left.
void TestInterruptions::windowProgramExitCode() {
    QProcess program;
    QProcessEnvironment env = m_cli.env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VTK290_PATH), QStringList());
    QVERIFY(program.waitForStarted(5000));
    QTest::qWait(2000);
    sendSignal(program.processId(), QStringLiteral("TERM"));
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 130);
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QVERIFY2(err.contains(QLatin1String("vtk290 wurde beendet")), qPrintable(err));
}

void TestInterruptions::lateAnswers_data() {
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("allRight");
    QTest::newRow("0.5 s") << 500 << true;
    QTest::newRow("0.9 s") << 900 << true;
    QTest::newRow("1.3 s") << 1300 << false;
    // Each question's late answer lands in its second attempt, and the second attempt's answer
    // lands in the next question's wait: there it must be passed over.
    QTest::newRow("1.6 s") << 1600 << false;
}

// A slow device (or one behind a network server) answers well after the echo: each value is
// read right, or left empty when it comes too late; never shown under another field's name.
void TestInterruptions::lateAnswers() {
    QFETCH(int, delayMs);
    QFETCH(bool, allRight);
    const CliRun reference = m_cli.run({QStringLiteral("readout"), QStringLiteral("--json")});
    QCOMPARE(reference.code, 0);
    const QJsonObject expected = QJsonDocument::fromJson(reference.out.toUtf8()).object();
    QVERIFY(m_device.control(QStringLiteral("fault late %1").arg(delayMs)));
    const CliRun late = m_cli.run({QStringLiteral("readout"), QStringLiteral("--json")});
    const QJsonObject seen = QJsonDocument::fromJson(late.out.toUtf8()).object();
    if (allRight) {
        QCOMPARE(late.code, 0);
        QCOMPARE(seen, expected);
        return;
    }
    // Too late for the scan's one-second wait: the device is not found at all, and then says
    // so and claims nothing; or found and read with empty fields.
    if (late.code == 3 && delayMs < 1500) {
        QVERIFY2(late.err.contains(QStringLiteral("Kein KT 290 gefunden.")), qPrintable(late.err));
        QCOMPARE(late.out, QString());
        return;
    }
    QCOMPARE(seen.keys(), expected.keys());
    for (const QString &key : expected.keys())
        QVERIFY2(seen.value(key).isNull() || seen.value(key) == expected.value(key),
                 qPrintable(key + QLatin1String(": ") + late.out));
}

void TestInterruptions::lateReport() {
    const CliRun reference = m_cli.run({QStringLiteral("report")});
    QCOMPARE(reference.code, 0);
    QVERIFY(m_device.control(QStringLiteral("fault late 500")));
    const CliRun late = m_cli.run({QStringLiteral("report")});
    QCOMPARE(late.code, 0);
    QCOMPARE(late.out, reference.out);
}

void TestInterruptions::nothingHaltsAnOperation_data() {
    QTest::addColumn<QString>("operation");
    QTest::newRow("read-out") << "read-out";
    QTest::newRow("setup write") << "setup write";
}

// While the device is busy, the controls that would open a window of their own (whose event
// loop would halt the operation in the middle of a command) or change the setup are held back;
// "Trennen" is not.
void TestInterruptions::nothingHaltsAnOperation() {
    QFETCH(QString, operation);
    openWindow();
    const bool write = operation == QLatin1String("setup write");
    if (write)
        m_rig->windows.setup->applyText(SetupFile::load(setupFile()).text,
                                        CurrentSetup::Origin::File);
    const SetupFields atStart = m_rig->windows.setup->fields();
    QList<QAction *> heldBack{m_form->ffnen1,   m_form->Speichern1,
                              m_form->Default1, m_form->Relais1,
                              m_form->Info1,    m_form->EinstellbereichNullpunktKennwert1};
    bool checked = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (checked || !m_rig->conversation().isBusy() ||
            m_rig->conversation().operation() == DeviceConversation::Operation::Scan)
            return;
        if (write && m_rig->conversation().operation() != DeviceConversation::Operation::SetupWrite)
            return;
        checked = true;
        // Held back means disabled: Qt ignores a disabled action's trigger, so nothing else
        // reaches its handler.
        for (QAction *action : heldBack)
            QVERIFY2(!action->isEnabled(), qPrintable(action->objectName()));
        QVERIFY(m_form->BitBtnVerbinden->isEnabled());
        QCOMPARE(m_form->BitBtnVerbinden->text(), QStringLiteral("Trennen"));
        QVERIFY(!QApplication::activeModalWidget());
    });
    watch.start(20);
    (write ? m_form->BitBtnDownload : m_form->BitBtnAktualisieren)->click();
    watch.stop();
    QVERIFY(checked);
    QVERIFY(m_rig->conversation().isConnected());
    // Afterwards they are back, and the setup is the one the write began with.
    for (QAction *action : heldBack)
        QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    QCOMPARE(m_rig->windows.setup->fields(), atStart);
    if (write)
        QCOMPARE(m_device.commands().count(QStringLiteral("swr1")), 1);
}

// "Als CSV speichern" opens its file dialog beside the running view: the view goes on asking.
void TestInterruptions::liveCsvDialogLetsTheViewRun() {
    openWindow();
    Tflive *live = m_rig->windows.flive;
    QPointer<QFileDialog> dialog;
    bool opened = false;
    bool closing = false;
    qsizetype whileOpen = -1;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        // The recording is not kept.
        if (simulated::discardRecording())
            return;
        if (!opened && live->ButtonCsv->isEnabled()) {
            live->ButtonCsv->click();
            dialog = live->findChild<QFileDialog *>();
            opened = dialog;
            whileOpen = m_device.commands().size();
            return;
        }
        if (opened && !closing && m_device.commands().size() >= whileOpen + 6) {
            closing = true;
            if (dialog)
                dialog->reject();
            live->close();
        }
    });
    driver.start(100);
    QTimer::singleShot(30000, live, [live] {
        for (QFileDialog *open : live->findChildren<QFileDialog *>())
            open->reject();
        live->close();
    });
    m_form->LiveAnzeige1->trigger();
    driver.stop();
    QVERIFY(opened);
    QVERIFY2(m_device.commands().size() >= whileOpen + 6,
             qPrintable(m_device.commands().join(" | ")));
}

// Without a connection "Aktualisieren" waits: the report on the screen stays.
void TestInterruptions::statusWindowWaitsForConnection() {
    openWindow();
    Tfstatus *status = m_rig->windows.fstatus;
    QString report;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        // Once the report is there.
        if (!report.isEmpty() || m_rig->conversation().isBusy() ||
            !status->Memo1->toPlainText().contains(QLatin1String("poti")))
            return;
        report = status->Memo1->toPlainText();
        QVERIFY(status->Aktualisieren1->isEnabled());
        QVERIFY(status->Speichernunter1->isEnabled());
        m_rig->conversation().disconnectDevice();
        QVERIFY(!status->Aktualisieren1->isEnabled());
        status->Aktualisieren1Click();
        status->Timer1Timer();
        QTimer::singleShot(500, status, &QWidget::close);
    });
    driver.start(50);
    QTimer::singleShot(60000, status, &QWidget::close);
    QVERIFY(m_rig->conversation().isConnected());
    QVERIFY(m_form->Status1->isEnabled());
    m_form->Status1->trigger();
    driver.stop();
    QVERIFY(report.contains(QLatin1String("poti")));
    QCOMPARE(status->Memo1->toPlainText(), report);
}

// Esc and letters typed into the status window's terminal stay in the device's input line; the
// next report's first question still reaches the device alone and is answered.
void TestInterruptions::typedKeysLeaveNoPrefix() {
    openWindow();
    Tfstatus *status = m_rig->windows.fstatus;
    QStringList reports;
    qsizetype beforeKeys = -1;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        if (m_rig->conversation().isBusy() ||
            !status->Memo1->toPlainText().contains(QLatin1String("Status Ende")))
            return;
        reports << status->Memo1->toPlainText();
        if (reports.size() == 1) {
            beforeKeys = m_device.commands().size();
            status->FormKeyPress(QChar(0x1b));
            status->FormKeyPress(QLatin1Char('a'));
            status->Aktualisieren1Click();
            status->Memo1->clear();
        } else {
            status->close();
        }
    });
    driver.start(50);
    QTimer::singleShot(90000, status, &QWidget::close);
    m_form->Status1->trigger();
    driver.stop();
    QCOMPARE(reports.size(), 2);
    const QStringList after = m_device.commands().mid(beforeKeys);
    QVERIFY2(after.size() >= 2 &&
                 after.at(0) == QStringLiteral("\x1b"
                                               "a") &&
                 after.at(1) == QStringLiteral("name"),
             qPrintable(after.join(" | ")));
    // The name line is the device's answer both times.
    QCOMPARE(reports.at(1).split(QLatin1Char('\n')).value(1),
             reports.at(0).split(QLatin1Char('\n')).value(1));
}

// A second program on the same port: the port is busy, not forbidden.
void TestInterruptions::busyPort() {
    QSerialPort holder(m_device.portPath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    const CliRun scan = m_cli.run({QStringLiteral("scan")});
    QCOMPARE(scan.code, 3);
    QVERIFY2(scan.err.contains(QLatin1String("belegt")), qPrintable(scan.err));
    QVERIFY2(!scan.err.contains(QLatin1String("darf nicht")), qPrintable(scan.err));
}

// The adapter is pulled after the third set command: the window says that the setup was not
// completely written, where the backup is and how to put it back.
void TestInterruptions::windowWriteCutByLostPort() {
    openWindow();
    m_rig->windows.setup->applyText(SetupFile::load(setupFile()).text, CurrentSetup::Origin::File);
    const qsizetype before = m_device.commands().size();
    QStringList boxes;
    bool pulled = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->accept();
        }
        if (!pulled && waitForCommand(commandPattern(QStringLiteral("al1hy .*")), before, 0)) {
            pulled = true;
            QVERIFY(m_device.control(QStringLiteral("unplug")));
        }
    });
    watch.start(10);
    m_form->BitBtnDownload->click();
    watch.stop();
    QVERIFY(pulled);
    QVERIFY(!m_rig->conversation().isConnected());
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first().contains(QStringLiteral("nicht vollständig")),
             qPrintable(boxes.first()));
    QVERIFY2(boxes.first().contains(QLatin1String("von 9 Befehlen")), qPrintable(boxes.first()));
    const QString backup = m_rig->windows.setupTransfer->lastBackupPath();
    QVERIFY(QFileInfo::exists(backup));
    QVERIFY2(boxes.first().contains(QDir::toNativeSeparators(backup)), qPrintable(boxes.first()));
    QVERIFY(!m_device.commands().contains(QStringLiteral("swr1")));
}

void TestInterruptions::endsWithinGrace_data() {
    QTest::addColumn<QString>("end");
    QTest::newRow("Beenden button") << "button";
    QTest::newRow("Beenden menu") << "menu";
    QTest::newRow("SIGTERM") << "signal";
}

// An operation that does not stop at a safe point (its waits end only when the program's end
// cuts them): the window still closes, after its grace of three seconds and not much later.
void TestInterruptions::endsWithinGrace() {
    QFETCH(QString, end);
    // The grace as the user meets it; written here, not taken from the program.
    constexpr qint64 GraceMs = 3000;
    constexpr qint64 MarginMs = 1500;
    InterruptSignals interruptions;
    openWindow();
    connect(&interruptions, &InterruptSignals::interrupted, m_form, &Tform1::interrupt);

    QElapsedTimer sinceEnd;
    QTimer::singleShot(300, this, [&] {
        sinceEnd.start();
        if (end == QLatin1String("button"))
            m_form->ButtonBeenden->click();
        else if (end == QLatin1String("menu"))
            m_form->Beenden1->trigger();
        else
            sendSignal(QCoreApplication::applicationPid(), QStringLiteral("TERM"));
    });
    qint64 stoppedAfter = -1;
    QVERIFY(m_rig->conversation().run(DeviceConversation::Operation::Live, [&](DeviceProtocol &) {
        while (!WaitsAborted())
            WaitSeconds(0.05);
        stoppedAfter = sinceEnd.isValid() ? sinceEnd.elapsed() : -1;
    }));
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->isVisible(), int(GraceMs * 20));
    const qint64 closedAfter = sinceEnd.elapsed();
    const QString times = QStringLiteral("operation stopped after %1 ms, window closed after %2 ms")
                              .arg(stoppedAfter)
                              .arg(closedAfter);
    // The grace is a coarse timer: it may come up to a twentieth early.
    QVERIFY2(stoppedAfter >= GraceMs * 19 / 20 - 50, qPrintable(times));
    QVERIFY2(closedAfter <= GraceMs + MarginMs, qPrintable(times));
    QVERIFY(!m_rig->link->ComHandleValid());
    QCOMPARE(interruptions.count(), end == QLatin1String("signal") ? 1 : 0);
}

QTEST_MAIN(TestInterruptions)
#include "tst_interruptions.moc"
