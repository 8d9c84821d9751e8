#include "core/setup/setuptransfer.h"

#include "core/device/deviceconversation.h"
#include "core/setup/currentsetup.h"
#include "core/setup/setupbackup.h"
#include "core/setup/setupfile.h"
#include "core/system/filewriter.h"

#include <QScopeGuard>

SetupTransfer::SetupTransfer(DeviceConversation &conversation, CurrentSetup &setup, QObject *parent)
    : QObject(parent)
    , m_conversation(conversation)
    , m_setup(setup) {}

SetupTransfer::Result SetupTransfer::read() {
    if (!m_conversation.deviceOperationsAllowed())
        return Result::Refused;
    m_setup.clearValues();
    const std::optional<QString> answer = m_conversation.readSetup();
    // A read stopped by the program's end or "Trennen" leaves the values cleared.
    if (!answer || m_conversation.lastOperationStopped())
        return Result::Stopped;
    m_setup.setDeviceText(*answer);
    if (SetupTextAccepted(*answer))
        emit deviceSetupRead(*answer);
    return SetupTextAccepted(*answer) ? Result::Done : Result::NoSetup;
}

SetupTransfer::Result SetupTransfer::write(const Plan &plan, const Questions &ask) {
    m_lastBackupPath.clear();
    m_lastBackupError.clear();
    m_readBackDifferences.clear();
    if (!m_conversation.deviceOperationsAllowed())
        return Result::Refused;
    // A setup with a field without value would store that gap in the device.
    const SetupFields setup = m_setup.fields();
    const bool strainGauge = m_conversation.isStrainGauge();
    m_missingFields = MissingSetupFields(setup, strainGauge);
    if (!m_missingFields.isEmpty())
        return Result::Incomplete;
    // The device's setup as it is before the write: compared with and kept as a backup.
    const std::optional<QString> before = m_conversation.readSetup();
    if (!before || m_conversation.lastOperationStopped())
        return Result::Stopped;
    if (SetupTextAccepted(*before))
        emit deviceSetupRead(*before);
    if (plan.compare) {
        if (!SetupTextAccepted(*before))
            return Result::NoSetup;
        const QList<SetupDifference> differences =
            SetupDifferences(SetupFieldsFromText(*before), setup, strainGauge);
        if (differences.isEmpty())
            return Result::Unchanged;
        if (!ask.writeChanges(differences))
            return Result::Declined;
    }
    const SetupBackup::Result backup =
        SetupBackup::store(*before, QDateTime::currentDateTime(), m_conversation.typeText());
    m_lastBackupPath = backup.path;
    m_lastBackupError = backup.error;
    if (!backup.error.isEmpty() && !ask.writeWithoutBackup(backup.error))
        return Result::Declined;
    if (backup.error.isEmpty() && ask.backedUp)
        ask.backedUp(backup.path);
    // The question may have been answered after "Trennen" or the program's end.
    if (!m_conversation.deviceOperationsAllowed())
        return Result::Refused;
    const bool written = m_conversation.writeSetup(setup);
    const DeviceConversation::WriteProgress progress = m_conversation.lastWrite();
    const QString serialNumber = SetupSerialNumber(*before).isEmpty()
                                     ? m_conversation.serialNumber()
                                     : SetupSerialNumber(*before);
    if (written && progress.sent > 0)
        m_writes << Written{backup.path,    QDateTime::currentDateTime(),
                            serialNumber,   progress.sent,
                            progress.total, progress.stored};
    WriteRecord record{*before,        setup,           strainGauge, progress.sent,
                       progress.total, progress.stored, backup.path, {}};
    // Told whatever comes next: the history keeps cut writes as well.
    const auto tell = qScopeGuard([this, &record, &progress] {
        if (progress.sent > 0) {
            record.readBackDifferences = m_readBackDifferences;
            emit setupWritten(record);
        }
    });
    // The port was lost in the middle (a forced stop ends the program, which says it there).
    if (m_conversation.lastWrite().cutOff() && !m_conversation.isShutDown())
        return Result::CutOff;
    if (m_conversation.lastOperationStopped())
        return Result::Stopped;
    if (written && progress.stored)
        m_lastWrite = m_writes.last();
    if (!plan.readBack) {
        // The read-out shows what the device really took.
        m_conversation.readout();
        return written ? Result::Done : Result::Failed;
    }
    if (!written)
        return Result::Failed;
    const std::optional<QString> after = m_conversation.readSetup();
    if (m_conversation.lastOperationStopped())
        return Result::Stopped;
    if (!after || !SetupTextAccepted(*after))
        return Result::NotReadBack;
    m_readBackDifferences = SetupDifferences(SetupFieldsFromText(*after), setup, strainGauge);
    return m_readBackDifferences.isEmpty() ? Result::Done : Result::ReadBackDiffers;
}

SetupTransfer::Result SetupTransfer::openFile(const QString &path) {
    const SetupFile::Loaded loaded = SetupFile::load(path);
    m_fileError = loaded.error;
    if (!loaded.error.isEmpty())
        return Result::FileError;
    // A text without a setup is refused as a device answer without one would be.
    return m_setup.applyText(loaded.text, CurrentSetup::Origin::File, path) ? Result::Done
                                                                            : Result::NoSetup;
}

SetupTransfer::Result SetupTransfer::saveFile(const QString &path) {
    const QByteArray bytes =
        SetupFile::encode(SetupFile::lines(m_setup.fields(), QDateTime::currentDateTime()));
    m_fileError = FileWriter::save(path, bytes);
    return m_fileError.isEmpty() ? Result::Done : Result::FileError;
}
