#pragma once

#include "core/diag/livesampler.h"

#include <QChartView>
#include <QList>

class QAreaSeries;
class QChart;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// The live view's trend: the input and output lines over a chosen span (1, 5 or 10 minutes),
// the relays' bands under them, the switch points as lines named at the line, and the events
// of the recording as marks. A strain-gauge input has its mV/V axis of its own; a current input
// shares the output's mA axis. The lines break where no values came.
class LiveChart final : public QChartView {
    Q_OBJECT

public:
    explicit LiveChart(QWidget *parent = nullptr);

    // A new recording begins: nothing of the last one stays, the time axis starts anew.
    void startRecording(bool strainGauge);
    // The input axis's numbers with as many decimals as the input's value shows.
    void setInputDecimals(int decimals);
    // The switch points as the device gave them (NoValue: not shown).
    void setSwitchPoints(double switchPoint1, double switchPoint2);
    // The recording after its newest sample: the trend of the last ten minutes up to it.
    void showLatest(const LiveSampler &recording, const LiveSample &latest);
    // Draws a recording as the chart shows it: from `fromMs` on, broken where no values came.
    void drawRecording(const QList<LiveSample> &samples, const QList<LiveMark> &marks,
                       bool strainGauge, qint64 fromMs = 0);
    void drawMarks(const QList<LiveMark> &marks, qint64 fromMs = 0);
    // The span shown, in minutes.
    int spanMinutes() const;
    void setSpanMinutes(int minutes);

private:
    void buildChart();
    void updateTimeAxis(qint64 latestMs);
    void setInputAxis(bool strainGauge);
    QLineSeries *linePiece(QList<QLineSeries *> &pieces, qsizetype index, bool input);
    QAreaSeries *bandPiece(int relay, qsizetype index);

    QChart *m_chart = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QValueAxis *m_inputAxis = nullptr;
    QValueAxis *m_outputAxis = nullptr;
    QValueAxis *m_bandAxis = nullptr;
    QList<QLineSeries *> m_inputPieces;
    QList<QLineSeries *> m_outputPieces;
    QList<QAreaSeries *> m_bandPieces[2];
    bool m_inputOwnAxis = true;
    QLineSeries *m_switchPoints[2] = {nullptr, nullptr};
    QScatterSeries *m_switchPointLabels[2] = {nullptr, nullptr};
    QScatterSeries *m_marks[4] = {nullptr, nullptr, nullptr, nullptr};
    qint64 m_spanMs = 60 * 1000;
    qint64 m_axisStartMs = -1;
    qint64 m_latestMs = -1;
};
