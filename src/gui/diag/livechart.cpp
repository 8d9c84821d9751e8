#include "gui/diag/livechart.h"

#include "core/diag/livetrace.h"
#include "core/link/allgem.h"

#include <QAreaSeries>
#include <QChart>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

namespace {

// The trend keeps the last ten minutes, the longest span offered.
constexpr qint64 TrendMs = 10 * 60 * 1000;
// The time axis ticks on whole 10 s for one minute, on whole minutes otherwise.
constexpr qint64 ShortStepMs = 10 * 1000;
constexpr qint64 LongStepMs = 60 * 1000;
// The output axis: the output's whole range, with round ticks.
constexpr double OutputTop = 25.0;
constexpr int OutputTicks = 6;
// Where the event marks sit on the output axis: above the output's range.
constexpr double MarkLevel = 23.5;

// The relays' bands lie under the curves, on an axis of their own: relay 1 from 0 to 0.5,
// relay 2 from 0.6 to 1.1, of a scale that runs to 10.
constexpr double BandBase[2] = {0.0, 0.6};
constexpr double BandHeight = 0.5;
constexpr double BandScale = 10.0;

// A band is raised while its relay is energised.
constexpr const char *BandNames[2] = {"Relais 1 erregt", "Relais 2 erregt"};
constexpr const char *SwitchPointName = "SP%1 %2";
constexpr const char *InputName = "Eingang";
constexpr const char *OutputName = "Ausgang";
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

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

LiveChart::LiveChart(QWidget *parent)
    : QChartView(new QChart, parent)
    , m_chart(chart()) {
    setRenderHint(QPainter::Antialiasing);
    buildChart();
}

void LiveChart::buildChart() {
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
}

void LiveChart::startRecording(bool strainGauge) {
    for (QXYSeries *series : std::initializer_list<QXYSeries *>{
             m_switchPoints[0], m_switchPoints[1], m_switchPointLabels[0], m_switchPointLabels[1]})
        series->clear();
    drawRecording({}, {}, strainGauge);
    m_axisStartMs = -1;
    m_latestMs = -1;
}

void LiveChart::setInputDecimals(int decimals) {
    m_inputAxis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

void LiveChart::setSwitchPoints(double switchPoint1, double switchPoint2) {
    const double points[2] = {switchPoint1, switchPoint2};
    for (int point = 0; point < 2; ++point) {
        const double value = points[point];
        const QString name =
            HasValue(value)
                ? text(SwitchPointName).arg(point + 1).arg(LiveSampler::outputText(value))
                : QString();
        m_switchPoints[point]->setName(name);
        m_switchPoints[point]->setVisible(HasValue(value));
        m_switchPointLabels[point]->setPointLabelsFormat(name);
        m_switchPointLabels[point]->setVisible(HasValue(value));
    }
}

void LiveChart::showLatest(const LiveSampler &recording, const LiveSample &latest) {
    const qint64 at = latest.time.toMSecsSinceEpoch();
    const qint64 oldest = at - TrendMs;
    drawRecording(recording.samples(), recording.marks(), recording.isStrainGauge(), oldest);
    updateTimeAxis(at);
    // Each switch point's line over the trend, named near its start inside the plot.
    const double points[2] = {recording.switchPoint1(), recording.switchPoint2()};
    for (int point = 0; point < 2; ++point)
        if (HasValue(points[point])) {
            m_switchPoints[point]->replace(
                {QPointF(double(oldest), points[point]), QPointF(double(at), points[point])});
            m_switchPointLabels[point]->replace(
                {QPointF(double(m_axisStartMs + m_spanMs / 10), points[point])});
        }
}

QLineSeries *LiveChart::linePiece(QList<QLineSeries *> &pieces, qsizetype index, bool input) {
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

QAreaSeries *LiveChart::bandPiece(int relay, qsizetype index) {
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
void LiveChart::drawRecording(const QList<LiveSample> &samples, const QList<LiveMark> &marks,
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

void LiveChart::drawMarks(const QList<LiveMark> &marks, qint64 fromMs) {
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
void LiveChart::setInputAxis(bool strainGauge) {
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
void LiveChart::updateTimeAxis(qint64 latestMs) {
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

int LiveChart::spanMinutes() const {
    return int(m_spanMs / 60000);
}

void LiveChart::setSpanMinutes(int minutes) {
    m_spanMs = qint64(minutes) * 60000;
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
