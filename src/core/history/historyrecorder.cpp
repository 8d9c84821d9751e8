#include "core/history/historyrecorder.h"

#include "core/history/historystore.h"
#include "core/setup/setupbackup.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QMetaEnum>

namespace {

// A setup as the history keeps it: each field's name and value as shown to the user.
QJsonArray setupRows(const SetupFields &fields, bool strainGauge) {
    QJsonArray rows;
    for (const auto &[name, value] : SetupRows(fields, strainGauge))
        rows << QJsonArray{name, value};
    return rows;
}

QJsonArray differenceRows(const QList<SetupDifference> &differences) {
    QJsonArray rows;
    for (const SetupDifference &difference : differences)
        rows << QJsonArray{difference.field, difference.from, difference.to};
    return rows;
}

} // namespace

HistoryRecorder::HistoryRecorder(DeviceConversation &conversation, SetupTransfer &transfer,
                                 HistoryStore &store, QObject *parent)
    : QObject(parent)
    , m_conversation(conversation)
    , m_store(store) {
    connect(&conversation, &DeviceConversation::readoutFinished, this,
            [this](const ReadoutView &view) { add(QStringLiteral("readout"), ReadoutJson(view)); });
    connect(&conversation, &DeviceConversation::deviceLost, this,
            [this](DeviceConversation::Operation operation) {
                if (operation == DeviceConversation::Operation::None)
                    return;
                add(QStringLiteral("lost"),
                    {{QStringLiteral("operation"),
                      QString::fromLatin1(QMetaEnum::fromType<DeviceConversation::Operation>()
                                              .valueToKey(int(operation)))}});
            });
    connect(&conversation, &DeviceConversation::connectedChanged, this, [this](bool connected) {
        if (!connected)
            endVisit();
    });
    connect(&transfer, &SetupTransfer::deviceSetupRead, this, [this](const QString &print) {
        add(QStringLiteral("setupRead"),
            {{QStringLiteral("print"), print},
             {QStringLiteral("setup"),
              setupRows(SetupFieldsFromText(print), m_conversation.isStrainGauge())}});
    });
    connect(&transfer, &SetupTransfer::setupWritten, this,
            [this](const SetupTransfer::WriteRecord &record) {
                add(QStringLiteral("setupWrite"),
                    {{QStringLiteral("before"),
                      setupRows(SetupFieldsFromText(record.before), record.strainGauge)},
                     {QStringLiteral("after"), setupRows(record.written, record.strainGauge)},
                     {QStringLiteral("sent"), record.sent},
                     {QStringLiteral("total"), record.total},
                     {QStringLiteral("stored"), record.stored},
                     {QStringLiteral("backup"), QDir::toNativeSeparators(record.backupPath)},
                     {QStringLiteral("readBackDifferences"),
                      differenceRows(record.readBackDifferences)}});
            });
}

void HistoryRecorder::importBackups(HistoryStore &store) {
    const QString key = QStringLiteral("backupsImported");
    if (!store.isOpen() || store.value(key))
        return;
    const QList<SetupBackup::Entry> entries = SetupBackup::list();
    // The oldest first, as the visits were.
    for (auto entry = entries.crbegin(); entry != entries.crend(); ++entry) {
        const SetupFile::Loaded loaded = SetupFile::load(entry->path);
        if (!loaded.error.isEmpty() || !SetupTextAccepted(loaded.text))
            continue;
        const std::optional<qint64> visit =
            store.beginVisit(entry->serialNumber, entry->typeText, {}, entry->time);
        const SetupFields fields = SetupFieldsFromText(loaded.text);
        if (!visit ||
            !store.record(*visit, QStringLiteral("backup"),
                          {{QStringLiteral("path"), QDir::toNativeSeparators(entry->path)},
                           {QStringLiteral("setup"), setupRows(fields, true)}},
                          entry->time) ||
            !store.endVisit(*visit, entry->time))
            return;
    }
    store.setValue(key, QDateTime::currentDateTime().toString(Qt::ISODate));
}

void HistoryRecorder::recordReport(const QString &path, const QString &result) {
    QJsonObject data{{QStringLiteral("path"), QDir::toNativeSeparators(path)}};
    if (!result.isEmpty())
        data[QStringLiteral("result")] = result;
    add(QStringLiteral("report"), data);
}

void HistoryRecorder::recordInterruption(const QString &endState) {
    add(QStringLiteral("interrupted"), {{QStringLiteral("state"), endState}});
}

// The event joins the device's visit, begun with its first event.
void HistoryRecorder::add(const QString &kind, const QJsonObject &data) {
    const QDateTime now = QDateTime::currentDateTime();
    if (!m_visit && m_store.isOpen())
        m_visit = m_store.beginVisit(m_conversation.serialNumber(), m_conversation.typeText(),
                                     QStringLiteral("COM%1").arg(m_conversation.port()), now);
    if (!m_visit || !m_store.record(*m_visit, kind, data, now))
        sayProblem();
}

void HistoryRecorder::endVisit() {
    if (m_visit && !m_store.endVisit(*m_visit, QDateTime::currentDateTime()))
        sayProblem();
    m_visit.reset();
}

void HistoryRecorder::announce() {
    sayProblem();
}

void HistoryRecorder::sayProblem() {
    const QString text = m_store.problem().isEmpty() ? m_store.notice() : m_store.problem();
    if (m_problemSaid || text.isEmpty())
        return;
    m_problemSaid = true;
    emit problemFound(text);
}
