#include "portnames.h"

#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>

namespace {

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

QStringList orderedSystemPorts(QStringList names) {
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        if (isUsbAdapter(a) != isUsbAdapter(b))
            return isUsbAdapter(a);
        return naturalLess(a, b);
    });
    return names;
}

QString systemLocation(const QString &comName) {
    const int n = comNumber(comName);
    if (n < 1)
        return {};
#ifdef Q_OS_WIN
    return comName;
#else
    if (qEnvironmentVariableIsSet("VTK290_PORTS")) {
        const QStringList paths = qEnvironmentVariable("VTK290_PORTS").split(QLatin1Char(':'));
        return n <= paths.size() ? paths.at(n - 1) : QString();
    }
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
