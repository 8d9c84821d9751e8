#include "gui/main/fmain1.h"

#include "core/setup/setuptransfer.h"
#include "gui/history/uhistory.h"
#include "gui/main/formcontrols.h"
#include "gui/main/textfield.h"
#include "gui/main/uports.h"

#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

// The main window's controls and menu, in their places, connected to their handlers.

namespace {

constexpr int ClientWidth = 922;
constexpr int ClientHeight = 539;

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

void Tform1::buildWindow() {
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
}

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

// The connection diagrams of both models, with the input, output and switch-point fields on
// green and red and the contact pictures outlined in red.
void Tform1::buildModelPanels(QWidget *client) {
    const ModelPanel::Look look{Qt::red, QStringLiteral(":/images/contact_closed.svg"),
                                QStringLiteral(":/images/contact_open.svg")};
    const QColor green(Qt::green);
    const QString eightBlanks(8, QLatin1Char(' '));
    m_strainGaugePanel = ModelPanel::build(client, ModelPanel::Model::StrainGauge, {377, 8}, look);
    Panel1 = m_strainGaugePanel.panel;
    Image01 = m_strainGaugePanel.diagram;
    StaticTextMv = makeTextField(Panel1, "StaticTextMv",
                                 {m_strainGaugePanel.inputAt, QSize(60, 17)}, {}, green);
    StaticTextMa = makeTextField(Panel1, "StaticTextMa",
                                 {m_strainGaugePanel.outputAt, QSize(50, 17)}, eightBlanks, green);
    StaticTextSp1 = m_strainGaugePanel.switchPoint1;
    StaticTextSp2 = m_strainGaugePanel.switchPoint2;
    ImageNc1 = m_strainGaugePanel.nc1;
    ImageNo1 = m_strainGaugePanel.no1;
    ImageNo2 = m_strainGaugePanel.no2;
    ImageNc2 = m_strainGaugePanel.nc2;

    m_currentPanel = ModelPanel::build(client, ModelPanel::Model::Current, {344, 4}, look);
    Panel2 = m_currentPanel.panel;
    Image02 = m_currentPanel.diagram;
    StaticTextMv02 =
        makeTextField(Panel2, "StaticTextMv02", {m_currentPanel.inputAt, QSize(60, 17)}, {}, green);
    StaticTextMa02 = makeTextField(Panel2, "StaticTextMa02",
                                   {m_currentPanel.outputAt, QSize(50, 17)}, eightBlanks, green);
    StaticTextSP102 = m_currentPanel.switchPoint1;
    StaticTextSP202 = m_currentPanel.switchPoint2;
    ImageNc102 = m_currentPanel.nc1;
    ImageNo102 = m_currentPanel.no1;
    ImageNc202 = m_currentPanel.nc2;
    ImageNo202 = m_currentPanel.no2;
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
    m_strainGaugePanel.stackContacts();
    m_currentPanel.stackContacts();
}
