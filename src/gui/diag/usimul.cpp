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

const QString ClosedContact = QStringLiteral(":/images/contact_closed_yellow.svg");
const QString OpenContact = QStringLiteral(":/images/contact_open_yellow.svg");

// The contact pictures of this window outline the moving contact in yellow, the main window's
// in red. Both stay hidden until the device tells the relay states.
QWidget *makeContact(QWidget *parent, const char *name, const QString &resource,
                     const QRect &rect) {
    QWidget *picture = makePicture(parent, name, resource, rect);
    picture->hide();
    return picture;
}

QLabel *makeSwitchPointField(QWidget *parent, const char *name, const QPoint &pos) {
    return makeTextField(parent, name, {pos, QSize(50, 17)}, QString(), Qt::yellow);
}

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

    DeviceConversation &conversation = m_form.conversation();
    connect(&conversation, &DeviceConversation::operationChanged, this, &Tfsimul::updateControls);
    connect(&conversation, &DeviceConversation::connectedChanged, this, &Tfsimul::updateControls);
    updateControls();
}

// A run talks to the device: the button only while no exchange runs, the automatic run
// included.
void Tfsimul::updateControls() {
    const DeviceConversation &conversation = m_form.conversation();
    Button1->setEnabled(!conversation.isBusy() && !conversation.isShutDown());
}

void Tfsimul::buildControls() {
    buildStrainGaugePanel();
    buildCurrentPanel();
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

void Tfsimul::buildStrainGaugePanel() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(136, 8, 513, 250);
    Image01 = makePicture(Panel1, "Image01", QStringLiteral(":/images/diagram_dms.svg"),
                          {6, 4, 491, 236});
    EditMv = makeEdit(Panel1, "EditMv", QStringLiteral("0,2"), {36, 41, 60, 21});
    EditMa = makeEdit(Panel1, "EditMa", QString(), {59, 133, 50, 21});
    StaticTextSp1 = makeSwitchPointField(Panel1, "StaticTextSp1", {343, 70});
    StaticTextSp2 = makeSwitchPointField(Panel1, "StaticTextSp2", {343, 158});
    ImageNc1 = makeContact(Panel1, "ImageNc1", ClosedContact, {400, 37, 24, 35});
    ImageNo1 = makeContact(Panel1, "ImageNo1", OpenContact, {388, 78, 24, 35});
    ImageNo2 = makeContact(Panel1, "ImageNo2", OpenContact, {388, 119, 24, 35});
    ImageNc2 = makeContact(Panel1, "ImageNc2", ClosedContact, {399, 168, 24, 35});
    Panel1->hide();
}

void Tfsimul::buildCurrentPanel() {
    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(136, 4, 570, 256);
    Image02 = makePicture(Panel2, "Image02", QStringLiteral(":/images/diagram_current.svg"),
                          {6, 5, 555, 245});
    EditMv2 = makeEdit(Panel2, "EditMv2", QStringLiteral("4,00"), {122, 58, 60, 21});
    EditMa2 = makeEdit(Panel2, "EditMa2", QString(), {114, 143, 50, 21});
    StaticTextSP102 = makeSwitchPointField(Panel2, "StaticTextSP102", {399, 78});
    StaticTextSP202 = makeSwitchPointField(Panel2, "StaticTextSP202", {399, 165});
    ImageNc102 = makeContact(Panel2, "ImageNc102", ClosedContact, {455, 46, 24, 35});
    ImageNo102 = makeContact(Panel2, "ImageNo102", OpenContact, {423, 101, 24, 35});
    ImageNc202 = makeContact(Panel2, "ImageNc202", ClosedContact, {455, 177, 24, 35});
    ImageNo202 = makeContact(Panel2, "ImageNo202", OpenContact, {423, 137, 24, 35});
    Panel2->hide();
}

// The two panels share one place, and each relay's two contact pictures one spot.
void Tfsimul::FormCreate() {
    Panel2->move(Panel1->pos());
    ImageNo1->move(ImageNc1->pos());
    ImageNo102->move(ImageNc102->pos());
    ImageNo2->move(ImageNc2->pos());
    ImageNo202->move(ImageNc202->pos());
    for (QWidget *picture : {ImageNo1, ImageNo102, ImageNo2, ImageNo202})
        picture->hide();
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
    m_inputOffset = SimulationRun(protocol, *this)
                        .run(m_inputOffset, m_form.isStrainGaugeModel());
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
    const bool known = bits.has_value();
    const bool relay1 = known && (*bits & 1);
    const bool relay2 = known && (*bits & 2);
    for (QWidget *nc : {ImageNc1, ImageNc102})
        nc->setVisible(relay1);
    for (QWidget *no : {ImageNo1, ImageNo102})
        no->setVisible(known && !relay1);
    for (QWidget *nc : {ImageNc2, ImageNc202})
        nc->setVisible(relay2);
    for (QWidget *no : {ImageNo2, ImageNo202})
        no->setVisible(known && !relay2);
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
