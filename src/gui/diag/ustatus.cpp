#include "gui/diag/ustatus.h"

#include "core/diag/statusreport.h"
#include "core/history/historystore.h"
#include "gui/diag/servicerecorddialog.h"

#include "core/device/deviceconversation.h"
#include "core/device/operationrules.h"
#include "core/link/allgem.h"
#include "core/link/ucom.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/setup/setuptransfer.h"
#include "core/system/textfile.h"
#include "gui/main/fmain1.h"
#include "gui/main/formcontrols.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 480;
constexpr int ClientHeight = 701;
constexpr int MemoMargin = 8;
constexpr int BuildDelayMs = 200;
constexpr int EchoMs = 50;
constexpr const char *TextFilter = "Text (*.txt)";
constexpr const char *PdfFilter = "PDF-Dokument (*.pdf)";
constexpr const char *SetupSource =
    "Quelle: Setup-Ausdruck des Geräts (\"spr\") im Statusbericht vom %1; nur die Felder des "
    "Typs %2.";
constexpr const char *RelayStates[] = {"stromlos", "erregt"};
constexpr const char *NoError = "kein Fehler";
constexpr const char *NotRead =
    "Das Gerät war beim Erstellen des Berichts nicht verbunden oder gab keine Werte: keine "
    "Messwerte.";
constexpr const char *OtherDevice =
    "Das verbundene Gerät (F.Nr %1) ist nicht das Gerät des Statusberichts: keine Messwerte.";
constexpr const char *ReplaceQuestion = "Die Datei \"%1\" gibt es schon.\n\nErsetzen?";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// The record's values as the device gave them in one read-out.
QList<QPair<QString, QString>> readings(const ReadoutView &view) {
    const auto relay = [&view](int bit) {
        return !view.relayBits ? QString() : text(RelayStates[(*view.relayBits & bit) ? 1 : 0]);
    };
    const QString error = !view.errorCode        ? QString()
                          : *view.errorCode == 0 ? text(NoError)
                                                 : view.errorText.value_or(QString()).trimmed();
    return {
        {QStringLiteral("Eingang"),
         (view.strainGauge ? view.inputStrainGauge : view.inputCurrentPanel).trimmed()},
        {QStringLiteral("Ausgang"), view.output.trimmed()},
        {QStringLiteral("Schaltpunkt SP1"), view.switchPoint1.trimmed()},
        {QStringLiteral("Schaltpunkt SP2"), view.switchPoint2.trimmed()},
        {QStringLiteral("Relais 1"), relay(1)},
        {QStringLiteral("Relais 2"), relay(2)},
        {QStringLiteral("Fehler"), error},
        {QStringLiteral("Setupsperre"), view.setupLock},
    };
}

} // namespace

Tfstatus::Tfstatus(Tform1 &form, const SetupTransfer &transfer, QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_transfer(transfer) {
    setObjectName(QStringLiteral("Tfstatus"));
    setWindowTitle(QStringLiteral("KT290 - Status"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    resize(ClientWidth, ClientHeight);
    buildControls();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(BuildDelayMs);
    connect(Timer1, &QTimer::timeout, this, &Tfstatus::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(EchoMs);
    connect(Timer2, &QTimer::timeout, this, &Tfstatus::Timer2Timer);

    m_rules = new OperationRules(m_form.conversation(), this);
    connect(m_rules, &OperationRules::changed, this, &Tfstatus::updateControls);
    updateControls();
}

// "Aktualisieren" asks the device again: only while connected and no other exchange runs, and
// nothing is saved while the report is being built. Typed keys wait for the end of a running
// operation and go out then.
void Tfstatus::updateControls() {
    const OperationRules::Allowed allowed = m_rules->allowed();
    Aktualisieren1->setEnabled(allowed.deviceOperations);
    Speichernunter1->setEnabled(!m_building && allowed.saveResults);
    if (!m_form.conversation().isBusy() && isVisible() && !m_heldKeys.isEmpty())
        sendHeldKeys();
}

void Tfstatus::buildControls() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Schlieen1 = makeMenuCommand(MainMenu1, "Schlieen1", QStringLiteral("Schließen"));
    Speichernunter1 =
        makeMenuCommand(MainMenu1, "Speichernunter1", QStringLiteral("Speichern unter"));
    Aktualisieren1 = makeMenuCommand(MainMenu1, "Aktualisieren1", QStringLiteral("Aktualisieren"));
    connect(Schlieen1, &QAction::triggered, this, &Tfstatus::Schlieen1Click);
    connect(Speichernunter1, &QAction::triggered, this, &Tfstatus::Speichernunter1Click);
    connect(Aktualisieren1, &QAction::triggered, this, &Tfstatus::Aktualisieren1Click);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Every key belongs to the terminal: the window takes them all, the memo none.
    Memo1->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(MainMenu1);
    layout->setContentsMargins(MemoMargin, MemoMargin, MemoMargin, MemoMargin);
    layout->addWidget(Memo1);

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setNameFilters({QString::fromUtf8(TextFilter), QString::fromUtf8(PdfFilter)});
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
}

void Tfstatus::setSaveFileNameChooser(FileNameChooser chooser) {
    m_chooseFileName = std::move(chooser);
}

void Tfstatus::setRecordFormChooser(RecordFormChooser chooser) {
    m_chooseRecordForm = std::move(chooser);
}

void Tfstatus::setReplaceConfirmer(std::function<bool(const QString &path)> confirmer) {
    m_confirmReplace = std::move(confirmer);
}

void Tfstatus::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    FormShow();
}

void Tfstatus::FormShow() {
    Timer1->start();
}

// Without a connection the report on screen stays as it is, until "Aktualisieren".
void Tfstatus::Timer1Timer() {
    if (m_building)
        return;
    if (!m_form.conversation().isConnected()) {
        Timer1->stop();
        return;
    }
    BuildStatusReport();
}

void Tfstatus::BuildStatusReport() {
    Timer1->stop();
    // The terminal's echo would take the answers away from the report's questions.
    Timer2->stop();
    m_building = true;
    updateControls();
    Memo1->clear();
    m_receivedCr = false;
    takeReadingTime();
    m_setupPrint.clear();
    const bool built = m_form.conversation().statusReport(
        [this](const QString &line) { Memo1->appendPlainText(line); }, &m_setupPrint);
    m_building = false;
    if (m_closePending) {
        m_closePending = false;
        done(m_closeResult);
        return;
    }
    // Another exchange still runs (a close of the main window): the report comes later.
    if (!built && isVisible() && !m_form.conversation().isShutDown() &&
        m_form.conversation().isConnected())
        Timer1->start();
    updateControls();
    // What the user typed during the build goes out now, in the order typed.
    sendHeldKeys();
}

void Tfstatus::Aktualisieren1Click() {
    if (m_building || !m_form.conversation().deviceOperationsAllowed())
        return;
    Timer1->start();
    Timer2->stop();
}

void Tfstatus::Schlieen1Click() {
    close();
}

void Tfstatus::keyPressEvent(QKeyEvent *event) {
    const QString text = event->text();
    if (text.isEmpty()) {
        QDialog::keyPressEvent(event);
        return;
    }
    for (const QChar key : text)
        FormKeyPress(key);
    // Enter and Escape are characters for the device here, not the dialog's default and cancel.
    event->accept();
}

void Tfstatus::FormKeyPress(QChar key) {
    m_heldKeys += key;
    sendHeldKeys();
}

// Keys wait while a report is being built and behind a key that is still being sent, so that
// each one goes out alone and paced, in the order typed.
void Tfstatus::sendHeldKeys() {
    DeviceConversation &conversation = m_form.conversation();
    if (m_building || m_sendingKeys || conversation.isBusy())
        return;
    m_sendingKeys = true;
    while (!m_heldKeys.isEmpty() && conversation.isConnected()) {
        const QChar key = m_heldKeys.front();
        if (!Timer2->isActive())
            Timer2->start();
        if (!conversation.sendKeys(QString(key)))
            break;
        m_heldKeys.remove(0, 1);
    }
    m_sendingKeys = false;
}

// The echo never takes text away from another operation's questions.
void Tfstatus::Timer2Timer() {
    const QString received = m_form.conversation().takeTerminalEcho();
    if (!received.isEmpty())
        appendReceived(received);
}

// The received text continues the last line; its line ends (CR LF, CR or LF, also when CR and
// LF come in two pieces) start new lines. In an empty memo it starts the first line.
void Tfstatus::appendReceived(const QString &received) {
    QString text;
    for (const QChar c : received) {
        const bool lineFeedAfterCr = c == QLatin1Char('\n') && m_receivedCr;
        m_receivedCr = c == QLatin1Char('\r');
        if (lineFeedAfterCr)
            continue;
        text += m_receivedCr ? QChar(QLatin1Char('\n')) : c;
    }
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

QStringList Tfstatus::memoLines() const {
    QStringList lines;
    const QTextDocument *document = Memo1->document();
    if (document->isEmpty())
        return lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

void Tfstatus::Speichernunter1Click() {
    // A new report is offered under a name of its device and time; the same report again under
    // the name it was saved under last.
    if (!m_chooseFileName && m_suggestedFor != m_reading.reportAt) {
        m_suggestedFor = m_reading.reportAt;
        SaveDialog1->selectFile(
            QFileInfo(ServiceRecord::suggestedFileName(m_reading.serialNumber, m_reading.reportAt))
                .completeBaseName());
    }
    const QString chosen = m_chooseFileName ? m_chooseFileName() : askSaveFileName();
    if (chosen.isEmpty())
        return;
    const bool pdf =
        chosen.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ||
        (!m_chooseFileName && SaveDialog1->selectedNameFilter() == QString::fromUtf8(PdfFilter) &&
         QFileInfo(chosen).suffix().isEmpty());
    const QString path = pdf && QFileInfo(chosen).suffix().isEmpty()
                             ? chosen + QLatin1String(".pdf")
                             : TextFile::withDefaultExtension(chosen);
    // The dialog offers the completed name the next time.
    SaveDialog1->selectFile(path);
    if (!pdf) {
        // The report as the memo shows it, line for line.
        const QString reason = TextFile::save(path, memoLines());
        if (!reason.isEmpty())
            QMessageBox::critical(this, ApplicationTitle(),
                                  QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2")
                                      .arg(QDir::toNativeSeparators(path), reason));
        else
            emit reportSaved(path, {});
        return;
    }
    // A signed record is not replaced unasked.
    if (QFileInfo::exists(path) && !confirmReplace(path))
        return;
    const ServiceRecordForm last = ServiceRecordForm::remembered(m_reading.serialNumber);
    std::optional<ServiceRecordForm> entries;
    if (m_chooseRecordForm) {
        entries = m_chooseRecordForm(last);
    } else {
        ServiceRecordDialog dialog(last, this);
        if (dialog.exec() == QDialog::Accepted)
            entries = dialog.entries();
    }
    if (!entries)
        return;
    entries->remember(m_reading.serialNumber);
    ServiceRecordContent record = serviceRecord();
    record.form = *entries;
    // The values the record shows are read now, at the time it states.
    readValuesNow(record);
    if (m_closePending) {
        m_closePending = false;
        done(m_closeResult);
        return;
    }
    const QString reason = ServiceRecord::save(path, record);
    if (!reason.isEmpty())
        QMessageBox::critical(this, ApplicationTitle(),
                              QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2")
                                  .arg(QDir::toNativeSeparators(path), reason));
    else
        emit reportSaved(path, record.form.inOrder.value_or(true)
                                   ? QStringLiteral("in Ordnung")
                                   : QStringLiteral("nicht in Ordnung"));
}

bool Tfstatus::confirmReplace(const QString &path) {
    if (m_confirmReplace)
        return m_confirmReplace(path);
    QMessageBox box(QMessageBox::Question, ApplicationTitle(),
                    text(ReplaceQuestion).arg(QDir::toNativeSeparators(path)),
                    QMessageBox::NoButton, this);
    QPushButton *replace = box.addButton(QStringLiteral("Ersetzen"), QMessageBox::AcceptRole);
    QPushButton *keep = box.addButton(QStringLiteral("Nicht ersetzen"), QMessageBox::RejectRole);
    box.setDefaultButton(keep);
    box.exec();
    return box.clickedButton() == replace;
}

// Reads the device's values for the record; a device that is not connected (or another one)
// gives none, and the record says so.
void Tfstatus::readValuesNow(ServiceRecordContent &record) {
    DeviceConversation &conversation = m_form.conversation();
    record.readAt = QDateTime::currentDateTime();
    record.readings.clear();
    record.readingsNote = text(NotRead);
    if (!conversation.deviceOperationsAllowed())
        return;
    m_building = true;
    updateControls();
    const std::optional<ReadoutView> view = conversation.readout();
    m_building = false;
    updateControls();
    if (!view || conversation.lastOperationStopped() || !view->errorCode)
        return;
    if (view->serialNumber != record.serialNumber) {
        record.readingsNote = text(OtherDevice).arg(view->serialNumber);
        return;
    }
    record.readings = readings(*view);
    record.readingsNote.clear();
}

// The identity and the time as they are when the device is read for the report.
void Tfstatus::takeReadingTime() {
    m_reading = ServiceRecordContent();
    const ReadoutView &identity = m_form.conversation().lastReadout();
    m_reading.deviceType = identity.typeText;
    m_reading.serialNumber = identity.serialNumber;
    m_reading.swVersion = identity.swVersion;
    m_reading.hwVersion = identity.hwVersion;
    m_reading.reportAt = QDateTime::currentDateTime();
    m_strainGauge = m_form.conversation().isStrainGauge();
}

// The setup in the record is the device's own print of the same report; the dialogs' setup,
// which may hold unwritten edits, has no part in it.
ServiceRecordContent Tfstatus::serviceRecord() const {
    ServiceRecordContent content = m_reading;
    content.reportLines = memoLines();
    content.setupSource = text(SetupSource)
                              .arg(ServiceRecord::dateText(content.reportAt),
                                   content.deviceType.section(QLatin1Char(' '), 0, 1));
    const bool printed = SetupTextAccepted(m_setupPrint);
    const SetupFields device = SetupFieldsFromText(m_setupPrint);
    if (printed)
        content.setup = SetupRows(device, m_strainGauge);
    // Every write of this run into this device; the setup before and after the last one that
    // came before the report.
    std::optional<SetupTransfer::Written> last;
    for (const SetupTransfer::Written &write : m_transfer.writes()) {
        if (write.serialNumber != content.serialNumber)
            continue;
        content.writes << ServiceRecordWrite{write.at, write.sent, write.total, write.stored,
                                             write.backupPath};
        if (write.at <= content.reportAt)
            last = write;
    }
    lastVisit(content);
    if (last) {
        content.writtenAt = last->at;
        const SetupFile::Loaded backup =
            last->backupPath.isEmpty() ? SetupFile::Loaded() : SetupFile::load(last->backupPath);
        const bool backedUp = backup.error.isEmpty() && SetupTextAccepted(backup.text);
        const QList<QPair<QString, QString>> before =
            SetupRows(SetupFieldsFromText(backup.text), m_strainGauge);
        for (qsizetype i = 0; i < before.size(); ++i)
            content.changes << ServiceRecordChange{before.at(i).first,
                                                   backedUp ? before.at(i).second : QString(),
                                                   content.setup.value(i).second};
    }
    return content;
}

// The device's last visit that ended before this report, from the device history, and what
// changed in its setup since then.
void Tfstatus::lastVisit(ServiceRecordContent &content) const {
    HistoryStore *history = m_form.history();
    if (!history || content.serialNumber.isEmpty() || content.setup.isEmpty())
        return;
    const QList<HistoryStore::Visit> visits = history->visits(content.serialNumber);
    for (auto visit = visits.crbegin(); visit != visits.crend(); ++visit) {
        const QJsonArray then = visit->setupAsLeft();
        if (!visit->ended.isValid() || visit->ended > content.reportAt || then.isEmpty())
            continue;
        content.lastVisitAt = visit->begun;
        for (const auto &[field, now] : content.setup) {
            QString before;
            for (const QJsonValue &row : then)
                if (row[0].toString() == field)
                    before = row[1].toString();
            if (before != now)
                content.sinceLastVisit << ServiceRecordChange{field, before, now};
        }
        return;
    }
}

QString Tfstatus::askSaveFileName() {
    if (SaveDialog1->exec() != QDialog::Accepted)
        return {};
    return SaveDialog1->selectedFiles().value(0);
}

// Every way of closing the window ends here (menu, title bar). A close during a build stops
// the build at its next safe point and closes the window then: no exchange runs on unseen.
void Tfstatus::done(int result) {
    if (m_building) {
        m_closePending = true;
        m_closeResult = result;
        m_form.conversation().requestStop();
        return;
    }
    FormClose();
    QDialog::done(result);
}

void Tfstatus::FormClose() {
    Timer1->stop();
    Timer2->stop();
    // Nothing typed during a build goes to the device after the window has closed.
    m_heldKeys.clear();
}
