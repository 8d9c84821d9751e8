#include "gui/diag/ulive.h"

#include "core/device/deviceconversation.h"
#include "core/device/operationrules.h"
#include "core/diag/livetrace.h"
#include "core/link/allgem.h"
#include "gui/main/fmain1.h"
#include "gui/main/formcontrols.h"
#include "core/setup/setupfile.h"
#include "core/system/filewriter.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScatterSeries>
#include <QTimer>
#include <QValueAxis>

namespace {

constexpr int ClientWidth = 760;
constexpr int ClientHeight = 560;
// The trend keeps the last ten minutes, the longest span offered.
constexpr qint64 TrendMs = 10 * 60 * 1000;
constexpr int SpanMinutes[] = {1, 5, 10};
// The time axis ticks on whole 10 s for one minute, on whole minutes otherwise.
constexpr qint64 ShortStepMs = 10 * 1000;
constexpr qint64 LongStepMs = 60 * 1000;
// The output axis: the output's whole range, with round ticks.
constexpr double OutputTop = 25.0;
constexpr int OutputTicks = 6;
// Where the event marks sit on the output axis: above the output's range.
constexpr double MarkLevel = 23.5;
// While the view is held, it looks at its buttons this often; no question goes out meanwhile.
constexpr double HeldPause = 0.2;

// The relays' bands lie under the curves, on an axis of their own: relay 1 from 0 to 0.5,
// relay 2 from 0.6 to 1.1, of a scale that runs to 10.
constexpr double BandBase[2] = {0.0, 0.6};
constexpr double BandHeight = 0.5;
constexpr double BandScale = 10.0;

constexpr const char *CaptionHold = "Anhalten";
constexpr const char *CaptionResume = "Weiter";
constexpr const char *StateCalibrating = "Kalibrierung läuft";
constexpr const char *StateRunning = "läuft";
constexpr const char *StateHeld = "angehalten";
constexpr const char *StateDisconnected = "getrennt";
constexpr const char *StateEnded = "beendet";
constexpr const char *RelayOn = "erregt";
constexpr const char *RelayOff = "stromlos";
constexpr const char *Gone = "getrennt";
// A band is raised while its relay is energised.
constexpr const char *BandNames[2] = {"Relais 1 erregt", "Relais 2 erregt"};
constexpr const char *SwitchPointName = "SP%1 %2";
constexpr const char *InputName = "Eingang";
constexpr const char *OutputName = "Ausgang";
constexpr const char *LostMark = "Gerät getrennt";
constexpr const char *BackMark = "Wieder verbunden";
constexpr const char *StateConnecting = "verbinden …";
// The marks in the chart by kind, each with the events it shows.
constexpr const char *MarkNames[4] = {"Anhalten / Weiter", "Neu kalibrieren", "Lücke",
                                      "Gerät getrennt"};
int markKind(const QString &event) {
    if (event == QLatin1String("Anhalten") || event == QLatin1String("Weiter"))
        return 0;
    for (int kind = 1; kind < 4; ++kind)
        if (event == QString::fromUtf8(MarkNames[kind]))
            return kind;
    return -1;
}
constexpr const char *CloseQuestion =
    "Die Aufzeichnung (%1 Werte) ist nicht gespeichert.\n\nAls CSV speichern?";
constexpr const char *CloseQuestionSaved =
    "Seit dem letzten Speichern sind %1 Werte dazugekommen.\n\nDie ganze Aufzeichnung noch "
    "einmal als CSV speichern?";
constexpr const char *SaveButton = "Als CSV speichern";
constexpr const char *DiscardButton = "Verwerfen";
constexpr const char *CancelButton = "Abbrechen";

QString text(const char *latin) {
    return QString::fromUtf8(latin);
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
    , m_form(form) {
    setObjectName(QStringLiteral("Tflive"));
    setWindowTitle(QStringLiteral("KT290 - Live-Anzeige"));
    QFont windowFont = font();
    windowFont.setPointSize(8);
    setFont(windowFont);
    setFixedSize(ClientWidth, ClientHeight);
    buildControls();
    buildChart();
    fitCaptions(this);

    DeviceConversation &conversation = m_form.conversation();
    connect(&conversation, &DeviceConversation::operationChanged, this, &Tflive::updateControls);
    connect(&conversation, &DeviceConversation::connectedChanged, this, [this](bool connected) {
        if (!connected) {
            setState(text(StateDisconnected));
            showGone(true);
            // The loss stands in the chart and in the CSV, where the values end.
            if (m_running && m_sampler) {
                m_sampler->addMark(text(LostMark));
                drawMarks(m_sampler->marks());
            }
        }
        updateControls();
    });
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

void Tflive::buildChart() {
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    // Axis numbers as the values above them: with a decimal comma.
    m_chart->setLocalizeNumbers(true);
    m_chart->setLocale(QLocale(QLocale::German));

    m_timeAxis = new QDateTimeAxis;
    m_inputAxis = new QValueAxis;
    m_inputAxis->setLabelFormat(QStringLiteral("%.3f"));
    m_inputAxis->setLabelsColor(QColor(0, 90, 200));
    // One grid: the input's. The output axis names its values without lines of its own.
    m_outputAxis = new QValueAxis;
    m_outputAxis->setTitleText(QStringLiteral("Ausgang mA"));
    m_outputAxis->setRange(0.0, OutputTop);
    m_outputAxis->setTickCount(OutputTicks);
    m_outputAxis->setLabelFormat(QStringLiteral("%.2f"));
    m_outputAxis->setLabelsColor(QColor(200, 30, 30));
    m_outputAxis->setGridLineVisible(false);
    m_bandAxis = new QValueAxis;
    m_bandAxis->setRange(0.0, BandScale);
    m_bandAxis->setVisible(false);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_inputAxis, Qt::AlignLeft);
    m_chart->addAxis(m_outputAxis, Qt::AlignRight);
    m_chart->addAxis(m_bandAxis, Qt::AlignLeft);

    const auto attach = [this](QAbstractSeries *series, QValueAxis *valueAxis) {
        m_chart->addSeries(series);
        series->attachAxis(m_timeAxis);
        series->attachAxis(valueAxis);
    };
    // The first piece of each line and band; more pieces come where the recording breaks.
    for (int relay = 0; relay < 2; ++relay)
        bandPiece(relay, 0);
    linePiece(m_inputPieces, 0, true);
    linePiece(m_outputPieces, 0, false);
    for (int point = 0; point < 2; ++point) {
        m_switchPoints[point] = new QLineSeries;
        m_switchPoints[point]->setName(QStringLiteral("SP%1").arg(point + 1));
        m_switchPoints[point]->setPen(
            QPen(point == 0 ? QColor(230, 160, 40) : QColor(120, 80, 200), 1, Qt::DashLine));
        attach(m_switchPoints[point], m_outputAxis);
        // The switch point's value at the line's right end.
        m_switchPointLabels[point] = new QScatterSeries;
        m_switchPointLabels[point]->setMarkerSize(1);
        m_switchPointLabels[point]->setColor(Qt::transparent);
        m_switchPointLabels[point]->setBorderColor(Qt::transparent);
        m_switchPointLabels[point]->setPointLabelsVisible(true);
        // Inside the plot only: never drawn beside it while the axes are being set.
        m_switchPointLabels[point]->setPointLabelsClipping(true);
        m_switchPointLabels[point]->setPointLabelsColor(m_switchPoints[point]->pen().color());
        attach(m_switchPointLabels[point], m_outputAxis);
        // Named at the line itself; the legend keeps its room for what has no label.
        m_chart->legend()->markers(m_switchPointLabels[point]).value(0)->setVisible(false);
        m_chart->legend()->markers(m_switchPoints[point]).value(0)->setVisible(false);
    }
    const QScatterSeries::MarkerShape shapes[4] = {
        QScatterSeries::MarkerShapeTriangle, QScatterSeries::MarkerShapeRectangle,
        QScatterSeries::MarkerShapeCircle, QScatterSeries::MarkerShapeRotatedRectangle};
    const QColor markColours[4] = {QColor(60, 60, 60), QColor(0, 140, 70), QColor(200, 0, 0),
                                   QColor(120, 0, 0)};
    for (int kind = 0; kind < 4; ++kind) {
        m_marks[kind] = new QScatterSeries;
        m_marks[kind]->setName(text(MarkNames[kind]));
        m_marks[kind]->setMarkerShape(shapes[kind]);
        m_marks[kind]->setMarkerSize(9);
        m_marks[kind]->setColor(markColours[kind]);
        attach(m_marks[kind], m_outputAxis);
        // In the legend once the chart shows such a mark.
        m_chart->legend()->markers(m_marks[kind]).value(0)->setVisible(false);
    }
    updateTimeAxis(QDateTime::currentMSecsSinceEpoch());

    ChartView = new QChartView(m_chart, this);
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setGeometry(8, 80, ClientWidth - 16, 430);
    ChartView->setRenderHint(QPainter::Antialiasing);
}

void Tflive::setClock(LiveSampler::Clock clock) {
    m_clock = std::move(clock);
}

void Tflive::setSaveFileNameChooser(std::function<QString()> chooser) {
    m_chooseFileName = std::move(chooser);
}

// The buttons that talk to the device only while the view runs; saving what was recorded at
// any time.
void Tflive::updateControls() {
    ButtonAnhalten->setEnabled(m_running);
    ButtonKalibrieren->setEnabled(m_running && m_sampler && m_sampler->isStrainGauge());
    ButtonCsv->setEnabled(m_sampler && !m_sampler->samples().isEmpty());
    const DeviceConversation &conversation = m_form.conversation();
    ButtonVerbinden->setEnabled(!m_running && m_sampler &&
                                OperationRules::forState(OperationRules::stateOf(conversation)).reconnect);
}

void Tflive::setState(const QString &state) {
    StaticTextZustand->setText(state);
}

void Tflive::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // The loop starts once the window is up: the opening click's handler has returned.
    QTimer::singleShot(0, this, [this] { runLoop(false); });
}

// A recording goes on after a reconnection to the same device; otherwise a new one begins.
void Tflive::runLoop(bool resume) {
    DeviceConversation &conversation = m_form.conversation();
    if (m_running || !isVisible() || !conversation.deviceOperationsAllowed())
        return;
    m_port = conversation.port();
    if (!resume || !m_sampler) {
        m_sampler = std::make_unique<LiveSampler>(conversation.protocol(),
                                                  conversation.isStrainGauge(), m_clock);
        m_sampler->setIdentity(conversation.lastReadout().typeText,
                               conversation.lastReadout().serialNumber);
        for (QXYSeries *series :
             std::initializer_list<QXYSeries *>{m_switchPoints[0], m_switchPoints[1],
                                                m_switchPointLabels[0], m_switchPointLabels[1]})
            series->clear();
        drawRecording({}, {}, conversation.isStrainGauge());
        m_axisStartMs = -1;
        m_latestMs = -1;
        m_savedSamples = 0;
    }
    showGone(false);
    const int decimals = conversation.isStrainGauge() ? 3 : 2;
    m_inputAxis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    m_paused = false;
    m_calibrationWanted = false;
    ButtonAnhalten->setText(text(CaptionHold));
    m_running = true;
    const bool ran = conversation.run(DeviceConversation::Operation::Live, [this] { loop(); });
    m_running = false;
    if (ran && StaticTextZustand->text() != text(StateDisconnected))
        setState(conversation.isConnected() ? text(StateEnded) : text(StateDisconnected));
    updateControls();
    if (m_closeRequested) {
        m_closeRequested = false;
        done(m_closeResult);
    }
}

// Runs until the window is closed, the device vanishes or the program ends: each of them stops
// the conversation, and the protocol then asks nothing more.
void Tflive::loop() {
    updateControls();
    DeviceProtocol &protocol = m_form.conversation().protocol();
    m_sampler->readSwitchPoints();
    for (int point = 0; point < 2; ++point) {
        const double value = point == 0 ? m_sampler->switchPoint1() : m_sampler->switchPoint2();
        const QString name =
            HasValue(value)
                ? text(SwitchPointName).arg(point + 1).arg(LiveSampler::outputText(value))
                : QString();
        m_switchPoints[point]->setName(name);
        m_switchPoints[point]->setVisible(HasValue(value));
        m_switchPointLabels[point]->setPointLabelsFormat(name);
        m_switchPointLabels[point]->setVisible(HasValue(value));
    }
    m_calibrationWanted = m_sampler->isStrainGauge();
    while (!protocol.ended()) {
        if (m_calibrationWanted) {
            m_calibrationWanted = false;
            setState(text(StateCalibrating));
            m_sampler->calibrate();
            continue;
        }
        if (m_paused) {
            setState(text(StateHeld));
            protocol.Pause(HeldPause);
            continue;
        }
        setState(text(StateRunning));
        const qsizetype gaps = m_sampler->marks().size();
        if (const std::optional<LiveSample> sample = m_sampler->cycle())
            showSample(*sample);
        else if (m_sampler->marks().size() > gaps)
            drawMarks(m_sampler->marks());
    }
}

void Tflive::showSample(const LiveSample &sample) {
    const QString input = m_sampler->inputText(sample.input);
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
    addToChart(sample);
    updateControls();
}

void Tflive::addToChart(const LiveSample &sample) {
    const qint64 at = sample.time.toMSecsSinceEpoch();
    const qint64 oldest = at - TrendMs;
    drawRecording(m_sampler->samples(), m_sampler->marks(), m_sampler->isStrainGauge(), oldest);
    updateTimeAxis(at);
    // Each switch point's line over the trend, named near its start inside the plot.
    const double points[2] = {m_sampler->switchPoint1(), m_sampler->switchPoint2()};
    for (int point = 0; point < 2; ++point)
        if (HasValue(points[point])) {
            m_switchPoints[point]->replace(
                {QPointF(double(oldest), points[point]), QPointF(double(at), points[point])});
            m_switchPointLabels[point]->replace(
                {QPointF(double(m_axisStartMs + m_spanMs / 10), points[point])});
        }
}

QLineSeries *Tflive::linePiece(QList<QLineSeries *> &pieces, qsizetype index, bool input) {
    while (pieces.size() <= index) {
        auto *series = new QLineSeries;
        series->setName(text(input ? InputName : OutputName));
        series->setPen(QPen(input ? QColor(0, 90, 200) : QColor(200, 30, 30), 2));
        m_chart->addSeries(series);
        series->attachAxis(m_timeAxis);
        series->attachAxis(input && m_inputOwnAxis ? m_inputAxis : m_outputAxis);
        // One entry in the legend for all pieces of a line.
        m_chart->legend()->markers(series).value(0)->setVisible(pieces.isEmpty());
        pieces << series;
    }
    return pieces.at(index);
}

QAreaSeries *Tflive::bandPiece(int relay, qsizetype index) {
    const QColor colours[2] = {QColor(230, 160, 40, 120), QColor(120, 80, 200, 120)};
    QList<QAreaSeries *> &pieces = m_bandPieces[relay];
    while (pieces.size() <= index) {
        auto *band = new QAreaSeries(new QLineSeries(this), new QLineSeries(this));
        band->setName(text(BandNames[relay]));
        band->setColor(colours[relay]);
        band->setBorderColor(colours[relay]);
        m_chart->addSeries(band);
        band->attachAxis(m_timeAxis);
        band->attachAxis(m_bandAxis);
        m_chart->legend()->markers(band).value(0)->setVisible(pieces.isEmpty());
        pieces << band;
    }
    return pieces.at(index);
}

// The chart shows the recording from `fromMs` on as LiveTrace gives it: pieces that break where
// no values came, bands only where the relay's state is known. Pieces left over are emptied.
void Tflive::drawRecording(const QList<LiveSample> &samples, const QList<LiveMark> &marks,
                           bool strainGauge, qint64 fromMs) {
    setInputAxis(strainGauge);
    const LiveTrace trace = LiveTrace::of(samples, marks, fromMs);
    const auto fill = [this](QList<QLineSeries *> &pieces, const LiveTrace::Pieces &points,
                             bool input) {
        for (qsizetype i = 0; i < std::max(pieces.size(), points.size()); ++i)
            linePiece(pieces, i, input)->replace(points.value(i));
    };
    fill(m_inputPieces, trace.input, true);
    fill(m_outputPieces, trace.output, false);
    for (int relay = 0; relay < 2; ++relay) {
        const LiveTrace::Pieces &pieces = trace.relays[relay];
        for (qsizetype i = 0; i < std::max(m_bandPieces[relay].size(), pieces.size()); ++i) {
            QList<QPointF> upper;
            QList<QPointF> lower;
            for (const QPointF &point : pieces.value(i))
                upper << QPointF(point.x(), BandBase[relay] + point.y() * BandHeight);
            if (!upper.isEmpty())
                lower = {QPointF(upper.first().x(), BandBase[relay]),
                         QPointF(upper.last().x(), BandBase[relay])};
            QAreaSeries *band = bandPiece(relay, i);
            band->upperSeries()->replace(upper);
            band->lowerSeries()->replace(lower);
        }
    }
    drawMarks(marks, fromMs);

    // The input axis fits the values in view, with a margin, ticks on round values.
    if (!m_inputOwnAxis || trace.input.isEmpty())
        return;
    double low = trace.input.first().first().y();
    double high = low;
    for (const QList<QPointF> &piece : trace.input)
        for (const QPointF &point : piece) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
    const double margin = std::max((high - low) * 0.1, 0.01);
    m_inputAxis->setRange(low - margin, high + margin);
    m_inputAxis->applyNiceNumbers();
}

void Tflive::drawMarks(const QList<LiveMark> &marks, qint64 fromMs) {
    QList<QPointF> points[4];
    for (const LiveMark &mark : marks) {
        const qint64 at = mark.time.toMSecsSinceEpoch();
        const int kind = markKind(mark.text);
        if (kind >= 0 && at >= fromMs)
            points[kind] << QPointF(double(at), MarkLevel);
    }
    for (int kind = 0; kind < 4; ++kind) {
        m_marks[kind]->replace(points[kind]);
        m_chart->legend()->markers(m_marks[kind]).value(0)->setVisible(!points[kind].isEmpty());
    }
}

// A strain-gauge input in mV/V has an axis of its own on the left; a current input shares the
// output's mA axis, so that equal currents stand at equal heights.
void Tflive::setInputAxis(bool strainGauge) {
    if (m_inputOwnAxis == strainGauge && !m_inputPieces.isEmpty())
        return;
    m_inputOwnAxis = strainGauge;
    QValueAxis *axis = strainGauge ? m_inputAxis : m_outputAxis;
    QValueAxis *other = strainGauge ? m_outputAxis : m_inputAxis;
    for (QLineSeries *series : m_inputPieces) {
        if (series->attachedAxes().contains(other))
            series->detachAxis(other);
        if (!series->attachedAxes().contains(axis))
            series->attachAxis(axis);
    }
    m_inputAxis->setVisible(strainGauge);
    m_inputAxis->setTitleText(QStringLiteral("Eingang mV/V"));
    m_outputAxis->setTitleText(strainGauge ? QStringLiteral("Ausgang mA")
                                           : QStringLiteral("Eingang und Ausgang mA"));
    m_outputAxis->setGridLineVisible(!strainGauge);
    m_outputAxis->setLabelsColor(strainGauge ? QColor(200, 30, 30) : QColor(Qt::black));
}

// The span starts at a round time; once the newest sample passes its end it moves on by whole
// steps, so the ticks stay on round times.
void Tflive::updateTimeAxis(qint64 latestMs) {
    const qint64 step = m_spanMs <= LongStepMs ? ShortStepMs : LongStepMs;
    m_latestMs = latestMs;
    if (m_axisStartMs < 0)
        m_axisStartMs = latestMs - latestMs % step;
    if (latestMs > m_axisStartMs + m_spanMs) {
        const qint64 from = latestMs - m_spanMs;
        m_axisStartMs = from - from % step + (from % step ? step : 0);
    }
    m_timeAxis->setFormat(step == ShortStepMs ? QStringLiteral("HH:mm:ss")
                                              : QStringLiteral("HH:mm"));
    m_timeAxis->setTickCount(int(m_spanMs / step) + 1);
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_axisStartMs),
                         QDateTime::fromMSecsSinceEpoch(m_axisStartMs + m_spanMs));
}

int Tflive::spanMinutes() const {
    return int(m_spanMs / 60000);
}

void Tflive::ComboZeitraumChange() {
    m_spanMs = qint64(ComboZeitraum->currentData().toInt()) * 60000;
    // A longer span shows what is kept from before; a shorter one ends at the newest sample.
    const qint64 latest = m_latestMs >= 0 ? m_latestMs : QDateTime::currentMSecsSinceEpoch();
    const QList<QPointF> first =
        m_inputPieces.isEmpty() ? QList<QPointF>() : m_inputPieces.first()->points();
    if (m_axisStartMs >= 0 && !first.isEmpty())
        m_axisStartMs = std::max<qint64>(qint64(first.first().x()), latest - m_spanMs);
    const qint64 step = m_spanMs <= LongStepMs ? ShortStepMs : LongStepMs;
    if (m_axisStartMs >= 0)
        m_axisStartMs -= m_axisStartMs % step;
    updateTimeAxis(latest);
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
// the port of the recording is asked again; the same device (F.Nr) goes on with the recording,
// another one begins a new one.
void Tflive::ButtonVerbindenClick() {
    DeviceConversation &conversation = m_form.conversation();
    if (m_running || conversation.isConnected() || conversation.isBusy())
        return;
    setState(text(StateConnecting));
    ButtonVerbinden->setEnabled(false);
    if (m_port > 0)
        conversation.connectDevice(m_port);
    else
        conversation.connectDevice();
    const std::optional<ReadoutView> device =
        conversation.isConnected() ? conversation.identify(true) : std::nullopt;
    if (!device || !isVisible()) {
        setState(text(StateDisconnected));
        updateControls();
        return;
    }
    const bool same = m_sampler && device->serialNumber == m_sampler->serialNumber() &&
                      conversation.isStrainGauge() == m_sampler->isStrainGauge();
    if (same)
        m_sampler->addMark(text(BackMark));
    runLoop(same);
}

void Tflive::ButtonAnhaltenClick() {
    m_paused = !m_paused;
    ButtonAnhalten->setText(text(m_paused ? CaptionResume : CaptionHold));
    if (m_sampler) {
        m_sampler->addMark(text(m_paused ? CaptionHold : CaptionResume));
        drawMarks(m_sampler->marks());
    }
}

void Tflive::ButtonKalibrierenClick() {
    m_calibrationWanted = true;
    if (m_sampler) {
        m_sampler->addMark(QStringLiteral("Neu kalibrieren"));
        drawMarks(m_sampler->marks());
    }
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
    if (!m_sampler)
        return false;
    const QString reason = FileWriter::save(path, m_sampler->csv());
    if (reason.isEmpty()) {
        m_savedSamples = m_sampler->samples().size();
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
    if (m_running) {
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
    m_form.conversation().requestStop();
}

bool Tflive::hasUnsavedRecording() const {
    return m_sampler && m_sampler->samples().size() > m_savedSamples;
}

QString Tflive::closeQuestion() const {
    const qsizetype count = m_sampler ? m_sampler->samples().size() : 0;
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
        if (m_running)
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
