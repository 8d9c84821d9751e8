// scan: the device's port, or with --all what every port shows.
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "core/device/deviceconversation.h"
#include "core/link/portnames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Cli {

namespace {

constexpr const char *ProgressScan = "Schnittstellen werden gefragt …";

// What `scan --all` says of a port.
constexpr const char *FoundDevice = "KT 290: %1, F.Nr %2";
constexpr const char *FoundOther = "anderes Gerät: %1";
constexpr const char *FoundSilent = "keine Antwort";
constexpr const char *FoundBusy = "belegt";
constexpr const char *FoundDenied = "keine Berechtigung";
constexpr const char *FoundAbsent = "nicht vorhanden";
// The system's own reason for the rest is not German; the likely cause is named instead.
constexpr const char *FoundOpenFailed =
    "lässt sich nicht öffnen oder einstellen (keine serielle Schnittstelle?)";

QString findingText(const ConnectionScan::PortFinding &finding) {
    using Kind = ConnectionScan::PortFinding::Kind;
    switch (finding.kind) {
    case Kind::Device:
        return text(FoundDevice)
            .arg(finding.typeText.isEmpty() ? text(UnknownType) : finding.typeText,
                 finding.serialNumber.isEmpty() ? text(UnknownType) : finding.serialNumber);
    case Kind::OtherDevice:
        return text(FoundOther).arg(finding.answer);
    case Kind::Silent:
        return text(FoundSilent);
    case Kind::Busy:
        return finding.network ? finding.error : text(FoundBusy);
    case Kind::Denied:
        return text(FoundDenied);
    case Kind::Absent:
        return text(FoundAbsent);
    case Kind::OpenFailed:
        // A network port's reason is the program's own, named with the address.
        if (finding.network)
            return finding.error;
        break;
    }
    return text(FoundOpenFailed);
}

QString findingKey(ConnectionScan::PortFinding::Kind kind) {
    using Kind = ConnectionScan::PortFinding::Kind;
    switch (kind) {
    case Kind::Device:
        return QStringLiteral("kt290");
    case Kind::OtherDevice:
        return QStringLiteral("other");
    case Kind::Silent:
        return QStringLiteral("silent");
    case Kind::Busy:
        return QStringLiteral("busy");
    case Kind::Denied:
        return QStringLiteral("denied");
    case Kind::Absent:
        return QStringLiteral("absent");
    case Kind::OpenFailed:
        break;
    }
    return QStringLiteral("error");
}

// The port the device answers on: COM name, system path, answer to "Name".
int scanFirst(Session &session) {
    QString name;
    if (const int code = session.connectDevice(&name))
        return code;
    const QString com = QStringLiteral("COM%1").arg(session.conversation().port());
    const QString path = PortNames::systemLocation(com);
    if (session.options().json) {
        outJson(QJsonDocument(QJsonObject{{QStringLiteral("port"), com},
                                          {QStringLiteral("path"), native(path)},
                                          {QStringLiteral("name"), name}}));
    } else {
        out(QStringLiteral("%1\t%2\t%3").arg(com, native(path), name));
    }
    return Done;
}

// Every port with what it shows; NoDevice when none shows the device.
int scanAll(Session &session) {
    const bool json = session.options().json;
    int first = 0, last = 0;
    if (const int code = session.choosePorts(first, last))
        return code;
    session.progress(text(ProgressScan));
    const std::optional<QList<ConnectionScan::PortFinding>> findings =
        session.conversation().surveyPorts(first, last);
    session.endProgress();
    if (const int code = session.afterOperation(findings.has_value()))
        return code;
    QJsonArray ports;
    bool found = false;
    for (const ConnectionScan::PortFinding &finding : *findings) {
        const QString com = QStringLiteral("COM%1").arg(finding.port);
        const bool device = finding.kind == ConnectionScan::PortFinding::Kind::Device;
        found = found || device;
        if (!json) {
            out(QStringLiteral("%1\t%2\t%3")
                    .arg(com, finding.path.isEmpty() ? QStringLiteral("-") : native(finding.path),
                         findingText(finding)));
            continue;
        }
        QJsonObject port{{QStringLiteral("port"), com},
                         {QStringLiteral("path"), jsonText(native(finding.path))},
                         {QStringLiteral("status"), findingKey(finding.kind)},
                         {QStringLiteral("answer"), jsonText(finding.answer)}};
        if (device) {
            port[QStringLiteral("type")] = jsonText(finding.typeText);
            bool ok = false;
            const int serial = finding.serialNumber.toInt(&ok);
            port[QStringLiteral("serialNumber")] = ok ? QJsonValue(serial) : QJsonValue();
        }
        if (!finding.error.isEmpty())
            port[QStringLiteral("error")] = finding.error;
        ports << port;
    }
    if (json)
        outJson(QJsonDocument(ports));
    if (!found) {
        err(text(NotFound));
        return NoDevice;
    }
    return Done;
}

} // namespace

int Scan(Session &session, const QStringList &) {
    return session.options().all ? scanAll(session) : scanFirst(session);
}

} // namespace Cli
