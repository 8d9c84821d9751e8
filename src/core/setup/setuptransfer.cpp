#include "setup/setuptransfer.h"

#include "device/deviceconversation.h"
#include "setup/currentsetup.h"
#include "setup/setupbackup.h"
#include "setup/setupfile.h"

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
    return SetupTextAccepted(*answer) ? Result::Done : Result::NoSetup;
}

SetupTransfer::Result SetupTransfer::write(const Questions &ask) {
    if (!m_conversation.deviceOperationsAllowed())
        return Result::Refused;
    // A setup with a field without value would store that gap in the device.
    const SetupFields setup = m_setup.fields();
    m_missingFields = MissingSetupFields(setup, m_conversation.isStrainGauge());
    if (!m_missingFields.isEmpty())
        return Result::Incomplete;
    // The device's setup as it is before the write: compared with and kept as a backup.
    const std::optional<QString> before = m_conversation.readSetup();
    if (!before || m_conversation.lastOperationStopped())
        return Result::Stopped;
    if (m_compareBeforeWrite && SetupTextAccepted(*before)) {
        const QList<SetupDifference> differences =
            SetupDifferences(SetupFieldsFromText(*before), setup, m_conversation.isStrainGauge());
        if (differences.isEmpty())
            return Result::Unchanged;
        if (!ask.writeChanges(differences))
            return Result::Declined;
    }
    const SetupBackup::Result backup = SetupBackup::store(*before, QDateTime::currentDateTime());
    m_lastBackupPath = backup.path;
    if (!backup.error.isEmpty() && !ask.writeWithoutBackup(backup.error))
        return Result::Declined;
    // The question may have been answered after "Trennen" or the program's end.
    if (!m_conversation.deviceOperationsAllowed())
        return Result::Refused;
    const bool written = m_conversation.writeSetup(setup);
    const DeviceConversation::WriteProgress progress = m_conversation.lastWrite();
    if (written && progress.sent > 0)
        m_writes << Written{backup.path,
                            QDateTime::currentDateTime(),
                            m_conversation.lastReadout().serialNumber,
                            progress.sent,
                            progress.total,
                            progress.stored};
    // The port was lost in the middle (a forced stop ends the program, which says it there).
    if (m_conversation.lastWrite().cutOff() && !m_conversation.isShutDown())
        return Result::CutOff;
    if (m_conversation.lastOperationStopped())
        return Result::Stopped;
    if (written && progress.stored)
        m_lastWrite = m_writes.last();
    // The read-out shows what the device really took.
    m_conversation.readout();
    return written ? Result::Done : Result::Failed;
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
    m_fileError = SetupFile::save(path, bytes);
    return m_fileError.isEmpty() ? Result::Done : Result::FileError;
}
