// Measures what the program costs while it waits and while it talks to the device.
// Usage: vtk290-bench wait [seconds] | readout | startup
#include "link/deviceprotocol.h"
#include "link/qtserialportio.h"
#include "link/ucom.h"
#include "main/devicereadout.h"
#include "main/fmain1.h"
#include "main/startup.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

#include <ctime>

namespace {

QTextStream out(stdout);

constexpr double CharacterPause = 0.05;
constexpr double PollStep = 0.1;

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

int benchReadout() {
    SimulatorProcess device;
    if (!device.start({QStringLiteral("--type"), QStringLiteral("X1")})) {
        out << "Der Simulator startet nicht.\n";
        return 1;
    }
    qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
    ComLink link(std::make_unique<QtSerialPortIo>());
    DeviceProtocol protocol(link);
    if (!link.ComOpen(QStringLiteral("COM1"), 19200).isEmpty())
        return 1;

    double floor = setCommandFloor(QStringLiteral("kalr 1"), 1.0) +
                   setCommandFloor(QStringLiteral("kalr 0"), 1.0);
    for (const char *question :
         {"inpmv", "ver", "fnr", "tasp", "fehl", "mvv0", "mvv0", "mas", "al1ma", "al2ma", "P2"})
        floor += questionFloor(QLatin1String(question));
    // The read-out as the main window runs it, fields and pictures included.
    WindowSet windows;
    createWindows(link, windows);
    windows.form1->Timer2->stop();
    windows.form1->show();
    measure(QStringLiteral("Read-out of a strain-gauge device"), floor, [&windows] {
        windows.form1->BitBtnAktualisierenClick(windows.form1->BitBtnAktualisieren);
    });
    reportPeakMemory();
    delete windows.form1;
    return 0;
}

// The child: starts as the program does and says when its main window is on the screen.
int startupChild() {
    ComLink link(std::make_unique<QtSerialPortIo>());
    WindowSet windows;
    createWindows(link, windows);
    windows.form1->Timer2->stop();
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

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1, QStringLiteral("wait"));
    if (mode == QLatin1String("wait"))
        return benchWait(args.value(2, QStringLiteral("10")).toDouble());
    if (mode == QLatin1String("readout"))
        return benchReadout();
    if (mode == QLatin1String("startup"))
        return benchStartup();
    if (mode == QLatin1String("startup-child"))
        return startupChild();
    out << "Usage: vtk290-bench wait [seconds] | readout | startup\n";
    return 2;
}
