#include "setup/setuptransfer.h"

#include "link/allgem.h"
#include "link/ucom.h"
#include "device/deviceconversation.h"
#include "main/fmain1.h"
#include "setup/radiogroup.h"
#include "setup/setupbackup.h"
#include "setup/setupfile.h"
#include "setup/setuptext.h"
#include "setup/ueinst.h"
#include "setup/urelais.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr int SetupPanel = 1;

constexpr const char *StatusFromDevice = "Setup vom KT 290";
constexpr const char *StatusFromFile = "Setup aus Datei ";
constexpr const char *StatusDefault = "default Setup";
constexpr const char *StatusChanged = "Setup geändert";
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

SetupTransfer::SetupTransfer(Tform1 &form, Tfrelais &relais, Tfeinst &einst)
    : chooseFile(runFileDialog)
    , m_form(form)
    , m_relais(relais)
    , m_einst(einst) {}

SetupFields SetupTransfer::fields() const {
    SetupFields fields;
    fields.relay1DeEnergised = m_relais.CheckBoxR1Pol->isChecked();
    fields.relay2DeEnergised = m_relais.CheckBoxR2Pol->isChecked();
    fields.hysteresis1Item = m_relais.ComboBoxAl1Hy->currentText();
    fields.hysteresis2Item = m_relais.ComboBoxAl2Hy->currentText();
    fields.safetyMode = m_relais.CheckBox251->isChecked();
    fields.pressureIndex = m_einst.RadioGroupZD->itemIndex();
    fields.zeroIndex = m_einst.ComboBox0PotiL->currentIndex();
    fields.vPotiLeftItem = m_einst.ComboBoxVPotiL->currentText();
    fields.vPotiRightItem = m_einst.ComboBoxVPotiR->currentText();
    return fields;
}

void SetupTransfer::ApplySetupText(const QString &setupText) {
    if (!SetupTextAccepted(setupText)) {
        QMessageBox box(QMessageBox::Warning, text(ReadErrorCaption), text(ReadErrorText),
                        QMessageBox::Ok, &m_form);
        box.exec();
        return;
    }
    m_einst.ApplyText(setupText);
    m_relais.ApplyText(setupText);
}

QString SetupTransfer::cutOffText() const {
    const DeviceConversation::WriteProgress write = m_form.conversation().lastWrite();
    QString message = text(CutOffText).arg(write.sent).arg(write.total);
    message += m_lastBackupPath.isEmpty() ? text(CutOffNoBackup)
                                          : text(CutOffBackup).arg(fullPath(m_lastBackupPath));
    return message;
}

// A failed read leaves the dialogs in this state, so nothing of an older setup can pass for
// the device's. The clearing runs the check boxes' handlers: the polarity codes show "212" and
// "222" and the safety mode goes off with them.
void SetupTransfer::clearForRead() {
    for (QComboBox *list : {m_einst.ComboBox0PotiL, m_einst.ComboBoxVPotiL, m_einst.ComboBoxVPotiR})
        list->setCurrentIndex(-1);
    m_relais.CheckBoxR1Pol->setChecked(false);
    m_relais.CheckBoxR2Pol->setChecked(false);
    m_relais.ComboBoxAl1Hy->setCurrentIndex(-1);
    m_relais.ComboBoxAl2Hy->setCurrentIndex(-1);
    m_relais.CheckBox251->setChecked(false);
    m_einst.RadioGroupZD->setItemIndex(-1);
}

// The buttons are held back by the device conversation while the operation runs.
void SetupTransfer::upload(QPushButton *button) {
    Q_UNUSED(button);
    DeviceConversation &conversation = m_form.conversation();
    if (!conversation.deviceOperationsAllowed())
        return;
    m_form.ProgressBar1->setValue(0);
    m_form.ProgressBar1->show();
    clearForRead();
    const std::optional<QString> answer = conversation.readSetup();
    m_form.ProgressBar1->hide();
    // A read stopped by the program's end or "Trennen" leaves the dialogs cleared and says
    // nothing more.
    if (!answer || conversation.lastOperationStopped())
        return;
    m_form.MemoSetup->setPlainText(*answer);
    m_form.setStatusPanelText(SetupPanel, text(StatusFromDevice));
    ApplySetupText(*answer);
}

void SetupTransfer::download(QPushButton *button) {
    Q_UNUSED(button);
    DeviceConversation &conversation = m_form.conversation();
    if (!conversation.deviceOperationsAllowed())
        return;
    // A setup with a field without value would store that gap in the device.
    const SetupFields setup = fields();
    const QStringList missing = MissingSetupFields(setup, conversation.isStrainGauge());
    if (!missing.isEmpty()) {
        QMessageBox::warning(&m_form, text(IncompleteCaption),
                             text(IncompleteText).arg(missing.join(QStringLiteral(", "))));
        return;
    }
    m_form.ProgressBar1->setValue(0);
    m_form.ProgressBar1->show();
    // The device's setup as it is before the write: compared with and kept as a backup.
    const std::optional<QString> before = conversation.readSetup();
    m_form.ProgressBar1->hide();
    if (!before || conversation.lastOperationStopped())
        return;
    if (m_form.VorDemSchreibenVergleichen1->isChecked() && SetupTextAccepted(*before) &&
        !confirmDifferences(SetupFieldsFromText(*before), setup))
        return;
    const SetupBackup::Result backup = SetupBackup::store(*before, QDateTime::currentDateTime());
    m_lastBackupPath = backup.path;
    if (!backup.error.isEmpty()) {
        QMessageBox box(QMessageBox::Question, ApplicationTitle(),
                        text(BackupFailedText).arg(backup.error),
                        QMessageBox::Yes | QMessageBox::No, &m_form);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return;
    }
    if (!conversation.deviceOperationsAllowed())
        return;
    m_form.ProgressBar1->show();
    const bool written = conversation.writeSetup(setup);
    m_form.ProgressBar1->hide();
    // The port was lost in the middle (a forced stop ends the program, which says it there).
    if (conversation.lastWrite().cutOff() && !conversation.isShutDown()) {
        QMessageBox::warning(&m_form, text(CutOffCaption), cutOffText());
        return;
    }
    if (conversation.lastOperationStopped())
        return;
    if (written)
        m_lastWrite =
            Written{backup.path, QDateTime::currentDateTime(), m_form.StaticTextFnr->text()};
    // The read-out shows what the device really took.
    m_form.BitBtnAktualisierenClick(m_form.BitBtnAktualisieren);
}

bool SetupTransfer::confirmDifferences(const SetupFields &device, const SetupFields &setup) {
    const QList<SetupDifference> differences =
        SetupDifferences(device, setup, m_form.conversation().isStrainGauge());
    if (differences.isEmpty()) {
        QMessageBox::information(&m_form, text(CompareCaption), text(NoDifferenceText));
        return false;
    }
    QStringList lines;
    for (const SetupDifference &difference : differences)
        lines << text(DifferenceLine).arg(difference.field, difference.from, difference.to);
    QMessageBox box(QMessageBox::Question, text(CompareCaption),
                    text(DifferencesText).arg(lines.join(QLatin1Char('\n'))), QMessageBox::NoButton,
                    &m_form);
    QPushButton *write = box.addButton(text(WriteButton), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(text(CancelButton), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == write;
}

void SetupTransfer::applyDefault() {
    m_einst.ApplyValues(1, 0.0, 0.8333, 2.0);
    m_relais.ApplyValues(true, true, 0.0, 0.0, false);
    m_form.setStatusPanelText(SetupPanel, text(StatusDefault));
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text(DefaultText), QMessageBox::Ok,
                    &m_form);
    box.exec();
}

void SetupTransfer::openFile() {
    m_form.ffnen1->setEnabled(false);
    const QString path = chooseFile(m_form.OpenDialog1);
    if (!path.isEmpty()) {
        const SetupFile::Loaded loaded = SetupFile::load(path);
        if (!loaded.error.isEmpty()) {
            // A refused file changes nothing: neither the dialogs nor the status bar.
            QMessageBox::critical(&m_form, ApplicationTitle(),
                                  text(CannotOpenText).arg(fullPath(path), loaded.error));
        } else if (!SetupTextAccepted(loaded.text)) {
            // A text without a setup is refused as a device answer without one would be, and
            // changes nothing either.
            ApplySetupText(loaded.text);
        } else {
            m_form.MemoSetup->setPlainText(loaded.text);
            ApplySetupText(loaded.text);
            m_form.setStatusPanelText(SetupPanel, text(StatusFromFile) + fullPath(path));
        }
        m_form.Speichern1->setEnabled(true);
    }
    m_form.ffnen1->setEnabled(true);
}

void SetupTransfer::saveFile() {
    m_form.Speichern1->setEnabled(false);
    QString path = chooseFile(m_form.SaveDialog1);
    if (!path.isEmpty()) {
        path = SetupFile::withDefaultExtension(path);
        m_form.SaveDialog1->selectFile(path);
        const QByteArray bytes =
            SetupFile::encode(SetupFile::lines(fields(), QDateTime::currentDateTime()));
        const QString error = SetupFile::save(path, bytes);
        if (!error.isEmpty())
            QMessageBox::critical(&m_form, ApplicationTitle(),
                                  text(CannotCreateText).arg(fullPath(path), error));
    }
    m_form.Speichern1->setEnabled(true);
}

void SetupTransfer::showUnreadableNumber(const QString &number) {
    QMessageBox::critical(&m_form, ApplicationTitle(), text(NotAFloatText).arg(number));
}

// A list without value cannot be restored on cancel, so the dialog is not opened until a setup
// has been applied (from the device, a file or the default).
void SetupTransfer::editSwitchPoints() {
    QString unreadable;
    const std::optional<TRelaisSnapshot> snapshot = m_relais.TakeSnapshot(&unreadable);
    if (!snapshot) {
        showUnreadableNumber(unreadable);
        return;
    }
    if (m_relais.exec() != QDialog::Rejected) {
        m_form.setStatusPanelText(SetupPanel, text(StatusChanged));
        return;
    }
    m_relais.ApplyValues(snapshot->relay1Polarity > 0.5, snapshot->relay2Polarity > 0.5,
                         snapshot->hysteresis1, snapshot->hysteresis2, snapshot->safetyMode > 0.5);
}

void SetupTransfer::editRanges() {
    QString unreadable;
    const std::optional<TEinstSnapshot> snapshot = m_einst.TakeSnapshot(&unreadable);
    if (!snapshot) {
        showUnreadableNumber(unreadable);
        return;
    }
    if (m_einst.exec() != QDialog::Rejected) {
        m_form.setStatusPanelText(SetupPanel, text(StatusChanged));
        return;
    }
    m_einst.ApplyValues(NearestInt(snapshot->direction), snapshot->zeroCentre, snapshot->vPotiRight,
                        snapshot->vPotiLeft);
}
