#pragma once

#include <QString>
#include <QStringList>

// The program knows its ports only as COM1 … COM8. On Windows these are the system's COM ports.
// Elsewhere COMn is the n-th path of the environment variable VTK290_PORTS (paths separated by
// ":", an empty entry meaning that COMn does not exist) or, without that variable, the n-th
// serial port that the system lists, USB adapters (ttyUSB, ttyACM) first, the rest by name.
namespace PortNames {

// The system path of a port name such as "COM3"; empty when there is no such port.
QString systemLocation(const QString &comName);

// The ordering used without VTK290_PORTS, given the system's port names (e.g. "ttyS0").
QStringList orderedSystemPorts(QStringList names);

} // namespace PortNames
