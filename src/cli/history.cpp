// history: the devices the history knows, or one device's visits with their events.
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "core/history/historystore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Cli {

namespace {

constexpr const char *NoHistory = "Die Gerätehistorie %1 kennt noch kein Gerät.";
constexpr const char *NoVisits = "Die Gerätehistorie %2 kennt kein Gerät mit F.Nr %1.";

void showDevices(HistoryStore &history, bool json) {
    const QList<HistoryStore::Device> devices = history.devices();
    if (json) {
        QJsonArray list;
        for (const HistoryStore::Device &device : devices)
            list << QJsonObject{{QStringLiteral("serialNumber"), jsonText(device.serialNumber)},
                                {QStringLiteral("type"), jsonText(device.typeText)},
                                {QStringLiteral("lastSeen"), device.lastSeen.toString(Qt::ISODate)},
                                {QStringLiteral("visits"), device.visits}};
        outJson(QJsonDocument(list));
    } else {
        for (const HistoryStore::Device &device : devices)
            out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(device.serialNumber.isEmpty() ? text(UnknownType) : device.serialNumber,
                         device.typeText.isEmpty() ? text(UnknownType) : device.typeText,
                         device.lastSeen.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                    .arg(device.visits));
    }
    if (devices.isEmpty())
        err(text(NoHistory).arg(native(history.path())));
}

void showVisits(HistoryStore &history, const QString &serialNumber, bool json) {
    const QList<HistoryStore::Visit> visits = history.visits(serialNumber);
    if (json) {
        QJsonArray list;
        for (const HistoryStore::Visit &visit : visits) {
            QJsonArray events;
            for (const HistoryStore::Event &event : visit.events)
                events << QJsonObject{{QStringLiteral("kind"), event.kind},
                                      {QStringLiteral("time"), event.at.toString(Qt::ISODate)},
                                      {QStringLiteral("data"), event.data}};
            list << QJsonObject{
                {QStringLiteral("port"), visit.port},
                {QStringLiteral("begun"), visit.begun.toString(Qt::ISODate)},
                {QStringLiteral("ended"), visit.ended.isValid()
                                              ? QJsonValue(visit.ended.toString(Qt::ISODate))
                                              : QJsonValue()},
                {QStringLiteral("events"), events}};
        }
        outJson(QJsonDocument(list));
    } else {
        for (const HistoryStore::Visit &visit : visits) {
            out(QStringLiteral("%1\t%2").arg(
                visit.begun.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), visit.port));
            for (const HistoryStore::Event &event : visit.events)
                out(QStringLiteral("  %1\t%2")
                        .arg(event.at.toString(QStringLiteral("HH:mm:ss")), event.kind));
        }
    }
    if (visits.isEmpty())
        err(text(NoVisits).arg(serialNumber, native(history.path())));
}

} // namespace

int History(Session &session, const QStringList &operands) {
    HistoryStore *history = session.history();
    if (!history || !history->isOpen()) {
        // The recorder has said why.
        return BadFile;
    }
    const QString serialNumber = operands.value(0);
    if (serialNumber.isEmpty())
        showDevices(*history, session.options().json);
    else
        showVisits(*history, serialNumber, session.options().json);
    return history->problem().isEmpty() ? Done : BadFile;
}

} // namespace Cli
