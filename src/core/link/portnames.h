#pragma once

#include <QString>
#include <QStringList>

// The program knows its ports only as COM1 … COM8. On Windows these are the system's COM ports.
// Elsewhere COMn is the n-th path of the environment variable VTK290_PORTS (see splitPortList;
// an empty entry means that COMn does not exist) or, without that variable, the n-th serial port
// that the system lists, USB adapters (ttyACM, then ttyUSB) first, the rest by name.
// A port chosen in the settings ("Schnittstellen") stands for its COMn unless VTK290_PORTS is set;
// a COMn left automatic keeps the order above. An entry is any form PortAddress reads: a path,
// a network address ("rfc2217://HOST:PORT", "tcp://HOST:PORT", "tcp://[::1]:PORT") or a COM
// name, which stands for that COMn of the system's own order.
// A port given for one run (vtk290-cli --port PATH) overrides all of these: it is COM1, the
// only port there is.
namespace PortNames {

constexpr int PortCount = 8;

// The paths chosen for COM1 … COM8 (8 entries; empty: automatic), kept in the settings.
QStringList chosenPorts();
void setChosenPorts(const QStringList &paths);
// True when VTK290_PORTS is set: it wins over the chosen ports.
bool environmentWins();

// The ports for this run alone, COM1 first; an empty list ends the override.
void setOverride(const QStringList &paths);

// The system path of a port name such as "COM3"; empty when there is no such port.
QString systemLocation(const QString &comName);
// The n-th port of the system's own order (on Windows COMn), whatever is chosen or set.
QString systemOrderLocation(int n);

// The paths of a VTK290_PORTS value. Entries are separated by ';' or new lines, and then each is
// trimmed. Without either, ':' separates where another path ('/'), a network address, an empty
// entry or the end follows, so a ':' inside a name (as in /dev/serial/by-path names,
// "tcp://HOST:PORT" or an IPv6 host in brackets) is part of the path.
QStringList splitPortList(const QString &list);

// The ordering used without VTK290_PORTS, given the system's port names (e.g. "ttyS0").
QStringList orderedSystemPorts(QStringList names);

} // namespace PortNames
