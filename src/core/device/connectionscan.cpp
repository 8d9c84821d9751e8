#include "core/device/connectionscan.h"

#include "core/link/deviceprotocol.h"
#include "core/link/networkportio.h"
#include "core/link/portnames.h"
#include "core/link/ucom.h"

#include <QFileInfo>

namespace {
constexpr double FailedPortPause = 0.05;
}

ConnectionScan::ConnectionScan(DeviceProtocol &protocol)
    : m_protocol(protocol) {}

ConnectionScan::Result ConnectionScan::run(int first, int last, const Asking &asking) {
    ComLink &link = m_protocol.link();
    Result result;
    // A stopped scan opens no further port.
    for (int n = first; n <= last && !result.found && !m_protocol.stopping(); ++n) {
        if (asking)
            asking(QStringLiteral("COM%1").arg(n));
        const QString error = link.ComOpen(QStringLiteral("COM%1").arg(n), BaudRate);
        if (!error.isEmpty()) {
            const QString path = PortNames::systemLocation(QStringLiteral("COM%1").arg(n));
            if (NetworkPortIo::isNetworkPath(path))
                result.networkFailures << error;
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
        } else if (!name.trimmed().isEmpty() && result.otherPort == 0) {
            result.otherPort = n;
            result.otherAnswer = name.trimmed();
        }
    }
    // A port that opened but did not answer with the device's name is not kept open.
    if (!result.found)
        link.ComClose();
    return result;
}

QList<ConnectionScan::PortFinding> ConnectionScan::survey(const Identify &identify, int first,
                                                          int last) {
    ComLink &link = m_protocol.link();
    QList<PortFinding> findings;
    for (int n = first; n <= last && !m_protocol.stopping(); ++n) {
        PortFinding finding;
        finding.port = n;
        finding.path = PortNames::systemLocation(QStringLiteral("COM%1").arg(n));
        finding.network = NetworkPortIo::isNetworkPath(finding.path);
        if (finding.path.isEmpty() || (!finding.network && !QFileInfo::exists(finding.path))) {
            finding.kind = PortFinding::Kind::Absent;
            findings << finding;
            continue;
        }
        const QString error = link.ComOpen(QStringLiteral("COM%1").arg(n), BaudRate);
        if (!error.isEmpty()) {
            finding.kind = link.ComOpenBusy()     ? PortFinding::Kind::Busy
                           : link.ComOpenDenied() ? PortFinding::Kind::Denied
                                                  : PortFinding::Kind::OpenFailed;
            finding.error = error;
            link.ComClose();
            findings << finding;
            continue;
        }
        finding.answer = m_protocol.DeviceQuery(QStringLiteral("Name")).trimmed();
        if (finding.answer.contains(QLatin1String("KT290"))) {
            finding.kind = PortFinding::Kind::Device;
            if (identify && !m_protocol.ended())
                identify(finding);
        } else {
            finding.kind = finding.answer.isEmpty() ? PortFinding::Kind::Silent
                                                    : PortFinding::Kind::OtherDevice;
        }
        link.ComClose();
        findings << finding;
    }
    return findings;
}
