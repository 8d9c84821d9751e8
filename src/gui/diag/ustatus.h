#pragma once

#include "gui/diag/servicerecord.h"

class OperationRules;

#include <QDialog>

#include <functional>
#include <optional>

class QAction;
class QFileDialog;
class QMenuBar;
class QPlainTextEdit;
class QTimer;
class SetupTransfer;
class Tform1;

// The status window: the device's full status report and a small terminal. Every character
// typed goes to the device; whatever the device sends back is appended to the last line.
class Tfstatus final : public QDialog {
    Q_OBJECT

public:
    // Asks for the name of the file to save the report in; empty when the user cancelled.
    using FileNameChooser = std::function<QString()>;

    Tfstatus(Tform1 &form, const SetupTransfer &transfer, QWidget *parent = nullptr);

    // Asks for the service record's entries, given the last ones; nothing when cancelled.
    using RecordFormChooser =
        std::function<std::optional<ServiceRecordForm>(const ServiceRecordForm &)>;

    // Replaces the save dialog (tests).
    void setSaveFileNameChooser(FileNameChooser chooser);
    // Replaces the service record's form (tests).
    void setRecordFormChooser(RecordFormChooser chooser);
    // Replaces the question whether an existing record file is replaced (tests).
    void setReplaceConfirmer(std::function<bool(const QString &path)> confirmer);
    // The report's lines as the memo shows them.
    QStringList memoLines() const;
    bool isBuilding() const { return m_building; }
    // Still shown: a close asked for during a build waits for the build's safe stop.
    bool closePending() const { return m_closePending; }

    // Controls
    QPlainTextEdit *Memo1 = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    QAction *Schlieen1 = nullptr;
    QAction *Speichernunter1 = nullptr;
    QAction *Aktualisieren1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;

    // Handlers
    void FormShow();
    void Timer1Timer();
    void Aktualisieren1Click();
    void Schlieen1Click();
    void Speichernunter1Click();
    void FormKeyPress(QChar key);
    void Timer2Timer();
    void FormClose();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

signals:
    // The report (as text) or the record (as PDF, with the result chosen in its form) was saved.
    void reportSaved(const QString &path, const QString &result);

private:
    void buildControls();
    void BuildStatusReport();
    void sendHeldKeys();
    void updateControls();
    void appendReceived(const QString &received);
    QString askSaveFileName();
    ServiceRecordContent serviceRecord() const;
    void lastVisit(ServiceRecordContent &content) const;
    void takeReadingTime();
    bool confirmReplace(const QString &path);
    void readValuesNow(ServiceRecordContent &record);

    Tform1 &m_form;
    OperationRules *m_rules = nullptr;
    const SetupTransfer &m_transfer;
    FileNameChooser m_chooseFileName;
    RecordFormChooser m_chooseRecordForm;
    std::function<bool(const QString &path)> m_confirmReplace;
    // What the record states of the report: identity and time; and the device's setup print.
    ServiceRecordContent m_reading;
    QDateTime m_suggestedFor; // the report whose name the save dialog was offered
    QString m_setupPrint;
    bool m_strainGauge = true;
    bool m_building = false;
    bool m_sendingKeys = false;
    bool m_closePending = false;
    int m_closeResult = 0;
    QString m_heldKeys;
    bool m_receivedCr = false;
};
