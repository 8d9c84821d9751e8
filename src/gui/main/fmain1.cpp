#include "gui/main/fmain1.h"

#include "core/device/connectionscan.h"
#include "core/device/devicereadout.h"
#include "gui/diag/ulive.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "gui/help/uinfo.h"
#include "gui/history/uhistory.h"
#include "core/link/allgem.h"
#include "core/link/portnames.h"
#include "core/link/ucom.h"
#include "gui/main/formcontrols.h"
#include "gui/main/umehr.h"
#include "gui/main/uports.h"
#include "gui/main/windowset.h"
#include "gui/setup/setupactions.h"
#include "core/setup/setuptransfer.h"
#include "core/system/instancemark.h"

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
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

constexpr int ClientWidth = 922;
constexpr int ClientHeight = 539;
constexpr int ProgressStep = 2;
// Status bar panel 1: where the setup came from.
constexpr int SetupPanel = 1;
// How long the program's end waits for a running operation to reach a safe point.
constexpr int CloseWaitMs = 3000;
const QString CaptionConnect = QStringLiteral("Verbinden");
const QString CaptionDisconnect = QStringLiteral("Trennen");
const QString SetupLockHint =
    QStringLiteral("Setupsperre kann am KT290 mittels Tastencode 916 aufgehoben werden");

const QString SampleSetupPrint =
    QStringLiteral(" Version: 3   Ort: 4   Prüfsumme: 82, 0x52\r\n"
                   " Alarm1hysterese : 0.000000   Alarm2hysterese : 0.000000\r\n"
                   " Relais1polatität: 0   Relais2polatität: 0\r\n"
                   " Druckrichtung   : 1\r\n"
                   " Nullpotimitte   : 0.000000\r\n"
                   " 20mA Poti links : 2.500000\r\n"
                   " 20mA Poti rechts: 0.833300\r\n"
                   " Tastensperre    : 0\r\n"
                   " Sicherheitsmodus: 0\r\n"
                   " Fabrikatationsnr: 0\r\n"
                   " Filter: 2\r\n"
                   " mako: 90   makf: 2.313980e-04\r\n"
                   " maraf: -3.142000e-05   rauf: 9.954056e-01\r\n"
                   " uspf1: 4.910000e-04   uspf2: 1.594500e-03\r\n"
                   " ispf1: 1.360000e-02   ispf2: 4.784240e-02\r\n"
                   " mvf: 2.215000e-03   usinf: 2.450000e-04\r\n"
                   " maif: 2.465600e-03   dackor: 59\r\n"
                   " poti[0]: 5135  poti[1]: 301  poti[2]: 6527  poti[3]: 5176  poti[4]: 773");

// Whether "Setup im Gerät speichern" compares first; remembered between runs.
constexpr const char *CompareBeforeWriteKey = "compareBeforeWrite";

QSettings settings() {
    return QSettings(QStringLiteral("vtk290"), QStringLiteral("vtk290"));
}

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

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);
    buildControls(client);
    buildModelPanels(client);
    buildMenu();
    fitCaptions(client);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &Tform1::Timer1Timer);
    Timer1->start(100);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    connect(Timer2, &QTimer::timeout, this, &Tform1::Timer2Timer);
    Timer2->start(100);

    connect(&m_conversation, &DeviceConversation::connectedChanged, this,
            &Tform1::onConnectedChanged);
    connect(&m_conversation, &DeviceConversation::operationChanged, this,
            &Tform1::onOperationChanged);
    connect(&m_conversation, &DeviceConversation::strainGaugeChanged, this,
            &Tform1::updateDeviceControls);
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
    updateDeviceControls();
    FormCreate();
}

Tform1::~Tform1() = default;

void Tform1::buildControls(QWidget *client) {
    Image1 = makePicture(client, "Image1", QStringLiteral(":/images/logo.svg"), {24, 7, 221, 60});
    ImageHintergrund = makePicture(client, "ImageHintergrund",
                                   QStringLiteral(":/images/device.svg"), {24, 72, 307, 176});

    Bevel1 = makeBevel(client, "Bevel1", {23, 264, 891, 153});

    Label7 = makeLabel(client, "Label7", QStringLiteral("Typ"), {48, 280});
    StaticTextTyp = makeTextField(client, "StaticTextTyp", {144, 280, 201, 17});
    Label2 = makeLabel(client, "Label2", QStringLiteral("Hardwareversion"), {48, 304});
    StaticTextHwVersion = makeTextField(client, "StaticTextHwVersion", {144, 304, 201, 17});
    Label5 = makeLabel(client, "Label5", QStringLiteral("Softwareversion"), {48, 328});
    StaticTextSwVersion = makeTextField(client, "StaticTextSwVersion", {144, 328, 201, 17});
    Label6 = makeLabel(client, "Label6", QStringLiteral("F.Nr"), {48, 352});
    StaticTextFnr = makeTextField(client, "StaticTextFnr", {144, 352, 201, 17});
    Label1 = makeLabel(client, "Label1", QStringLiteral("Setupsperre"), {48, 376});
    StaticTextSetupsperre = makeTextField(client, "StaticTextSetupsperre", {144, 376, 201, 17});
    Label3 =
        makeLabel(client, "Label3",
                  QStringLiteral("Setupsperre über Taste T1 ein- und ausschalten"), {360, 376});

    LabelFehler = makeLabel(client, "LabelFehler", QStringLiteral("LabelFehler"), {401, 289});
    LabelFehler->setAutoFillBackground(true);
    LabelFehler->setStyleSheet(QStringLiteral(
        "QLabel { color: white; background: red; font-weight: bold; font-size: 13px; }"));
    LabelFehler->adjustSize();
    LabelFehler->hide();

    MemoSetup = new QPlainTextEdit(client);
    MemoSetup->setObjectName(QStringLiteral("MemoSetup"));
    MemoSetup->setGeometry(372, 311, 418, 89);
    MemoSetup->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoSetup->setPlainText(SampleSetupPrint);
    MemoSetup->hide();

    BitBtnAktualisieren = makeButton(client, "BitBtnAktualisieren", QStringLiteral("Aktualisieren"),
                                     {760, 359, 129, 49});
    BitBtnAktualisieren->setIcon(QIcon(QStringLiteral(":/images/refresh.svg")));
    BitBtnAktualisieren->setIconSize({24, 24});
    BitBtnAktualisieren->setEnabled(false);
    BitBtnUpload = makeButton(client, "BitBtnUpload", QStringLiteral("Setup vom Gerät lesen"),
                              {300, 423, 153, 25});
    BitBtnUpload->setEnabled(false);
    BitBtnDownload = makeButton(client, "BitBtnDownload",
                                QStringLiteral("Setup im Gerät speichern"), {468, 423, 153, 25});
    BitBtnDownload->setEnabled(false);
    BitBtnVerbinden =
        makeButton(client, "BitBtnVerbinden", QStringLiteral("Verbinden"), {20, 424, 97, 25});
    ButtonBeenden =
        makeButton(client, "ButtonBeenden", QStringLiteral("Beenden"), {766, 423, 123, 25});

    connect(BitBtnVerbinden, &QPushButton::clicked, this, &Tform1::BitBtnVerbindenClick);
    connect(BitBtnAktualisieren, &QPushButton::clicked, this,
            [this] { BitBtnAktualisierenClick(BitBtnAktualisieren); });
    connect(BitBtnUpload, &QPushButton::clicked, this, &Tform1::BitBtnUploadClick);
    connect(BitBtnDownload, &QPushButton::clicked, this, &Tform1::BitBtnDownloadClick);
    connect(ButtonBeenden, &QPushButton::clicked, this, &Tform1::ButtonBeendenClick);

    constexpr int StatusBarHeight = 19;
    constexpr int ProgressBarHeight = 17;
    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, ClientHeight - StatusBarHeight, ClientWidth, StatusBarHeight);
    const int panelWidths[2] = {300, 200};
    const QString panelTexts[2] = {QStringLiteral("getrennt"), QStringLiteral("default Setup")};
    for (int i = 0; i < 2; ++i) {
        // A long text (the path of a setup file) is drawn smaller rather than cut.
        m_statusPanels[i] = new TextField(StatusBar1);
        m_statusPanels[i]->setText(panelTexts[i]);
        m_statusPanels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        m_statusPanels[i]->setFixedWidth(panelWidths[i]);
        m_statusPanels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(m_statusPanels[i]);
    }

    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(0, ClientHeight - StatusBarHeight - ProgressBarHeight, ClientWidth,
                              ProgressBarHeight);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    OpenDialog1 = new QFileDialog(this, QStringLiteral("Einstellung öffnen"));
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setNameFilter(QStringLiteral("Text (*.txt)"));
    OpenDialog1->setDefaultSuffix(QStringLiteral("txt"));
    // Neither dialog asks before replacing a file or insists on an existing one; a file that
    // cannot be opened is reported when it is read.
    OpenDialog1->setFileMode(QFileDialog::AnyFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setNameFilter(QStringLiteral("Text (*.txt)"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    // The dialog completes a name without extension itself, so what it checks is what is written.
    SaveDialog1->setDefaultSuffix(QStringLiteral("txt"));
}

void Tform1::buildModelPanels(QWidget *client) {
    const QColor green(Qt::green);
    const QColor red(Qt::red);
    const QString eightBlanks(8, QLatin1Char(' '));
    const QString closedContact = QStringLiteral(":/images/contact_closed.svg");
    const QString openContact = QStringLiteral(":/images/contact_open.svg");

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(377, 8, 513, 250);
    Image01 = makePicture(Panel1, "Image01", QStringLiteral(":/images/diagram_dms.svg"),
                          {6, 4, 491, 236});
    StaticTextMv = makeTextField(Panel1, "StaticTextMv", {36, 43, 60, 17}, {}, green);
    StaticTextMa = makeTextField(Panel1, "StaticTextMa", {59, 135, 50, 17}, eightBlanks, green);
    StaticTextSp1 = makeTextField(Panel1, "StaticTextSp1", {343, 70, 50, 17}, {}, red);
    StaticTextSp2 = makeTextField(Panel1, "StaticTextSp2", {343, 158, 50, 17}, {}, red);
    ImageNc1 = makePicture(Panel1, "ImageNc1", closedContact, {400, 37, 24, 35});
    ImageNo1 = makePicture(Panel1, "ImageNo1", openContact, {388, 78, 24, 35});
    ImageNo2 = makePicture(Panel1, "ImageNo2", openContact, {388, 119, 24, 35});
    ImageNc2 = makePicture(Panel1, "ImageNc2", closedContact, {399, 168, 24, 35});
    ImageNc1->hide();
    ImageNc2->hide();
    Panel1->hide();

    Panel2 = new QFrame(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(344, 4, 570, 256);
    Image02 = makePicture(Panel2, "Image02", QStringLiteral(":/images/diagram_current.svg"),
                          {6, 5, 555, 245});
    StaticTextMv02 = makeTextField(Panel2, "StaticTextMv02", {122, 60, 60, 17}, {}, green);
    StaticTextMa02 =
        makeTextField(Panel2, "StaticTextMa02", {114, 145, 50, 17}, eightBlanks, green);
    StaticTextSP102 = makeTextField(Panel2, "StaticTextSP102", {399, 78, 50, 17}, {}, red);
    StaticTextSP202 = makeTextField(Panel2, "StaticTextSP202", {399, 165, 50, 17}, {}, red);
    ImageNc102 = makePicture(Panel2, "ImageNc102", closedContact, {455, 46, 24, 35});
    ImageNo102 = makePicture(Panel2, "ImageNo102", openContact, {423, 101, 24, 35});
    ImageNc202 = makePicture(Panel2, "ImageNc202", closedContact, {455, 177, 24, 35});
    ImageNo202 = makePicture(Panel2, "ImageNo202", openContact, {423, 137, 24, 35});
    ImageNc102->hide();
    ImageNc202->hide();
    Panel2->hide();
}

void Tform1::buildMenu() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    setMenuBar(MainMenu1);

    QMenu *file = MainMenu1->addMenu(QStringLiteral("Datei"));
    ffnen1 = makeMenuCommand(file, "ffnen1", QStringLiteral("Öffnen"));
    Speichern1 = makeMenuCommand(file, "Speichern1", QStringLiteral("Speichern"));
    file->addSeparator();
    Beenden1 = makeMenuCommand(file, "Beenden1", QStringLiteral("Beenden"));

    QMenu *parameters = MainMenu1->addMenu(QStringLiteral("Parameter"));
    EinstellbereichNullpunktKennwert1 =
        makeMenuCommand(parameters, "EinstellbereichNullpunktKennwert1",
                        QStringLiteral("Einstellbereich Nullpunkt, Kennwert"));
    Relais1 = makeMenuCommand(parameters, "Relais1", QStringLiteral("Schaltpunkte"));

    QMenu *extras = MainMenu1->addMenu(QStringLiteral("Extras"));
    Default1 = makeMenuCommand(extras, "Default1", QStringLiteral("Default"));
    Logfile1 = makeMenuCommand(extras, "Logfile1", QStringLiteral("Logfile"));
    Simulation1 = makeMenuCommand(extras, "Simulation1", QStringLiteral("Simulation"));
    Status1 = makeMenuCommand(extras, "Status1", QStringLiteral("Status"));
    LiveAnzeige1 = makeMenuCommand(extras, "LiveAnzeige1", QStringLiteral("Live-Anzeige"));
    extras->addSeparator();
    VorDemSchreibenVergleichen1 = makeMenuCommand(extras, "VorDemSchreibenVergleichen1",
                                                  QStringLiteral("Vor dem Schreiben vergleichen"));
    VorDemSchreibenVergleichen1->setCheckable(true);
    VorDemSchreibenVergleichen1->setChecked(
        settings().value(QLatin1String(CompareBeforeWriteKey), false).toBool());
    Schnittstellen1 =
        makeMenuCommand(extras, "Schnittstellen1", QStringLiteral("Schnittstellen …"));
    Geraetehistorie1 =
        makeMenuCommand(extras, "Geraetehistorie1", QStringLiteral("Gerätehistorie …"));
    Geraetehistorie1->setEnabled(false);
    Logfile1->setEnabled(false);
    LiveAnzeige1->setEnabled(false);
    Simulation1->setEnabled(false);
    Status1->setEnabled(false);

    QMenu *help = MainMenu1->addMenu(QStringLiteral("Hilfe"));
    Info1 = makeMenuCommand(help, "Info1", QStringLiteral("Info"));
    Betriebsanleitung1 =
        makeMenuCommand(help, "Betriebsanleitung1", QStringLiteral("Betriebsanleitung anzeigen"));

    connect(ffnen1, &QAction::triggered, this, &Tform1::BitBtnOpenClick);
    connect(Speichern1, &QAction::triggered, this, &Tform1::BitBtnSaveClick);
    connect(Beenden1, &QAction::triggered, this, &Tform1::Beenden1Click);
    connect(EinstellbereichNullpunktKennwert1, &QAction::triggered, this,
            &Tform1::EinstellbereichNullpunktKennwert1Click);
    connect(Relais1, &QAction::triggered, this, &Tform1::Relais1Click);
    connect(Default1, &QAction::triggered, this, &Tform1::Default1Click);
    connect(Logfile1, &QAction::triggered, this, &Tform1::Logfile1Click);
    connect(Simulation1, &QAction::triggered, this, &Tform1::Simulation1Click);
    connect(Status1, &QAction::triggered, this, &Tform1::Status1Click);
    connect(LiveAnzeige1, &QAction::triggered, this, &Tform1::LiveAnzeige1Click);
    connect(VorDemSchreibenVergleichen1, &QAction::toggled, this, [this](bool checked) {
        m_transfer.setCompareBeforeWrite(checked);
        settings().setValue(QLatin1String(CompareBeforeWriteKey), checked);
    });
    connect(Schnittstellen1, &QAction::triggered, this, [this] { TfPorts(this).exec(); });
    connect(Geraetehistorie1, &QAction::triggered, this, [this] {
        // Not modal: it asks the device nothing and may stay open beside the work.
        auto *window = new TfHistory(*m_history, this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    });
    connect(Info1, &QAction::triggered, this, &Tform1::Info1Click);
    connect(Betriebsanleitung1, &QAction::triggered, this, &Tform1::Betriebsanleitung1Click);
}

// Each relay's two contact pictures are stacked at one place, both hidden until a read-out.
void Tform1::FormCreate() {
    ImageNo1->move(ImageNc1->pos());
    ImageNo102->move(ImageNc102->pos());
    ImageNo1->hide();
    ImageNo102->hide();
    ImageNo2->move(ImageNc2->pos());
    ImageNo202->move(ImageNc202->pos());
    ImageNo2->hide();
    ImageNo202->hide();
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
    if (m_conversation.isBusy()) {
        if (m_closePending && m_conversation.isFinishingWrite())
            askToCutWrite();
        // The end waits for a safe point, but not for ever.
        m_conversation.shutDown(CloseWaitMs);
        m_closePending = true;
        if (m_conversation.isFinishingWrite())
            setStatusPanelText(0, QStringLiteral("Das Setup wird noch fertig geschrieben …"));
        event->ignore();
        return;
    }
    m_conversation.shutDown();
    closeDialogs();
    FormClose();
    QMainWindow::closeEvent(event);
}

// The question opens beside the write, which goes on meanwhile: "Nein" is the default.
void Tform1::askToCutWrite() {
    if (m_cutWriteQuestion)
        return;
    m_cutWriteQuestion = new QMessageBox(
        QMessageBox::Question, ApplicationTitle(),
        QStringLiteral("Das Setup wird gerade in den KT 290 geschrieben und ist in wenigen "
                       "Sekunden fertig.\n\nTrotzdem sofort beenden? Das im KT 290 gespeicherte "
                       "Setup ist dann womöglich unvollständig."),
        QMessageBox::Yes | QMessageBox::No, this);
    m_cutWriteQuestion->setDefaultButton(QMessageBox::No);
    m_cutWriteQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_cutWriteQuestion, &QMessageBox::finished, this, [this](int result) {
        if (result == QMessageBox::Yes)
            m_conversation.forceStop();
    });
    m_cutWriteQuestion->open();
}

// Ctrl+C, SIGTERM or SIGHUP: the first ends the program as "Beenden" does, a second one cuts
// even a setup write after the command under way.
void Tform1::interrupt(int count) {
    if (count > 1) {
        m_conversation.forceStop();
        if (!m_closePending)
            close();
        return;
    }
    if (m_conversation.isFinishingWrite())
        std::fputs("Das Setup wird noch fertig geschrieben …\n", stderr);
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

void Tform1::Timer2Timer() {
    if (!m_windows.fmehr)
        return;
    Timer2->stop();
    m_instanceMark = std::make_unique<InstanceMark>();
    if (!m_instanceMark->acquireAndCheckOthers())
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
        // A write that has begun ends through "swr1" first: said at once, at every click.
        if (m_conversation.isFinishingWrite())
            setStatusPanelText(0, QStringLiteral("Das Setup wird noch fertig geschrieben …"));
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
    updateDeviceControls();
}

// The progress bar runs while the main window's own operations talk to the device.
void Tform1::onOperationChanged(DeviceConversation::Operation operation) {
    using Operation = DeviceConversation::Operation;
    const bool own = operation == Operation::Scan || operation == Operation::Readout ||
                     operation == Operation::SetupRead || operation == Operation::SetupWrite;
    if (own && ProgressBar1->isHidden())
        ProgressBar1->setValue(0);
    ProgressBar1->setVisible(own);
    updateDeviceControls();
    if (operation == DeviceConversation::Operation::None && m_closePending) {
        m_closePending = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

// While an operation runs, nothing else that talks to the device can be started, and nothing
// opens a window of its own (whose event loop would halt the operation where it stands) or
// changes the setup. "Trennen" stops the operation at its next safe point.
void Tform1::updateDeviceControls() {
    const bool busy = m_conversation.isBusy();
    const bool idle = !busy && !m_conversation.isShutDown();
    const bool enabled = m_conversation.deviceOperationsAllowed();
    BitBtnVerbinden->setEnabled(
        !m_conversation.isShutDown() &&
        (idle || (m_conversation.isConnected() &&
                  m_conversation.operation() != DeviceConversation::Operation::Scan)));
    for (QAction *action : {ffnen1, Speichern1, Default1, Relais1, Info1})
        action->setEnabled(idle);
    EinstellbereichNullpunktKennwert1->setEnabled(idle && m_conversation.isStrainGauge());
    BitBtnAktualisieren->setEnabled(enabled);
    BitBtnUpload->setEnabled(enabled);
    Logfile1->setEnabled(enabled);
    Simulation1->setEnabled(enabled);
    Status1->setEnabled(enabled);
    LiveAnzeige1->setEnabled(enabled);
    BitBtnDownload->setEnabled(enabled);
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
    const bool known = relayBits.has_value();
    const bool relay1 = known && (*relayBits & 1);
    const bool relay2 = known && (*relayBits & 2);
    for (QWidget *nc : {ImageNc1, ImageNc102})
        nc->setVisible(known && relay1);
    for (QWidget *no : {ImageNo1, ImageNo102})
        no->setVisible(known && !relay1);
    for (QWidget *nc : {ImageNc2, ImageNc202})
        nc->setVisible(known && relay2);
    for (QWidget *no : {ImageNo2, ImageNo202})
        no->setVisible(known && !relay2);
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
    updateDeviceControls();
}

void Tform1::BitBtnSaveClick() {
    Speichern1->setEnabled(false);
    m_windows.setupActions->saveFile(SaveDialog1);
    updateDeviceControls();
}

void Tform1::Default1Click() {
    m_windows.setupActions->applyDefault();
}

// The manual lies beside the program; when it is missing the desktop's viewer has its say.
void Tform1::Betriebsanleitung1Click() {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(ProgramDir() + QStringLiteral("KT290 Bedienungsanleitung.pdf")));
}
