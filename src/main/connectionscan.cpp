#include "connectionscan.h"

#include "link/deviceprotocol.h"
#include "link/portnames.h"
#include "link/ucom.h"

#include <QFileInfo>

namespace {
constexpr double FailedPortPause = 0.05;
}

ConnectionScan::ConnectionScan(DeviceProtocol &protocol)
    : m_protocol(protocol) {}

ConnectionScan::Result ConnectionScan::run(int first, int last) {
    ComLink &link = m_protocol.link();
    Result result;
    // A stopped scan opens no further port.
    for (int n = first; n <= last && !result.found && !m_protocol.stopping(); ++n) {
        const QString error = link.ComOpen(QStringLiteral("COM%1").arg(n), BaudRate);
        if (!error.isEmpty()) {
            if (link.ComOpenDenied() && result.deniedPort.isEmpty()) {
                result.deniedPort = QStringLiteral("COM%1").arg(n);
                result.deniedGroup =
                    QFileInfo(PortNames::systemLocation(result.deniedPort)).group();
            }
            if (link.ComOpenBusy() && result.busyPort.isEmpty())
                result.busyPort = QStringLiteral("COM%1").arg(n);
            link.ComClose();
            m_protocol.Pause(FailedPortPause);
            continue;
        }
        result.somePortOpened = true;
        const QString name = m_protocol.DeviceQuery(QStringLiteral("Name"));
        if (name.contains(QLatin1String("KT290"))) {
            result.found = true;
            result.name = name.trimmed();
            result.port = n;
        }
    }
    // A port that opened but did not answer with the device's name is not kept open.
    if (!result.found)
        link.ComClose();
    return result;
}
