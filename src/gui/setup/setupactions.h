#pragma once

#include "core/setup/setupfields.h"

#include <QObject>
#include <QString>

#include <functional>

class CurrentSetup;
class DeviceConversation;
class QFileDialog;
class QWidget;
class SetupTransfer;
class Tfeinst;
class Tfrelais;

// The window program's side of the setup: the two setup dialogs follow the setup the program
// holds, and the setup commands of the main window run the transfer with their file dialogs,
// questions and messages.
class SetupActions final : public QObject {
    Q_OBJECT

public:
    SetupActions(CurrentSetup &setup, SetupTransfer &transfer, DeviceConversation &conversation,
                 Tfrelais &relais, Tfeinst &einst, QWidget *window);

    // Asks the user for a file name in the given dialog; the empty text when cancelled.
    // Replaceable so that the file steps run without a file dialog.
    std::function<QString(QFileDialog *dialog)> chooseFile;

    void upload();
    void download();
    void applyDefault();
    void openFile(QFileDialog *dialog);
    void saveFile(QFileDialog *dialog);
    // Show a dialog; OK hands its values to the setup, cancelling shows the setup again.
    void editSwitchPoints();
    void editRanges();

    // What to tell when a write did not end with "swr1": how far it came, the backup, and how
    // to put it back.
    QString cutOffText() const;

private:
    bool confirmDifferences(const QList<SetupDifference> &differences);
    bool confirmWithoutBackup(const QString &error);
    void showReadError();
    void showUnreadableNumber(const QString &number);
    bool listsHaveValues(const QStringList &items);
    template <typename Dialog> void edit(Dialog &dialog);

    CurrentSetup &m_setup;
    SetupTransfer &m_transfer;
    DeviceConversation &m_conversation;
    Tfrelais &m_relais;
    Tfeinst &m_einst;
    QWidget *m_window;
};
