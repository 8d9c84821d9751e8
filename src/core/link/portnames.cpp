#include "core/link/portnames.h"

#include "core/link/portaddress.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSettings>
#include <QtGlobal>

#include <algorithm>

namespace {

QStringList g_override;

int comNumber(const QString &comName) {
    if (!comName.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    bool ok = false;
    const int n = comName.mid(3).toInt(&ok);
    return ok ? n : 0;
}

bool isUsbAdapter(const QString &name) {
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

// "ttyS2" before "ttyS10": names compare by their stem, then by their trailing number.
bool naturalLess(const QString &a, const QString &b) {
    auto split = [](const QString &name) {
        qsizetype digits = name.size();
        while (digits > 0 && name.at(digits - 1).isDigit())
            --digits;
        return std::pair(name.left(digits), name.mid(digits).toLongLong());
    };
    return split(a) < split(b);
}

} // namespace

namespace PortNames {

QStringList splitPortList(const QString &list) {
    if (list.contains(u';') || list.contains(u'\n')) {
        QStringList paths;
        for (const QString &entry : list.split(QRegularExpression(QStringLiteral("[;\n]"))))
            paths << entry.trimmed();
        return paths;
    }
    // The older form: a ':' ends an entry only where a new path (or an empty entry) follows, so
    // that names such as /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 stay whole.
    QStringList paths;
    qsizetype start = 0;
    bool bracket = false; // inside an IPv6 host
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i) == u'[')
            bracket = true;
        else if (list.at(i) == u']')
            bracket = false;
        if (list.at(i) != u':' || bracket)
            continue;
        const bool last = i + 1 == list.size();
        // "rfc2217://HOST:PORT": the scheme's ':' is part of the address, and a ':' before a
        // network address ends an entry.
        const QString rest = list.mid(i + 1);
        const bool scheme = rest.startsWith(QLatin1String("//"));
        const bool network = rest.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive) ||
                             rest.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
        if (last || network || (!scheme && (rest.at(0) == u'/' || rest.at(0) == u':'))) {
            paths << list.mid(start, i - start);
            start = i + 1;
        }
    }
    paths << list.mid(start);
    return paths;
}

QStringList orderedSystemPorts(QStringList names) {
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        if (isUsbAdapter(a) != isUsbAdapter(b))
            return isUsbAdapter(a);
        return naturalLess(a, b);
    });
    return names;
}

QStringList chosenPorts() {
    QSettings settings(QStringLiteral("vtk290"), QStringLiteral("vtk290"));
    QStringList paths;
    for (int n = 1; n <= PortCount; ++n)
        paths << settings.value(QStringLiteral("ports/COM%1").arg(n)).toString().trimmed();
    return paths;
}

void setChosenPorts(const QStringList &paths) {
    QSettings settings(QStringLiteral("vtk290"), QStringLiteral("vtk290"));
    for (int n = 1; n <= PortCount; ++n) {
        const QString path = n <= paths.size() ? paths.at(n - 1).trimmed() : QString();
        const QString key = QStringLiteral("ports/COM%1").arg(n);
        if (path.isEmpty())
            settings.remove(key);
        else
            settings.setValue(key, path);
    }
}

bool environmentWins() {
#ifdef Q_OS_WIN
    return false;
#else
    return qEnvironmentVariableIsSet("VTK290_PORTS");
#endif
}

void setOverride(const QStringList &paths) {
    g_override = paths;
}

// A listed entry: a COM name stands for that COMn of the system's order.
QString entryLocation(const QString &entry) {
    const PortAddress address = PortAddress::parse(entry);
    return address.kind == PortAddress::Kind::Com ? systemOrderLocation(address.comNumber) : entry;
}

QString systemLocation(const QString &comName) {
    const int n = comNumber(comName);
    if (n < 1)
        return {};
    if (!g_override.isEmpty())
        return n <= g_override.size() ? entryLocation(g_override.at(n - 1)) : QString();
    if (environmentWins()) {
        const QStringList paths = splitPortList(qEnvironmentVariable("VTK290_PORTS"));
        return n <= paths.size() ? entryLocation(paths.at(n - 1)) : QString();
    }
    if (n <= PortCount) {
        const QString chosen = chosenPorts().at(n - 1);
        if (!chosen.isEmpty())
            return entryLocation(chosen);
    }
    return systemOrderLocation(n);
}

QString systemOrderLocation(int n) {
    if (n < 1)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    names = orderedSystemPorts(names);
    if (n > names.size())
        return {};
    for (const QSerialPortInfo &info : ports) {
        if (info.portName() == names.at(n - 1))
            return info.systemLocation();
    }
    return {};
#endif
}

} // namespace PortNames
