// Measures what the program costs while it waits and talks to the device.
// Usage: vtk290-bench wait [seconds]
#include "link/ucom.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <ctime>

namespace {

QTextStream out(stdout);

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

void report(const char *name, double value, const char *unit, double target, bool below = true)
{
    const bool met = below ? value < target : value > target;
    out << QString::asprintf("%-34s %10.3f %-4s target %s %.3f %s  %s\n", name, value, unit,
                             below ? "<" : ">", target, unit, met ? "ok" : "MISSED");
}

int benchWait(double seconds)
{
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    WaitSeconds(seconds);
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = wall.nsecsElapsed() / 1e9;
    out << QString::asprintf("WaitSeconds(%.1f): wall %.3f s, CPU %.3f s\n", seconds, elapsed, cpu);
    report("CPU share of one core while waiting", 100.0 * cpu / elapsed, "%", 2.0);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1, QStringLiteral("wait"));
    if (mode == QLatin1String("wait"))
        return benchWait(args.value(2, QStringLiteral("10")).toDouble());
    out << "Usage: vtk290-bench wait [seconds]\n";
    return 2;
}
