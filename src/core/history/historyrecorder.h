#pragma once

#include "core/device/deviceconversation.h"
#include "core/setup/setuptransfer.h"

#include <QObject>
#include <QString>

#include <optional>

class HistoryStore;

// Keeps what the programs do with a device in the device history, whatever front end does the
// work: it observes the device conversation and the setup transfer. A visit begins with the
// first event of a device and ends when the connection does. A history that cannot be written
// is said once (problemFound) and never stops the device work.
class HistoryRecorder final : public QObject {
    Q_OBJECT

public:
    HistoryRecorder(DeviceConversation &conversation, SetupTransfer &transfer, HistoryStore &store,
                    QObject *parent = nullptr);

    // The backups in the backup folder, each as a visit with the setup as found, taken into the
    // history once: on the first start with a history.
    static void importBackups(HistoryStore &store);

    // Says what opening the history found (a problem, a damaged file moved aside), once the
    // front end listens.
    void announce();

    // A status report or service record a front end saved, with the result chosen in its form.
    void recordReport(const QString &path, const QString &result = {});
    // The run was interrupted; the state the device was left in.
    void recordInterruption(const QString &endState);

signals:
    // The history cannot be written or was repaired (German); said once a run.
    void problemFound(const QString &text);

private:
    void add(const QString &kind, const QJsonObject &data);
    void endVisit();
    void sayProblem();

    DeviceConversation &m_conversation;
    HistoryStore &m_store;
    std::optional<qint64> m_visit;
    bool m_problemSaid = false;
};
