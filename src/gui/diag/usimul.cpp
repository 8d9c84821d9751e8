#include "gui/diag/usimul.h"

#include "core/diag/simulationvalues.h"

#include "core/device/deviceconversation.h"
#include "core/link/allgem.h"
#include "core/link/ucom.h"
#include "gui/main/fmain1.h"
#include "gui/main/formcontrols.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

constexpr int ClientWidth = 713;
constexpr int ClientHeight = 347;
constexpr int AutoRunDelayMs = 500;

QLineEdit *makeEdit(QWidget *parent, const char *name, const QString &text, const QRect &rect) {
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(rect);
    edit->setEnabled(false);
    return edit;
}

QRadioButton *makeRadio(QWidget *parent, const char *name, const QString &caption,
                        const QRect &rect) {
    auto *radio = new QRadioButton(caption, parent);
    radio->setObjectName(QLatin1String(name));
    radio->setGeometry(rect);
    // The caption stands to the left of the button.
    radio->setLayoutDirection(Qt::RightToLeft);
    return radio;
}

} // namespace

Tfsimul::Tfsimul(Tform1 &form, QWidget *parent)
    : QDialog(parent)
    , m_form(form) {
    setObjectName(QStringLiteral("Tfsimul"));
    setWindowTitle(QStringLiteral("KT290 - Simulation"));
    // The captions are laid out for the small window font of the program.
    QFont windowFont = font();
    windowFont.setPointSize(8);
    setFont(windowFont);
    setFixedSize(ClientWidth, ClientHeight);
    buildControls();
    fitCaptions(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(AutoRunDelayMs);
    connect(Timer1, &QTimer::timeout, this, &Tfsimul::Timer1Timer);
    FormCreate();

    auto *rules = new OperationRules(m_form.conversation(), this);
    connect(rules, &OperationRules::changed, this, &Tfsimul::applyRules);
    applyRules(rules->allowed());
}

// A run talks to the device: the button only while no exchange runs, the automatic run
// included.
void Tfsimul::applyRules(const OperationRules::Allowed &allowed) {
    Button1->setEnabled(allowed.idleActions);
}

void Tfsimul::buildControls() {
    buildModelPanels();
    // The two radio buttons are one group through their common parent.
    RadioButtonSimMv =
        makeRadio(this, "RadioButtonSimMv", QStringLiteral("Simulation Eingang"), {8, 51, 124, 21});
    RadioButtonSimMa = makeRadio(this, "RadioButtonSimMa", QStringLiteral("Simulation Ausgang"),
                                 {8, 143, 124, 21});
    connect(RadioButtonSimMv, &QRadioButton::clicked, this, &Tfsimul::RadioButtonSimMvClick);
    connect(RadioButtonSimMa, &QRadioButton::clicked, this, &Tfsimul::RadioButtonSimMaClick);

    Button1 = makeButton(this, "Button1", QStringLiteral("Übernehmen und Aktualisieren"),
                         {136, 290, 200, 25});
    Button1->setAutoDefault(false);
    ButtonClose =
        makeButton(this, "ButtonClose", QStringLiteral("Simulation beenden"), {559, 290, 130, 25});
    ButtonClose->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &Tfsimul::Button1Click);
    connect(ButtonClose, &QPushButton::clicked, this, &Tfsimul::ButtonCloseClick);

    constexpr int ProgressHeight = 17;
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(0, ClientHeight - ProgressHeight, ClientWidth, ProgressHeight);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
}

// The main window's connection diagrams with edits for the input and output values, the
// switch points on yellow and the contact pictures outlined in yellow.
void Tfsimul::buildModelPanels() {
    const ModelPanel::Look look{Qt::yellow, QStringLiteral(":/images/contact_closed_yellow.svg"),
                                QStringLiteral(":/images/contact_open_yellow.svg")};
    // An edit is higher than a text field: it stands two pixels higher, on the same middle.
    const QPoint editOffset(0, -2);
    m_strainGaugePanel = ModelPanel::build(this, ModelPanel::Model::StrainGauge, {136, 8}, look);
    Panel1 = m_strainGaugePanel.panel;
    Image01 = m_strainGaugePanel.diagram;
    EditMv = makeEdit(Panel1, "EditMv", QStringLiteral("0,2"),
                      {m_strainGaugePanel.inputAt + editOffset, QSize(60, 21)});
    EditMa = makeEdit(Panel1, "EditMa", QString(),
                      {m_strainGaugePanel.outputAt + editOffset, QSize(50, 21)});
    StaticTextSp1 = m_strainGaugePanel.switchPoint1;
    StaticTextSp2 = m_strainGaugePanel.switchPoint2;
    ImageNc1 = m_strainGaugePanel.nc1;
    ImageNo1 = m_strainGaugePanel.no1;
    ImageNo2 = m_strainGaugePanel.no2;
    ImageNc2 = m_strainGaugePanel.nc2;

    m_currentPanel = ModelPanel::build(this, ModelPanel::Model::Current, {136, 4}, look);
    Panel2 = m_currentPanel.panel;
    Image02 = m_currentPanel.diagram;
    EditMv2 = makeEdit(Panel2, "EditMv2", QStringLiteral("4,00"),
                       {m_currentPanel.inputAt + editOffset, QSize(60, 21)});
    EditMa2 = makeEdit(Panel2, "EditMa2", QString(),
                       {m_currentPanel.outputAt + editOffset, QSize(50, 21)});
    StaticTextSP102 = m_currentPanel.switchPoint1;
    StaticTextSP202 = m_currentPanel.switchPoint2;
    ImageNc102 = m_currentPanel.nc1;
    ImageNo102 = m_currentPanel.no1;
    ImageNc202 = m_currentPanel.nc2;
    ImageNo202 = m_currentPanel.no2;
}

// The two panels share one place, and each relay's two contact pictures one spot.
void Tfsimul::FormCreate() {
    Panel2->move(Panel1->pos());
    m_strainGaugePanel.stackContacts();
    m_currentPanel.stackContacts();
    m_inputOffset = 0.0;
}

void Tfsimul::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    FormShow();
}

// The window shows the drawing that the main window shows.
void Tfsimul::FormShow() {
    Panel1->setVisible(!m_form.Panel1->isHidden());
    Panel2->setVisible(!m_form.Panel2->isHidden());
    if (!Panel1->isHidden() || !Panel2->isHidden())
        Timer1->start();
}

void Tfsimul::Timer1Timer() {
    Timer1->stop();
    runHoldingButton();
}

void Tfsimul::RadioButtonSimMvClick() {
    EditMv->setEnabled(true);
    EditMv2->setEnabled(true);
    EditMa->setEnabled(false);
    EditMa2->setEnabled(false);
}

void Tfsimul::RadioButtonSimMaClick() {
    EditMa->setEnabled(true);
    EditMa2->setEnabled(true);
    EditMv->setEnabled(false);
    EditMv2->setEnabled(false);
}

void Tfsimul::Button1Click() {
    runHoldingButton();
}

// One run is one operation of the device conversation; every device control waits for its end.
void Tfsimul::runHoldingButton() {
    m_form.conversation().run(DeviceConversation::Operation::Simulation,
                              [this](DeviceProtocol &protocol) { ApplyAndRefresh(protocol); });
    if (m_closeRequested && m_runs == 0) {
        m_closeRequested = false;
        done(m_closeResult);
    }
}

void Tfsimul::ButtonCloseClick() {
    m_forgetOffset = true;
    close();
}

// Every way of closing the window ends here (button, title bar, Escape). A close asked for
// during a run stops the run at its next safe point and takes effect then.
void Tfsimul::done(int result) {
    if (m_runs > 0) {
        m_closeRequested = true;
        m_closeResult = result;
        m_form.conversation().requestStop();
        return;
    }
    // A second close while "res" is being sent closes nothing more.
    if (m_closing)
        return;
    m_closing = true;
    FormClose();
    QDialog::done(result);
    m_closing = false;
}

void Tfsimul::FormClose() {
    Timer1->stop();
    if (m_forgetOffset) {
        m_forgetOffset = false;
        m_inputOffset = 0.0;
    }
    // Ends the simulation on the device.
    m_form.conversation().endSimulation();
}

void Tfsimul::ApplyAndRefresh(DeviceProtocol &protocol) {
    ++m_runs;
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    m_inputOffset = SimulationRun(protocol, *this).run(m_inputOffset, m_form.isStrainGaugeModel());
    ProgressBar1->hide();
    --m_runs;
}

bool Tfsimul::inputSimulated() const {
    return RadioButtonSimMv->isChecked();
}

bool Tfsimul::outputSimulated() const {
    return RadioButtonSimMa->isChecked();
}

QString Tfsimul::inputText() const {
    return chosenText(EditMv, EditMv2);
}

QString Tfsimul::outputText() const {
    return chosenText(EditMa, EditMa2);
}

void Tfsimul::showProgress(int position) {
    ProgressBar1->setValue(position);
}

void Tfsimul::clearMeasuredInput() {
    EditMv->clear();
}

void Tfsimul::showMeasuredInput(double millivoltsPerVolt) {
    const QString text = FormatFixed(millivoltsPerVolt, 8, 3);
    EditMv->setText(text);
    EditMv2->setText(text);
}

void Tfsimul::showOutput(double milliamps) {
    EditMa->setText(HasValue(milliamps) ? FormatFixed(milliamps, 8, 3) : QString());
    EditMa2->setText(HasValue(milliamps) ? FormatFixed(milliamps, 8, 2) : QString());
}

void Tfsimul::showSwitchPoint(int point, double milliamps) {
    const QString text = HasValue(milliamps) ? FormatFixed(milliamps, 8, 2) : QString();
    (point == 1 ? StaticTextSp1 : StaticTextSp2)->setText(text);
    (point == 1 ? StaticTextSP102 : StaticTextSP202)->setText(text);
}

void Tfsimul::showRelays(double relayStates) {
    ShowRelays(relayStates);
}

// Bit value 1 shows relay 1's Nc picture, bit value 2 relay 2's, in both panels alike.
void Tfsimul::ShowRelays(double relayStates) {
    const std::optional<std::int32_t> bits =
        HasValue(relayStates) ? NearestInt(relayStates) : std::nullopt;
    ModelPanel::showRelays({&m_strainGaugePanel, &m_currentPanel}, bits);
}

// The text of the strain-gauge panel's field when that panel shows, replaced by the current
// panel's when that one shows.
QString Tfsimul::chosenText(QLineEdit *strainGaugeEdit, QLineEdit *currentEdit) const {
    QString text;
    if (!Panel1->isHidden())
        text = strainGaugeEdit->text();
    if (!Panel2->isHidden())
        text = currentEdit->text();
    return text;
}

void Tfsimul::showConversionError(const QString &text) {
    ProgressBar1->hide();
    QMessageBox::critical(this, ApplicationTitle(), SimulationValues::conversionError(text));
}
