#include "gui/diag/ulive.h"

#include "core/device/deviceconversation.h"
#include "core/link/allgem.h"
#include "core/system/filewriter.h"
#include "gui/diag/livechart.h"
#include "gui/main/fmain1.h"
#include "gui/main/formcontrols.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int ClientWidth = 760;
constexpr int ClientHeight = 560;
constexpr int SpanMinutes[] = {1, 5, 10};

constexpr const char *CaptionHold = "Anhalten";
constexpr const char *CaptionResume = "Weiter";
constexpr const char *RelayOn = "erregt";
constexpr const char *RelayOff = "stromlos";
constexpr const char *Gone = "getrennt";
constexpr const char *CloseQuestion =
    "Die Aufzeichnung (%1 Werte) ist nicht gespeichert.\n\nAls CSV speichern?";
constexpr const char *CloseQuestionSaved =
    "Seit dem letzten Speichern sind %1 Werte dazugekommen.\n\nDie ganze Aufzeichnung noch "
    "einmal als CSV speichern?";
constexpr const char *SaveButton = "Als CSV speichern";
constexpr const char *DiscardButton = "Verwerfen";
constexpr const char *CancelButton = "Abbrechen";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// What the state field says of the run's state.
QString stateText(LiveRun::State state) {
    switch (state) {
    case LiveRun::State::Idle:
        return {};
    case LiveRun::State::Running:
        return QStringLiteral("läuft");
    case LiveRun::State::Held:
        return QStringLiteral("angehalten");
    case LiveRun::State::Calibrating:
        return QStringLiteral("Kalibrierung läuft");
    case LiveRun::State::Ended:
        return QStringLiteral("beendet");
    case LiveRun::State::Disconnected:
        return QStringLiteral("getrennt");
    case LiveRun::State::Connecting:
        return QStringLiteral("verbinden …");
    }
    return {};
}

TextField *makeValueField(QWidget *parent, const char *name, const QRect &rect) {
    TextField *field = makeTextField(parent, name, rect, QString(), Qt::white);
    QFont large = field->font();
    large.setPointSize(20);
    large.setBold(true);
    field->setFont(large);
    return field;
}

} // namespace

Tflive::Tflive(Tform1 &form, QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_run(new LiveRun(form.conversation(), this)) {
    setObjectName(QStringLiteral("Tflive"));
    setWindowTitle(QStringLiteral("KT290 - Live-Anzeige"));
    QFont windowFont = font();
    windowFont.setPointSize(8);
    setFont(windowFont);
    setFixedSize(ClientWidth, ClientHeight);
    buildControls();
    ChartView = new LiveChart(this);
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setGeometry(8, 80, ClientWidth - 16, 430);
    fitCaptions(this);
    connectRun();
    const DeviceConversation &conversation = m_form.conversation();
    connect(&conversation, &DeviceConversation::operationChanged, this, &Tflive::updateControls);
    connect(&conversation, &DeviceConversation::connectedChanged, this, &Tflive::updateControls);
    updateControls();
}

Tflive::~Tflive() = default;

void Tflive::buildControls() {
    LabelEingang = makeLabel(this, "LabelEingang", QStringLiteral("Eingang"), {16, 12});
    StaticTextEingang = makeValueField(this, "StaticTextEingang", {16, 30, 200, 40});
    LabelAusgang = makeLabel(this, "LabelAusgang", QStringLiteral("Ausgang"), {232, 12});
    StaticTextAusgang = makeValueField(this, "StaticTextAusgang", {232, 30, 180, 40});
    LabelRelais1 = makeLabel(this, "LabelRelais1", QStringLiteral("Relais 1"), {428, 32});
    StaticTextRelais1 = makeTextField(this, "StaticTextRelais1", {484, 30, 100, 17});
    LabelRelais2 = makeLabel(this, "LabelRelais2", QStringLiteral("Relais 2"), {428, 55});
    StaticTextRelais2 = makeTextField(this, "StaticTextRelais2", {484, 53, 100, 17});
    StaticTextZustand = makeTextField(this, "StaticTextZustand", {600, 30, 144, 17});
    ComboZeitraum = new QComboBox(this);
    ComboZeitraum->setObjectName(QStringLiteral("ComboZeitraum"));
    ComboZeitraum->setGeometry(600, 52, 144, 21);
    for (const int minutes : SpanMinutes)
        ComboZeitraum->addItem(minutes == 1 ? QStringLiteral("Zeitraum 1 Minute")
                                            : QStringLiteral("Zeitraum %1 Minuten").arg(minutes),
                               minutes);
    connect(ComboZeitraum, &QComboBox::currentIndexChanged, this, &Tflive::ComboZeitraumChange);

    ButtonAnhalten = makeButton(this, "ButtonAnhalten", text(CaptionHold), {16, 520, 110, 25});
    ButtonKalibrieren = makeButton(this, "ButtonKalibrieren", QStringLiteral("Neu kalibrieren"),
                                   {136, 520, 130, 25});
    ButtonCsv =
        makeButton(this, "ButtonCsv", QStringLiteral("Als CSV speichern"), {276, 520, 150, 25});
    ButtonVerbinden =
        makeButton(this, "ButtonVerbinden", QStringLiteral("Neu verbinden"), {436, 520, 130, 25});
    ButtonSchliessen =
        makeButton(this, "ButtonSchliessen", QStringLiteral("Schließen"), {634, 520, 110, 25});
    for (QPushButton *button :
         {ButtonAnhalten, ButtonKalibrieren, ButtonCsv, ButtonVerbinden, ButtonSchliessen})
        button->setAutoDefault(false);
    connect(ButtonAnhalten, &QPushButton::clicked, this, &Tflive::ButtonAnhaltenClick);
    connect(ButtonKalibrieren, &QPushButton::clicked, this, &Tflive::ButtonKalibrierenClick);
    connect(ButtonCsv, &QPushButton::clicked, this, &Tflive::ButtonCsvClick);
    connect(ButtonVerbinden, &QPushButton::clicked, this, &Tflive::ButtonVerbindenClick);
    connect(ButtonSchliessen, &QPushButton::clicked, this, &QDialog::close);
}

// The window shows what the run tells.
void Tflive::connectRun() {
    connect(m_run, &LiveRun::stateChanged, this, &Tflive::showState);
    connect(m_run, &LiveRun::recordingStarted, this, [this] {
        ChartView->startRecording(m_run->sampler()->isStrainGauge());
        m_savedSamples = 0;
    });
    connect(m_run, &LiveRun::runningChanged, this, [this](bool running) {
        if (running) {
            showGone(false);
            ChartView->setInputDecimals(m_run->sampler()->isStrainGauge() ? 3 : 2);
            ButtonAnhalten->setText(text(CaptionHold));
        }
        updateControls();
        if (!running && m_closeRequested) {
            m_closeRequested = false;
            done(m_closeResult);
        }
    });
    connect(m_run, &LiveRun::switchPointsRead, this, [this] {
        ChartView->setSwitchPoints(m_run->sampler()->switchPoint1(),
                                   m_run->sampler()->switchPoint2());
    });
    connect(m_run, &LiveRun::sampled, this, &Tflive::showSample);
    connect(m_run, &LiveRun::marksChanged, this,
            [this] { ChartView->drawMarks(m_run->sampler()->marks()); });
}

void Tflive::setClock(LiveSampler::Clock clock) {
    m_run->setClock(std::move(clock));
}

void Tflive::setSaveFileNameChooser(std::function<QString()> chooser) {
    m_chooseFileName = std::move(chooser);
}

// The buttons that talk to the device only while the view runs; saving what was recorded at
// any time.
void Tflive::updateControls() {
    const LiveSampler *recording = m_run->sampler();
    ButtonAnhalten->setEnabled(m_run->isRunning());
    ButtonKalibrieren->setEnabled(m_run->isRunning() && recording && recording->isStrainGauge());
    ButtonCsv->setEnabled(recording && !recording->samples().isEmpty());
    ButtonVerbinden->setEnabled(m_run->mayReconnect() &&
                                m_run->state() != LiveRun::State::Connecting);
}

void Tflive::showState(LiveRun::State state) {
    StaticTextZustand->setText(stateText(state));
    if (state == LiveRun::State::Disconnected)
        showGone(true);
    updateControls();
}

void Tflive::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    m_run->setViewOpen(true);
    // The run starts once the window is up: the opening click's handler has returned.
    QTimer::singleShot(0, this, [this] { m_run->run(); });
}

void Tflive::hideEvent(QHideEvent *event) {
    m_run->setViewOpen(false);
    QDialog::hideEvent(event);
}

void Tflive::showSample(const LiveSample &sample) {
    const LiveSampler &recording = *m_run->sampler();
    const QString input = recording.inputText(sample.input);
    const QString output = LiveSampler::outputText(sample.output);
    StaticTextEingang->setText(input);
    StaticTextAusgang->setText(output);
    for (int relay = 0; relay < 2; ++relay) {
        QLabel *field = relay == 0 ? StaticTextRelais1 : StaticTextRelais2;
        field->setText(!sample.relayBits                    ? QString()
                       : (*sample.relayBits & (1 << relay)) ? text(RelayOn)
                                                            : text(RelayOff));
    }
    m_form.showLiveValues(input, output, sample.relayBits);
    ChartView->showLatest(recording, sample);
    updateControls();
}

void Tflive::ComboZeitraumChange() {
    ChartView->setSpanMinutes(ComboZeitraum->currentData().toInt());
}

// After the device has gone, the last values stay readable but plainly not current.
void Tflive::showGone(bool gone) {
    for (QLabel *field :
         {StaticTextEingang, StaticTextAusgang, StaticTextRelais1, StaticTextRelais2}) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::WindowText, gone ? QColor(Qt::gray) : QColor(Qt::black));
        field->setPalette(palette);
    }
    if (gone) {
        StaticTextEingang->setText(text(Gone));
        StaticTextAusgang->setText(text(Gone));
    }
}

// The device came back (the window is modal: the main window's "Verbinden" is out of reach):
// the run asks the port of the recording again.
void Tflive::ButtonVerbindenClick() {
    m_run->reconnect();
    updateControls();
}

void Tflive::ButtonAnhaltenClick() {
    m_run->setHeld(!m_run->isHeld());
    ButtonAnhalten->setText(text(m_run->isHeld() ? CaptionResume : CaptionHold));
}

void Tflive::ButtonKalibrierenClick() {
    m_run->requestCalibration();
}

// The file dialog opens beside the running view: its own event loop would halt the loop in the
// middle of an exchange.
void Tflive::ButtonCsvClick() {
    if (m_chooseFileName) {
        saveCsvAs(m_chooseFileName());
        return;
    }
    auto *dialog = new QFileDialog(this, QStringLiteral("Als CSV speichern"), QString(),
                                   QStringLiteral("CSV-Datei (*.csv)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &Tflive::saveCsvAs);
    dialog->open();
}

// Asked when the view has stopped (its close with an unsaved recording): no exchange runs.
bool Tflive::saveCsvAsked() {
    QString path =
        m_chooseFileName
            ? m_chooseFileName()
            : QFileDialog::getSaveFileName(this, QStringLiteral("Als CSV speichern"), QString(),
                                           QStringLiteral("CSV-Datei (*.csv)"));
    return saveCsvAs(path);
}

bool Tflive::saveCsvAs(QString path) {
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1String(".csv");
    return saveCsv(path);
}

bool Tflive::saveCsv(const QString &path) {
    if (!m_run->sampler())
        return false;
    const QString reason = FileWriter::save(path, m_run->sampler()->csv());
    if (reason.isEmpty()) {
        m_savedSamples = m_run->sampler()->samples().size();
        return true;
    }
    auto *box = new QMessageBox(QMessageBox::Critical, ApplicationTitle(),
                                QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2")
                                    .arg(QDir::toNativeSeparators(path), reason),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return false;
}

// Every way of closing the window ends here (button, title bar, Escape). With a recording not
// saved, the question comes first, beside the running view (it keeps recording meanwhile);
// "Abbrechen" leaves it running. The loop stops at its next safe point (the calibration
// resistor switched off again) and the window closes then.
void Tflive::done(int result) {
    if (m_run->isRunning()) {
        if (m_closeQuestionOpen)
            return;
        if (!m_closeRequested && hasUnsavedRecording() && !m_form.conversation().isShutDown()) {
            askClose(result);
            return;
        }
        stopAndClose(result);
        return;
    }
    const CloseAnswer answer = std::exchange(m_closeAnswer, CloseAnswer::None);
    if (answer == CloseAnswer::Save && !saveCsvAsked())
        return;
    if (answer == CloseAnswer::None && !confirmClose())
        return;
    QDialog::done(result);
}

void Tflive::stopAndClose(int result) {
    m_closeRequested = true;
    m_closeResult = result;
    m_run->stop();
}

bool Tflive::hasUnsavedRecording() const {
    return m_run->sampler() && m_run->sampler()->samples().size() > m_savedSamples;
}

QString Tflive::closeQuestion() const {
    const qsizetype count = m_run->sampler() ? m_run->sampler()->samples().size() : 0;
    return m_savedSamples > 0 ? text(CloseQuestionSaved).arg(count - m_savedSamples)
                              : text(CloseQuestion).arg(count);
}

QMessageBox *Tflive::makeCloseBox() {
    auto *box = new QMessageBox(QMessageBox::Question, ApplicationTitle(), closeQuestion(),
                                QMessageBox::NoButton, this);
    QPushButton *save = box->addButton(text(SaveButton), QMessageBox::AcceptRole);
    box->addButton(text(DiscardButton), QMessageBox::DestructiveRole);
    box->addButton(text(CancelButton), QMessageBox::RejectRole);
    box->setDefaultButton(save);
    return box;
}

// Asked while the view runs: the box opens beside it, whose own event loop would halt the
// loop in the middle of an exchange.
void Tflive::askClose(int result) {
    QMessageBox *box = makeCloseBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    m_closeQuestionOpen = true;
    connect(box, &QMessageBox::finished, this, [this, box, result] {
        m_closeQuestionOpen = false;
        const QString answer = box->clickedButton() ? box->clickedButton()->text() : QString();
        if (answer == text(SaveButton))
            m_closeAnswer = CloseAnswer::Save;
        else if (answer == text(DiscardButton))
            m_closeAnswer = CloseAnswer::Discard;
        else
            return; // "Abbrechen": the recording goes on
        if (m_run->isRunning())
            stopAndClose(result);
        else
            done(result);
    });
    box->open();
}

// A recording not saved is not thrown away unasked; saving is the default. Asked when the view
// has stopped (the device gone, the program's end): no exchange runs.
bool Tflive::confirmClose() {
    if (!hasUnsavedRecording())
        return true;
    std::unique_ptr<QMessageBox> box(makeCloseBox());
    box->exec();
    const QString answer = box->clickedButton() ? box->clickedButton()->text() : QString();
    if (answer == text(DiscardButton))
        return true;
    return answer == text(SaveButton) && saveCsvAsked();
}
