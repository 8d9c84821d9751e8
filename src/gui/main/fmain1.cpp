#include "gui/main/fmain1.h"

#include "core/device/connectionscan.h"
#include "core/device/devicereadout.h"
#include "core/device/programend.h"
#include "core/history/historystore.h"
#include "core/link/allgem.h"
#include "core/link/portnames.h"
#include "core/setup/setuptransfer.h"
#include "core/system/instancecheck.h"
#include "gui/diag/ulive.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "gui/help/uinfo.h"
#include "gui/main/umehr.h"
#include "gui/main/windowset.h"
#include "gui/setup/setupactions.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

constexpr int ProgressStep = 2;
// Status bar panel 1: where the setup came from.
constexpr int SetupPanel = 1;
const QString CaptionConnect = QStringLiteral("Verbinden");
const QString CaptionDisconnect = QStringLiteral("Trennen");
const QString SetupLockHint =
    QStringLiteral("Setupsperre kann am KT290 mittels Tastencode 916 aufgehoben werden");

} // namespace

Tform1::Tform1(DeviceConversation &conversation, CurrentSetup &setup, SetupTransfer &transfer,
               WindowSet &windows, QWidget *parent)
    : QMainWindow(parent)
    , m_conversation(conversation)
    , m_setup(setup)
    , m_transfer(transfer)
    , m_windows(windows) {
    setObjectName(QStringLiteral("Tform1"));
    setWindowTitle(QStringLiteral("Schaltverstärker KT 290 / Serviceprogramm vtk290"));
    QFont windowFont = font();
    windowFont.setPointSize(8);
    setFont(windowFont);
    buildWindow();

    m_rules = new OperationRules(m_conversation, this);
    m_end =
        new ProgramEnd(m_conversation, ProgramEnd::Front::Window, ProgramEnd::WindowGraceMs, this);
    connect(m_rules, &OperationRules::changed, this, &Tform1::applyRules);
    connect(m_end, &ProgramEnd::mayClose, this, &QWidget::close);
    connect(&m_conversation, &DeviceConversation::connectedChanged, this,
            &Tform1::onConnectedChanged);
    connect(&m_conversation, &DeviceConversation::operationChanged, this,
            &Tform1::onOperationChanged);
    connect(&m_conversation, &DeviceConversation::readoutChanged, this, &Tform1::showReadout);
    // The scan names the port it asks, with the system's name for it.
    connect(&m_conversation, &DeviceConversation::scanAsking, this, [this](const QString &port) {
        const QString path = PortNames::systemLocation(port);
        setStatusPanelText(0, path.isEmpty()
                                  ? QStringLiteral("verbinden: %1").arg(port)
                                  : QStringLiteral("verbinden: %1 (%2)").arg(port, path));
    });
    connect(&m_setup, &CurrentSetup::originChanged, this, &Tform1::onSetupOriginChanged);
    connect(&m_setup, &CurrentSetup::sourceTextChanged, MemoSetup, &QPlainTextEdit::setPlainText);
    m_transfer.setCompareBeforeWrite(VorDemSchreibenVergleichen1->isChecked());
    applyRules(m_rules->allowed());
    FormCreate();
}

Tform1::~Tform1() = default;

void Tform1::setInstanceCheck(InstanceCheck *check) {
    m_instanceCheck = check;
}

void Tform1::setHistory(HistoryStore *history) {
    m_history = history;
    Geraetehistorie1->setEnabled(history && history->isOpen());
}

QString Tform1::statusPanelText(int panel) const {
    return m_statusPanels[panel]->text();
}

void Tform1::setStatusPanelText(int panel, const QString &text) {
    m_statusPanels[panel]->setText(text);
    m_statusPanels[panel]->setToolTip(text);
}

bool Tform1::isConnected() const {
    return m_conversation.isConnected();
}

bool Tform1::isStrainGaugeModel() const {
    return m_conversation.isStrainGauge();
}

void Tform1::showEvent(QShowEvent *event) {
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QMainWindow::showEvent(event);
}

// Ending the program (menu, title bar, a desktop logout, a signal) stops a running operation at
// its next safe point; the window closes when the operation has ended. A setup write that has
// begun is finished through "swr1" first; asked again meanwhile, the user may cut it off.
void Tform1::closeEvent(QCloseEvent *event) {
    switch (m_end->request()) {
    case ProgramEnd::Answer::Now:
        closeDialogs();
        FormClose();
        QMainWindow::closeEvent(event);
        return;
    case ProgramEnd::Answer::AskToCut:
        askToCutWrite();
        break;
    case ProgramEnd::Answer::Wait:
        break;
    }
    showFinishingWrite();
    event->ignore();
}

// A write that has begun ends through "swr1" first: said at once, at every request.
void Tform1::showFinishingWrite() {
    if (const QString waiting = m_end->waitingText(); !waiting.isEmpty())
        setStatusPanelText(0, waiting);
}

// The question opens beside the write, which goes on meanwhile: "Nein" is the default.
void Tform1::askToCutWrite() {
    if (m_cutWriteQuestion)
        return;
    m_cutWriteQuestion =
        new QMessageBox(QMessageBox::Question, ApplicationTitle(), ProgramEnd::cutWriteQuestion(),
                        QMessageBox::Yes | QMessageBox::No, this);
    m_cutWriteQuestion->setDefaultButton(QMessageBox::No);
    m_cutWriteQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_cutWriteQuestion, &QMessageBox::finished, this, [this](int result) {
        if (result == QMessageBox::Yes)
            m_end->cutWrite();
    });
    m_cutWriteQuestion->open();
}

// Ctrl+C, SIGTERM or SIGHUP: the first ends the program as "Beenden" does, a second one cuts
// even a setup write after the command under way.
void Tform1::interrupt(int count) {
    const ProgramEnd::Interruption interruption = m_end->interrupt(count);
    if (!interruption.text.isEmpty()) {
        std::fputs((interruption.text + QLatin1Char('\n')).toUtf8().constData(), stderr);
        std::fflush(stderr);
    }
    if (interruption.close)
        close();
}

// A window opened by code while the program ends (its own close ends the simulation).
void Tform1::closeDialogs() {
    for (QDialog *dialog : findChildren<QDialog *>(Qt::FindDirectChildrenOnly))
        if (dialog->isVisible())
            dialog->reject();
}

void Tform1::FormClose() {
    m_conversation.disconnectDevice();
}

void Tform1::Timer1Timer() {
    if (!ProgressBar1->isVisible())
        return;
    const int next = ProgressBar1->value() + ProgressStep;
    ProgressBar1->setValue(next > ProgressBar1->maximum() ? ProgressBar1->minimum() : next);
}

// The second-copy question, once: only a check handed over by the program's start asks it.
void Tform1::Timer2Timer() {
    if (!m_windows.fmehr)
        return;
    Timer2->stop();
    if (!m_instanceCheck || !m_instanceCheck->otherCopiesRun())
        return;
    if (m_windows.fmehr->exec() != Tfmehr::ResultYes)
        close();
}

void Tform1::ButtonBeendenClick() {
    close();
}

void Tform1::Beenden1Click() {
    close();
}

void Tform1::Logfile1Click() {
    m_windows.flogfile->exec();
}

void Tform1::Simulation1Click() {
    m_windows.fsimul->exec();
}

void Tform1::Status1Click() {
    m_windows.fstatus->exec();
}

void Tform1::LiveAnzeige1Click() {
    m_windows.flive->exec();
}

void Tform1::Info1Click() {
    m_windows.aboutBox->exec();
}

void Tform1::EinstellbereichNullpunktKennwert1Click() {
    m_windows.setupActions->editRanges();
}

void Tform1::Relais1Click() {
    m_windows.setupActions->editSwitchPoints();
}

void Tform1::BitBtnVerbindenClick() {
    // "Trennen" while an operation runs disconnects at its next safe point; a click during the
    // scan is ignored.
    if (m_conversation.isConnected()) {
        m_conversation.disconnectDevice();
        showFinishingWrite();
        return;
    }
    if (m_conversation.isBusy() || !scanForDevice())
        return;
    BitBtnAktualisierenClick(BitBtnAktualisieren);
}

bool Tform1::scanForDevice() {
    clearIdentityFields();
    setStatusPanelText(0, QStringLiteral("verbinden"));

    const std::optional<ConnectionScan::Result> result = m_conversation.connectDevice();
    if (!result)
        return false;
    if (m_conversation.isConnected())
        return true;
    // A scan stopped by the program's end has nothing to tell.
    if (m_conversation.lastOperationStopped()) {
        setStatusPanelText(0, QStringLiteral("getrennt"));
        return false;
    }
    setStatusPanelText(0, QStringLiteral("kein KT 290 gefunden."));
    QMessageBox::information(this, QStringLiteral("Fehler"), notFoundMessage(*result));
    return false;
}

QString Tform1::notFoundMessage(const ConnectionScan::Result &result) {
    // A port this user may not open is no port "used by another program": say what helps.
    if (!result.deniedPort.isEmpty()) {
        const QString group =
            result.deniedGroup.isEmpty() ? QStringLiteral("dialout") : result.deniedGroup;
        return QStringLiteral("Kein KT 290 gefunden. Der Zugriff auf die Schnittstelle %1 wurde "
                              "verweigert. Der Benutzer muss Mitglied der Gruppe \"%2\" sein, "
                              "der die Schnittstelle gehört (zum Beispiel dialout). Melden Sie "
                              "sich danach neu an.")
            .arg(result.deniedPort, group);
    }
    // A server in the network: what went wrong, named with its address.
    if (!result.networkFailures.isEmpty())
        return QStringLiteral("Kein KT 290 gefunden. Der Schnittstellen-Server ist nicht "
                              "erreichbar:\n%1")
            .arg(result.networkFailures.join(QLatin1Char('\n')));
    // Another program (a second vtk290, a terminal program) holds a port.
    if (!result.busyPort.isEmpty())
        return QStringLiteral("Kein KT 290 gefunden. Die Schnittstelle %1 ist belegt: ein "
                              "anderes Programm hat sie geöffnet. Beenden Sie das andere "
                              "Programm und versuchen Sie es neu.")
            .arg(result.busyPort);
    if (result.somePortOpened)
        return QStringLiteral("Kein KT 290 gefunden. Verbinden Sie den Computer mit dem KT 290 "
                              "und schließen Sie den KT 290 an die Spannungsversorgung an.");
    return QStringLiteral("Kein KT 290 gefunden. Die Schnittstelle wird von einem andren "
                          "Programm belegt. Beenden Sie das andere Programm und versuchen Sie "
                          "es neu.");
}

// The values of the last read-out stay on the screen when the connection ends (by "Trennen" or
// because the device vanished).
void Tform1::onConnectedChanged(bool connected) {
    BitBtnVerbinden->setText(connected ? CaptionDisconnect : CaptionConnect);
    setStatusPanelText(
        0, connected ? QStringLiteral("Verbunden mit KT 290 an COM%1").arg(m_conversation.port())
                     : QStringLiteral("getrennt"));
}

// The progress bar runs while the main window's own operations talk to the device.
void Tform1::onOperationChanged(DeviceConversation::Operation operation) {
    using Operation = DeviceConversation::Operation;
    const bool own = operation == Operation::Scan || operation == Operation::Readout ||
                     operation == Operation::SetupRead || operation == Operation::SetupWrite;
    if (own && ProgressBar1->isHidden())
        ProgressBar1->setValue(0);
    ProgressBar1->setVisible(own);
}

// What may run, as the device conversation's state allows it.
void Tform1::applyRules(const OperationRules::Allowed &allowed) {
    BitBtnVerbinden->setEnabled(allowed.connectButton);
    for (QAction *action : {ffnen1, Speichern1, Default1, Relais1, Info1})
        action->setEnabled(allowed.idleActions);
    EinstellbereichNullpunktKennwert1->setEnabled(allowed.rangeEditor);
    for (QWidget *button : {BitBtnAktualisieren, BitBtnUpload, BitBtnDownload})
        button->setEnabled(allowed.deviceOperations);
    for (QAction *action : {Logfile1, Simulation1, Status1, LiveAnzeige1})
        action->setEnabled(allowed.deviceOperations);
}

void Tform1::clearIdentityFields() {
    for (QLabel *field : {StaticTextTyp, StaticTextHwVersion, StaticTextSwVersion, StaticTextFnr,
                          StaticTextSetupsperre})
        field->clear();
    Panel1->hide();
    Panel2->hide();
}

// The fields fill as the answers arrive; the button that started the read-out is held back by
// the device conversation like every other device control.
void Tform1::BitBtnAktualisierenClick(QPushButton *sender) {
    Q_UNUSED(sender);
    m_conversation.readout();
}

void Tform1::showReadout(const ReadoutView &view) {
    StaticTextTyp->setText(view.typeText);
    Panel1->setVisible(view.showStrainGaugePanel);
    Panel2->setVisible(view.showCurrentPanel);
    StaticTextSwVersion->setText(view.swVersion);
    StaticTextHwVersion->setText(view.hwVersion);
    StaticTextFnr->setText(view.serialNumber);
    StaticTextSetupsperre->setText(view.setupLock);
    StaticTextSetupsperre->setToolTip(view.setupLockHint ? SetupLockHint : QString());
    if (view.errorText) {
        LabelFehler->setText(*view.errorText);
        LabelFehler->adjustSize();
    }
    LabelFehler->setVisible(view.errorText.has_value());
    StaticTextMv->setText(view.inputStrainGauge);
    StaticTextMv02->setText(view.inputCurrentPanel);
    StaticTextMa->setText(view.output);
    StaticTextMa02->setText(view.output);
    StaticTextSp1->setText(view.switchPoint1);
    StaticTextSP102->setText(view.switchPoint1);
    StaticTextSp2->setText(view.switchPoint2);
    StaticTextSP202->setText(view.switchPoint2);
    showRelays(view.relayBits);
}

void Tform1::showLiveValues(const QString &input, const QString &output,
                            std::optional<int> relayBits) {
    StaticTextMv->setText(input);
    StaticTextMv02->setText(input);
    StaticTextMa->setText(output);
    StaticTextMa02->setText(output);
    showRelays(relayBits);
}

// Bit value 1 shows relay 1's Nc picture, bit value 2 relay 2's, in both panels.
void Tform1::showRelays(std::optional<int> relayBits) {
    ModelPanel::showRelays({&m_strainGaugePanel, &m_currentPanel}, relayBits);
}

void Tform1::onSetupOriginChanged(CurrentSetup::Origin origin) {
    switch (origin) {
    case CurrentSetup::Origin::Default:
        setStatusPanelText(SetupPanel, QStringLiteral("default Setup"));
        break;
    case CurrentSetup::Origin::Device:
        setStatusPanelText(SetupPanel, QStringLiteral("Setup vom KT 290"));
        break;
    case CurrentSetup::Origin::File:
        setStatusPanelText(SetupPanel, QStringLiteral("Setup aus Datei ") +
                                           QDir::toNativeSeparators(
                                               QFileInfo(m_setup.filePath()).absoluteFilePath()));
        break;
    case CurrentSetup::Origin::Changed:
        setStatusPanelText(SetupPanel, QStringLiteral("Setup geändert"));
        break;
    }
}

void Tform1::BitBtnUploadClick() {
    m_windows.setupActions->upload();
}

void Tform1::BitBtnDownloadClick() {
    m_windows.setupActions->download();
}

// The file menu's items wait while their file dialog is open.
void Tform1::BitBtnOpenClick() {
    ffnen1->setEnabled(false);
    m_windows.setupActions->openFile(OpenDialog1);
    applyRules(m_rules->allowed());
}

void Tform1::BitBtnSaveClick() {
    Speichern1->setEnabled(false);
    m_windows.setupActions->saveFile(SaveDialog1);
    applyRules(m_rules->allowed());
}

void Tform1::Default1Click() {
    m_windows.setupActions->applyDefault();
}

// The manual lies beside the program; when it is missing the desktop's viewer has its say.
void Tform1::Betriebsanleitung1Click() {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(ProgramDir() + QStringLiteral("KT290 Bedienungsanleitung.pdf")));
}
