#include "gui/setup/setupactions.h"

#include "core/device/deviceconversation.h"
#include "core/link/allgem.h"
#include "core/setup/currentsetup.h"
#include "core/setup/setuptransfer.h"
#include "core/system/textfile.h"
#include "gui/setup/ueinst.h"
#include "gui/setup/urelais.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

constexpr const char *ReadErrorCaption = "Fehler im String";
constexpr const char *ReadErrorText = "Beim Einlesen ist ein Fehler aufgetreten (KT290 ein?).";
constexpr const char *DefaultText = "Das Setup wurde auf default eingestellt. (Codetaste T1 = 555)";
constexpr const char *NotAFloatText = "'%1' ist kein gültiger Gleitkommawert";
constexpr const char *CannotCreateText = "Datei \"%1\" kann nicht erstellt werden. %2";
constexpr const char *CannotOpenText = "Datei %1 kann nicht geöffnet werden. %2";
constexpr const char *IncompleteCaption = "Setup unvollständig";
constexpr const char *IncompleteText =
    "Das Setup wurde nicht in den KT 290 geschrieben: ohne Wert sind %1.\n\n"
    "Ein vollständiges Setup erhalten Sie mit \"Setup vom Gerät lesen\", mit \"Datei\" → "
    "\"Öffnen\" oder mit \"Extras\" → \"Default\".";

constexpr const char *BackupFailedText =
    "Das Setup im KT 290 konnte vor dem Schreiben nicht gesichert werden.\n%1\n\n"
    "Soll das Setup ohne Sicherung in den KT 290 geschrieben werden?";
constexpr const char *CutOffCaption = "Setup nicht vollständig geschrieben";
constexpr const char *CutOffText =
    "Das Setup wurde nicht vollständig in den KT 290 geschrieben: nach %1 von %2 Befehlen "
    "unterbrochen, ohne \"swr1\". Das im KT 290 gespeicherte Setup ist womöglich "
    "unvollständig.";
constexpr const char *CutOffBackup =
    "\n\nDas Setup von vor dem Schreiben ist gesichert in\n%1\n\nSo schreiben Sie es zurück: "
    "\"Datei\" → \"Öffnen\" mit dieser Datei, dann \"Setup im Gerät speichern\".";
constexpr const char *CutOffNoBackup =
    "\n\nEine Sicherung des Setups von vor dem Schreiben gibt es nicht.";
constexpr const char *CompareCaption = "Vor dem Schreiben vergleichen";
constexpr const char *NoDifferenceText =
    "Das Setup im KT 290 stimmt mit dem Eingestellten überein. Es wurde nichts geschrieben.";
constexpr const char *DifferencesText =
    "Diese Felder würden im KT 290 geändert (Gerät → neu):\n\n%1\n\nJetzt schreiben?";
constexpr const char *DifferenceLine = "%1: %2 → %3";
constexpr const char *WriteButton = "Schreiben";
constexpr const char *CancelButton = "Abbrechen";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

QString fullPath(const QString &path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString runFileDialog(QFileDialog *dialog) {
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
}

} // namespace

SetupActions::SetupActions(CurrentSetup &setup, SetupTransfer &transfer,
                           DeviceConversation &conversation, Tfrelais &relais, Tfeinst &einst,
                           QWidget *window)
    : QObject(window)
    , chooseFile(runFileDialog)
    , m_setup(setup)
    , m_transfer(transfer)
    , m_conversation(conversation)
    , m_relais(relais)
    , m_einst(einst)
    , m_window(window) {
    const auto show = [this] {
        m_relais.showFields(m_setup.fields());
        m_einst.showFields(m_setup.fields());
    };
    connect(&m_setup, &CurrentSetup::fieldsChanged, this, show);
    // The clearing runs the check boxes' handlers: the polarity codes show "212" and "222" and
    // the safety mode goes off with them.
    connect(&m_setup, &CurrentSetup::cleared, this, [this] {
        m_einst.clearValues();
        m_relais.clearValues();
    });
    show();
}

QString SetupActions::cutOffText() const {
    const DeviceConversation::WriteProgress write = m_conversation.lastWrite();
    QString message = text(CutOffText).arg(write.sent).arg(write.total);
    const QString backup = m_transfer.lastBackupPath();
    message += backup.isEmpty() ? text(CutOffNoBackup) : text(CutOffBackup).arg(fullPath(backup));
    return message;
}

void SetupActions::showReadError() {
    QMessageBox box(QMessageBox::Warning, text(ReadErrorCaption), text(ReadErrorText),
                    QMessageBox::Ok, m_window);
    box.exec();
}

// The buttons are held back by the device conversation while the operation runs.
void SetupActions::upload() {
    if (m_transfer.read() == SetupTransfer::Result::NoSetup)
        showReadError();
}

void SetupActions::download() {
    const SetupTransfer::Result result =
        m_transfer.write({m_transfer.compareBeforeWrite(), false},
                         {[this](const QList<SetupDifference> &differences) {
                              return confirmDifferences(differences);
                          },
                          [this](const QString &error) { return confirmWithoutBackup(error); },
                          {}});
    switch (result) {
    case SetupTransfer::Result::NoSetup:
        showReadError();
        break;
    case SetupTransfer::Result::Incomplete:
        QMessageBox::warning(
            m_window, text(IncompleteCaption),
            text(IncompleteText).arg(m_transfer.missingFields().join(QStringLiteral(", "))));
        break;
    case SetupTransfer::Result::Unchanged:
        QMessageBox::information(m_window, text(CompareCaption), text(NoDifferenceText));
        break;
    case SetupTransfer::Result::CutOff:
        QMessageBox::warning(m_window, text(CutOffCaption), cutOffText());
        break;
    default:
        break;
    }
}

bool SetupActions::confirmDifferences(const QList<SetupDifference> &differences) {
    QStringList lines;
    for (const SetupDifference &difference : differences)
        lines << text(DifferenceLine).arg(difference.field, difference.from, difference.to);
    QMessageBox box(QMessageBox::Question, text(CompareCaption),
                    text(DifferencesText).arg(lines.join(QLatin1Char('\n'))), QMessageBox::NoButton,
                    m_window);
    QPushButton *write = box.addButton(text(WriteButton), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(text(CancelButton), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == write;
}

bool SetupActions::confirmWithoutBackup(const QString &error) {
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), text(BackupFailedText).arg(error),
                    QMessageBox::Yes | QMessageBox::No, m_window);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void SetupActions::applyDefault() {
    m_setup.setDefault();
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text(DefaultText), QMessageBox::Ok,
                    m_window);
    box.exec();
}

void SetupActions::openFile(QFileDialog *dialog) {
    const QString path = chooseFile(dialog);
    if (path.isEmpty())
        return;
    // A refused file changes nothing: neither the dialogs nor the status bar.
    switch (m_transfer.openFile(path)) {
    case SetupTransfer::Result::FileError:
        QMessageBox::critical(m_window, ApplicationTitle(),
                              text(CannotOpenText).arg(fullPath(path), m_transfer.fileError()));
        break;
    case SetupTransfer::Result::NoSetup:
        showReadError();
        break;
    default:
        break;
    }
}

// A name without extension gets ".txt".
void SetupActions::saveFile(QFileDialog *dialog) {
    const QString chosen = chooseFile(dialog);
    if (chosen.isEmpty())
        return;
    const QString path = TextFile::withDefaultExtension(chosen);
    dialog->selectFile(path);
    if (m_transfer.saveFile(path) == SetupTransfer::Result::FileError)
        QMessageBox::critical(m_window, ApplicationTitle(),
                              text(CannotCreateText).arg(fullPath(path), m_transfer.fileError()));
}

void SetupActions::showUnreadableNumber(const QString &number) {
    QMessageBox::critical(m_window, ApplicationTitle(), text(NotAFloatText).arg(number));
}

// A dialog is not opened on a list without value (a read that gave no setup): the user gets a
// setup from the device, a file or the default first.
bool SetupActions::listsHaveValues(const QStringList &items) {
    for (const QString &item : items) {
        if (item.isEmpty()) {
            showUnreadableNumber(item);
            return false;
        }
    }
    return true;
}

// OK hands the dialog's part of the setup to the held setup; cancelling shows the held one again.
template <typename Dialog> void SetupActions::edit(Dialog &dialog) {
    if (dialog.exec() == QDialog::Rejected) {
        dialog.showFields(m_setup.fields());
        return;
    }
    SetupFields edited = m_setup.fields();
    dialog.takeFields(edited);
    m_setup.set(edited, CurrentSetup::Origin::Changed);
}

void SetupActions::editSwitchPoints() {
    const SetupFields &held = m_setup.fields();
    if (listsHaveValues({held.hysteresis1Item, held.hysteresis2Item}))
        edit(m_relais);
}

void SetupActions::editRanges() {
    const SetupFields &held = m_setup.fields();
    if (listsHaveValues({held.vPotiLeftItem, held.vPotiRightItem}))
        edit(m_einst);
}
