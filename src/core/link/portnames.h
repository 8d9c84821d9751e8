#pragma once

#include <QString>
#include <QStringList>

// The program knows its ports only as COM1 … COM8. On Windows these are the system's COM ports.
// Elsewhere COMn is the n-th path of the environment variable VTK290_PORTS (see splitPortList;
// an empty entry means that COMn does not exist) or, without that variable, the n-th serial port
// that the system lists, USB adapters (ttyACM, then ttyUSB) first, the rest by name.
// A port chosen in the settings ("Schnittstellen") stands for its COMn unless VTK290_PORTS is set;
// a COMn left automatic keeps the order above. Paths may also be network addresses
// ("rfc2217://HOST:PORT", "tcp://HOST:PORT").
namespace PortNames {

constexpr int PortCount = 8;

// The paths chosen for COM1 … COM8 (8 entries; empty: automatic), kept in the settings.
QStringList chosenPorts();
void setChosenPorts(const QStringList &paths);
// True when VTK290_PORTS is set: it wins over the chosen ports.
bool environmentWins();

// The system path of a port name such as "COM3"; empty when there is no such port.
QString systemLocation(const QString &comName);

// The paths of a VTK290_PORTS value. Entries are separated by ';' or new lines, and then each is
// trimmed. Without either, ':' separates where another path ('/'), a network address, an empty
// entry or the end follows, so a ':' inside a name (as in /dev/serial/by-path names or
// "tcp://HOST:PORT") is part of the path.
QStringList splitPortList(const QString &list);

// The ordering used without VTK290_PORTS, given the system's port names (e.g. "ttyS0").
QStringList orderedSystemPorts(QStringList names);

} // namespace PortNames
