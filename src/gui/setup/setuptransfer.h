#pragma once

#include "setup/setupfields.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class QFileDialog;
class QPushButton;
class Tfeinst;
class Tform1;
class Tfrelais;

// Moves the setup between the two setup dialogs, which hold it, and the device, the default and
// the setup file; tells the main window's status bar where the setup came from.
class SetupTransfer final {
public:
    SetupTransfer(Tform1 &form, Tfrelais &relais, Tfeinst &einst);

    // Asks the user for a file name in the given dialog; the empty text when cancelled.
    // Replaceable so that the file steps run without a file dialog.
    std::function<QString(QFileDialog *dialog)> chooseFile;

    // Applies a setup text (device print or file) to both dialogs, or shows an error box.
    void ApplySetupText(const QString &text);
    // The backup made before the last write (empty when none was made).
    QString lastBackupPath() const { return m_lastBackupPath; }
    // What to tell when a write did not end with "swr1": how far it came, the backup, and how
    // to put it back.
    QString cutOffText() const;

    void upload(QPushButton *button);
    void download(QPushButton *button);
    void applyDefault();
    void openFile();
    void saveFile();
    // Show a dialog; cancelling it brings back the values of the moment it was opened.
    void editSwitchPoints();
    void editRanges();

    // The current setup as the dialogs hold it.
    SetupFields fields() const;

    // A setup this program wrote since it was started: where the device's setup before the
    // write was kept (empty without backup), when and into which device (F.Nr).
    struct Written {
        QString backupPath;
        QDateTime at;
        QString serialNumber;
    };
    const std::optional<Written> &lastWrite() const { return m_lastWrite; }

private:
    void clearForRead();
    // Shows the fields a write would change; true when the user wants it written.
    bool confirmDifferences(const SetupFields &device, const SetupFields &setup);
    void showUnreadableNumber(const QString &number);

    Tform1 &m_form;
    Tfrelais &m_relais;
    Tfeinst &m_einst;
    QString m_lastBackupPath;
    std::optional<Written> m_lastWrite;
};
