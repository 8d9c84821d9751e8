// Measures what the program costs while it waits and while it talks to the device.
// Usage: vtk290-bench wait [seconds] | readout | readout-network | report | live | startup |
//        setupput | history
#include "cli/commands.h"
#include "core/device/devicereadout.h"
#include "core/diag/statusreport.h"
#include "core/history/historystore.h"
#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"
#include "core/link/networkportio.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/system/filewriter.h"
#include "gui/diag/ulive.h"
#include "gui/diag/ustatus.h"
#include "gui/history/uhistory.h"
#include "gui/main/fmain1.h"
#include "gui/main/startup.h"
#include "ser2netprocess.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <ctime>

namespace {

QTextStream out(stdout);

constexpr double CharacterPause = 0.05;
constexpr double PollStep = 0.1;
constexpr double CalibrationPause = 1.0;
constexpr double LogPass = 0.2;
// The setup print is 656 bytes with its echo and one poll moves at most 255 bytes, so the
// answer's first check (after the first poll of a round of two) cannot see its last line
// ("poti[0]"): "spr" takes one round of two polling steps more than a short answer, even from a
// device that answers at once.
constexpr double SetupPrintRound = 2 * PollStep;

double cpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

void report(const QString &name, double value, const char *unit, double target) {
    out << QString::asprintf("%-44s %9.3f %-2s (target < %.3f %s)  %s\n", qPrintable(name), value,
                             unit, target, unit, value < target ? "ok" : "MISSED");
    out.flush();
}

// Wall time, CPU time and the share of one core of a piece of work.
template <typename Work> void measure(const QString &name, double floorSeconds, Work work) {
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    work();
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = wall.nsecsElapsed() / 1e9;
    out << QString::asprintf("%s: wall %.3f s, CPU %.3f s", qPrintable(name), elapsed, cpu);
    if (floorSeconds > 0)
        out << QString::asprintf(", protocol floor %.3f s", floorSeconds);
    out << "\n";
    if (floorSeconds > 0)
        report(name + QStringLiteral(": time over the floor"),
               100.0 * (elapsed - floorSeconds) / floorSeconds, "%", 3.0);
    report(name + QStringLiteral(": CPU share of wall time"), 100.0 * cpu / elapsed, "%", 5.0);
}

// The least a question can take: a quiet tenth of a second of draining, the paced command with
// its CR, the first polling step (two for the multi-line answers).
double questionFloor(const QString &command) {
    const bool multiLine = command == QLatin1String("ver") || command == QLatin1String("spr");
    return PollStep + (command.size() + 1) * CharacterPause + PollStep * (multiLine ? 2 : 1);
}

double setCommandFloor(const QString &command, double pause) {
    return (command.size() + 1) * CharacterPause + pause;
}

// What a strain-gauge status report sends, by the rules the report follows for the device's
// error and burden: the current at SE+ is asked as "ispk" under error 1, the actual output
// current only when the burden can carry one. The potentiometers are asked once: the simulator
// answers the first question.
QStringList statusReportCommands(double error, double burden) {
    QStringList commands{QStringLiteral("name"),
                         QStringLiteral("ver"),
                         QStringLiteral("fehl"),
                         QStringLiteral("uspv"),
                         error == 1.0 ? QStringLiteral("ispk") : QStringLiteral("ispma"),
                         QStringLiteral("umv"),
                         QStringLiteral("usinv"),
                         QStringLiteral("kalr 1"),
                         QStringLiteral("mvv0"),
                         QStringLiteral("kalr 0"),
                         QStringLiteral("mvv0"),
                         QStringLiteral("mas"),
                         QStringLiteral("rar")};
    if (HasValue(burden) && !StatusReport::burdenOpen(burden))
        commands << QStringLiteral("maist");
    commands << QStringLiteral("poti") << QStringLiteral("spr") << QStringLiteral("log");
    return commands;
}

// The calibration switches are set commands followed by their pause.
double statusReportCommandFloor(const QString &command) {
    if (command.startsWith(QLatin1String("kalr ")))
        return setCommandFloor(command, CalibrationPause);
    if (command == QLatin1String("spr"))
        return questionFloor(command) + SetupPrintRound;
    return questionFloor(command);
}

// The log's question is followed by one pass that receives nothing.
double statusReportFloor(const QStringList &commands) {
    double floor = LogPass;
    for (const QString &command : commands)
        floor += statusReportCommandFloor(command);
    return floor;
}

// The peak resident memory of this process (Linux), in MB; 0 where it cannot be read.
double peakMemoryMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

void reportPeakMemory() {
    report(QStringLiteral("Peak memory"), peakMemoryMb(), "MB", 80.0);
}

int benchWait(double seconds) {
    measure(QStringLiteral("WaitSeconds(%1)").arg(seconds), 0, [seconds] { WaitSeconds(seconds); });
    return 0;
}

// Starts the simulator as a strain-gauge device and opens its port as COM1.
bool openStrainGaugeDevice(SimulatorProcess &device, ComLink &link) {
    if (!device.start({QStringLiteral("--type"), QStringLiteral("X1")})) {
        out << "Der Simulator startet nicht.\n";
        return false;
    }
    qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
    return link.ComOpen(QStringLiteral("COM1"), 19200).isEmpty();
}

// The program's windows on the link, without the second-copy question.
WindowSet openWindows(ComLink &link) {
    WindowSet windows;
    createWindows(link, windows);
    // A port opened by the benchmark is the device's, found as the scan finds it: its first
    // question also ends whatever was left in the device's input line.
    windows.form1->conversation().adoptOpenPort(1);
    windows.form1->conversation().run(
        DeviceConversation::Operation::Readout,
        [](DeviceProtocol &protocol) { protocol.DeviceQuery(QStringLiteral("Name")); });
    return windows;
}

int benchReadout() {
    SimulatorProcess device;
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    if (!openStrainGaugeDevice(device, link))
        return 1;

    double floor = setCommandFloor(QStringLiteral("kalr 1"), 1.0) +
                   setCommandFloor(QStringLiteral("kalr 0"), 1.0);
    for (const char *question :
         {"inpmv", "ver", "fnr", "tasp", "fehl", "mvv0", "mvv0", "mas", "al1ma", "al2ma", "P2"})
        floor += questionFloor(QLatin1String(question));
    // The read-out as the main window runs it, fields and pictures included.
    WindowSet windows = openWindows(link);
    windows.form1->show();
    measure(QStringLiteral("Read-out of a strain-gauge device"), floor, [&windows] {
        windows.form1->BitBtnAktualisierenClick(windows.form1->BitBtnAktualisieren);
    });
    reportPeakMemory();
    delete windows.form1;
    return 0;
}

// The same read-out of one simulated device, over its local port and over RFC 2217 through
// ser2net in front of that port, alternately three times each; the best of each counts.
int benchReadoutNetwork() {
    SimulatorProcess device;
    if (!device.start({QStringLiteral("--type"), QStringLiteral("X1")})) {
        out << "Der Simulator startet nicht.\n";
        return 1;
    }
    Ser2NetProcess server;
    if (!server.start(QStringLiteral("rfc2217"), device.portPath())) {
        out << "ser2net startet nicht (scripts/install-deps.sh ser2net).\n";
        return 1;
    }
    const auto readout = [&device](const QString &path) {
        ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
        qputenv("VTK290_PORTS", path.toLocal8Bit());
        if (!link.ComOpen(QStringLiteral("COM1"), 19200).isEmpty())
            return -1.0;
        WindowSet windows = openWindows(link);
        windows.form1->show();
        const qsizetype before = device.commands().size();
        QElapsedTimer wall;
        wall.start();
        windows.form1->BitBtnAktualisierenClick(windows.form1->BitBtnAktualisieren);
        const double seconds = wall.nsecsElapsed() / 1e9;
        const bool complete = device.commands().mid(before).endsWith(QStringLiteral("P2"));
        delete windows.form1;
        return complete ? seconds : -1.0;
    };
    double local = 1e9, network = 1e9;
    for (int i = 0; i < 3; ++i) {
        const double l = readout(device.portPath());
        const double n = readout(server.address());
        if (l < 0 || n < 0) {
            out << "Eine Auslesung ist nicht vollständig.\n";
            return 1;
        }
        local = std::min(local, l);
        network = std::min(network, n);
    }
    out << QString::asprintf("Read-out over the local port %.3f s, over RFC 2217 through ser2net "
                             "%.3f s\n",
                             local, network);
    report(QStringLiteral("Read-out over RFC 2217 / over the local port"), network / local, "x",
           1.05);
    return 0;
}

// The full status report as the status window builds it, without waiting for the window's
// timer. The floor counts the commands the report should send; the simulator's record of what
// it received shows whether it did.
int benchStatusReport() {
    SimulatorProcess device;
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    if (!openStrainGaugeDevice(device, link))
        return 1;
    WindowSet windows = openWindows(link);
    // The strain-gauge mark as the read-out of this device leaves it.
    windows.form1->conversation().setStrainGauge(true);

    // The simulated device sends a long log in bursts; a short one comes at once.
    if (!device.control(QStringLiteral("set log Netz ein|Setup geschrieben"))) {
        out << "Der Simulator nimmt das Logfile nicht an.\n";
        return 1;
    }
    // Error and burden read as the report reads them, before the measurement.
    QStringList commands;
    windows.form1->conversation().run(
        DeviceConversation::Operation::StatusReport, [&commands](DeviceProtocol &protocol) {
            commands = statusReportCommands(protocol.DeviceQueryNumber(QStringLiteral("fehl")),
                                            protocol.DeviceQueryNumber(QStringLiteral("rar")));
        });
    const qsizetype before = device.commands().size();
    measure(QStringLiteral("Status report of a strain-gauge device"), statusReportFloor(commands),
            [&windows] { windows.fstatus->Timer1Timer(); });
    reportPeakMemory();
    delete windows.form1;

    const QStringList sent = device.commands().mid(before);
    if (sent != commands) {
        out << "Der Bericht sendete " << sent.join(QLatin1Char(' ')) << "\n  die Untergrenze zählt "
            << commands.join(QLatin1Char(' ')) << "\n";
        return 1;
    }
    return 0;
}

// The live view on a strain-gauge device: the time of one cycle ("mvv0", "mas", "P2") against
// the protocol's floor, and the CPU it costs, chart included, over cycles after the calibration.
int benchLive() {
    constexpr int Cycles = 20;
    // A cycle may take at most this share more than its floor.
    constexpr double CycleAllowance = 5.0;
    SimulatorProcess device;
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    if (!openStrainGaugeDevice(device, link))
        return 1;
    // The input moves, so that the chart has something to draw.
    if (!device.control(QStringLiteral("wave 0.4 60"))) {
        out << "Der Simulator nimmt die Bewegung des Eingangs nicht an.\n";
        return 1;
    }
    WindowSet windows = openWindows(link);
    windows.form1->conversation().setStrainGauge(true);
    windows.form1->show();
    Tflive *live = windows.flive;
    QTemporaryDir scratch;

    double floor = 0;
    for (const char *question : {"mvv0", "mas", "P2"})
        floor += questionFloor(QLatin1String(question));
    QElapsedTimer wall;
    double cpuAtStart = 0;
    double elapsed = 0;
    double cpu = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, live, [&] {
        const LiveSampler *sampler = live->sampler();
        const qsizetype samples = sampler ? sampler->samples().size() : 0;
        if (samples >= 1 && !wall.isValid()) {
            wall.start();
            cpuAtStart = cpuSeconds();
        }
        if (samples >= 1 + Cycles && elapsed == 0) {
            elapsed = wall.nsecsElapsed() / 1e9;
            cpu = cpuSeconds() - cpuAtStart;
            // Saved, so that the close asks nothing.
            live->saveCsv(scratch.filePath(QStringLiteral("live.csv")));
            live->close();
        }
    });
    watch.start(5);
    QEventLoop running;
    QObject::connect(live, &QDialog::finished, &running, &QEventLoop::quit);
    live->show();
    running.exec();
    watch.stop();
    if (elapsed == 0) {
        out << "Die Live-Anzeige lief nicht.\n";
        return 1;
    }
    const double cycle = elapsed / Cycles;
    out << QString::asprintf("Live view: %d cycles, wall %.3f s, CPU %.3f s, cycle %.3f s, "
                             "protocol floor %.3f s\n",
                             Cycles, elapsed, cpu, cycle, floor);
    report(QStringLiteral("Live view: cycle time over the floor"), 100.0 * (cycle - floor) / floor,
           "%", CycleAllowance);
    report(QStringLiteral("Live view: CPU share of wall time"), 100.0 * cpu / elapsed, "%", 5.0);
    delete windows.form1;
    return 0;
}

// "vtk290-cli setup put" on a strain-gauge device that is connected already: its floor is one
// "spr" (compared with the file and kept as the backup), the type question, the set commands
// with their pauses, "swr1" with its pause, and one "spr" to read the setup back.
int benchSetupPut() {
    constexpr double PutAllowance = 5.0;
    SimulatorProcess device;
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    if (!openStrainGaugeDevice(device, link))
        return 1;
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
    DeviceConversation conversation(link);
    conversation.adoptOpenPort(1);

    // A file that differs from the device in two fields.
    SetupFields fields = SetupFieldsFromText(conversation.readSetup().value_or(QString()));
    fields.hysteresis1Item = fields.hysteresis1Item == QLatin1String("1,0 mA")
                                 ? QStringLiteral("0,5 mA")
                                 : QStringLiteral("1,0 mA");
    fields.pressureIndex = fields.pressureIndex == 0 ? 2 : 0;
    const QString path = dir.filePath(QStringLiteral("neu.txt"));
    if (!FileWriter::save(path, SetupFile::encode(SetupFile::lines(fields, {}))).isEmpty())
        return 1;

    QStringList expected{QStringLiteral("inpmv"), QStringLiteral("spr")};
    double floor = questionFloor(QStringLiteral("inpmv")) +
                   2 * (questionFloor(QStringLiteral("spr")) + SetupPrintRound) +
                   setCommandFloor(QStringLiteral("swr1"), 1.0);
    for (const SetupCommand &command : SetupCommands(fields, true)) {
        expected << command.text;
        floor += setCommandFloor(command.text, command.pauseSeconds);
    }
    expected << QStringLiteral("swr1") << QStringLiteral("spr");

    Cli::Session session(conversation, {});
    const qsizetype before = device.commands().size();
    QElapsedTimer wall;
    wall.start();
    const int code = Cli::SetupPut(session, {path});
    const double elapsed = wall.nsecsElapsed() / 1e9;
    out << QString::asprintf("setup put on a strain-gauge device: wall %.3f s, floor %.3f s\n",
                             elapsed, floor);
    report(QStringLiteral("setup put: time over the floor"), 100.0 * (elapsed - floor) / floor, "%",
           PutAllowance);
    const QStringList sent = device.commands().mid(before);
    if (code != 0 || sent != expected) {
        out << "setup put endete mit " << code << " und sendete " << sent.join(QLatin1Char(' '))
            << "\n  die Untergrenze zählt " << expected.join(QLatin1Char(' ')) << "\n";
        return 1;
    }
    return 0;
}

// The child: starts as the program does and says when its main window is on the screen.
int startupChild() {
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    WindowSet windows = openWindows(link);
    windows.form1->show();
    QCoreApplication::processEvents();
    out << "shown " << peakMemoryMb() << "\n";
    out.flush();
    delete windows.form1;
    return 0;
}

// From starting the process to its main window shown, measured from outside.
int benchStartup() {
    QProcess child;
    QElapsedTimer wall;
    wall.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("startup-child")});
    if (!child.waitForReadyRead(10000))
        return 1;
    const double seconds = wall.nsecsElapsed() / 1e9;
    const QByteArray line = child.readLine();
    child.waitForFinished();
    report(QStringLiteral("Start until the main window is shown"), seconds, "s", 0.5);
    report(QStringLiteral("Peak memory at start"), line.split(' ').value(1).toDouble(), "MB", 80.0);
    return 0;
}

// What recording one event costs an operation: a read-out's event into a history that holds
// 10,000 visits of 200 devices already.
int benchHistory() {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath(QStringLiteral("history.sqlite")));
    if (!store.open())
        return 1;
    const QDateTime start = QDateTime::currentDateTime().addYears(-5);
    const QJsonObject values{{QStringLiteral("input"), 0.705}, {QStringLiteral("output"), 12.5}};
    for (int i = 0; i < 10000; ++i) {
        const auto visit = store.beginVisit(QString::number(i % 200).rightJustified(4, '0'),
                                            QStringLiteral("KT 290.X1"), QStringLiteral("COM1"),
                                            start.addSecs(i * 3600));
        if (!visit || !store.record(*visit, QStringLiteral("readout"), values, start))
            return 1;
    }
    const auto visit = store.beginVisit(QStringLiteral("0042"), QStringLiteral("KT 290.X1"),
                                        QStringLiteral("COM1"), QDateTime::currentDateTime());
    constexpr int Events = 200;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Events; ++i) {
        if (!visit ||
            !store.record(*visit, QStringLiteral("readout"), values, QDateTime::currentDateTime()))
            return 1;
    }
    report(QStringLiteral("Recording one event in the device history"),
           clock.nsecsElapsed() / 1e6 / Events, "ms", 5.0);
    clock.restart();
    const QList<HistoryStore::Device> devices = store.devices();
    const QList<HistoryStore::Visit> visits = store.visits(QStringLiteral("0042"));
    report(QStringLiteral("Reading the devices and one device's visits (10,000 visits)"),
           clock.nsecsElapsed() / 1e6, "ms", 500.0);
    clock.restart();
    TfHistory window(store);
    window.show();
    QCoreApplication::processEvents();
    report(QStringLiteral("Opening \"Gerätehistorie\" (10,000 visits of 200 devices)"),
           clock.nsecsElapsed() / 1e9, "s", 0.5);
    return devices.size() == 200 && !visits.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1, QStringLiteral("wait"));
    if (mode == QLatin1String("wait"))
        return benchWait(args.value(2, QStringLiteral("10")).toDouble());
    if (mode == QLatin1String("readout"))
        return benchReadout();
    if (mode == QLatin1String("readout-network"))
        return benchReadoutNetwork();
    if (mode == QLatin1String("report"))
        return benchStatusReport();
    if (mode == QLatin1String("live"))
        return benchLive();
    if (mode == QLatin1String("startup"))
        return benchStartup();
    if (mode == QLatin1String("setupput"))
        return benchSetupPut();
    if (mode == QLatin1String("history"))
        return benchHistory();
    if (mode == QLatin1String("startup-child"))
        return startupChild();
    out << "Usage: vtk290-bench wait [seconds] | readout | readout-network | report | live | "
           "startup | setupput | history\n";
    return 2;
}
