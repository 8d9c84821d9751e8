#pragma once

#include "core/diag/livesampler.h"

#include <QDialog>

#include <memory>

class QAreaSeries;
class QChart;
class QChartView;
class QComboBox;
class QScatterSeries;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QMessageBox;
class QPushButton;
class QValueAxis;
class Tform1;

// The live view: the device's input signal, output current and relay states, asked over and
// over, shown large and as a trend over a chosen span (1, 5 or 10 minutes) with the switch points,
// the relays' states and the events of the recording. The main window's values follow. The whole
// run is one operation of the device conversation, so every other device control waits until the
// window is closed.
class Tflive final : public QDialog {
    Q_OBJECT

public:
    explicit Tflive(Tform1 &form, QWidget *parent = nullptr);
    ~Tflive() override;

    // Where the samples take their time from (tests); the current local time by default.
    void setClock(LiveSampler::Clock clock);
    // The samples of the present (or last) run; nothing before the first run.
    const LiveSampler *sampler() const { return m_sampler.get(); }
    bool isRunning() const { return m_running; }
    bool isPaused() const { return m_paused; }
    // Writes the samples as CSV to `path`; a German box when that fails.
    bool saveCsv(const QString &path);
    // Samples recorded since the last save.
    bool hasUnsavedRecording() const;
    // The trend's span in minutes.
    int spanMinutes() const;
    // Draws a recording as the chart shows it: from `fromMs` on, broken where no values came.
    void drawRecording(const QList<LiveSample> &samples, const QList<LiveMark> &marks,
                       bool strainGauge, qint64 fromMs = 0);
    // Chooses the file for "Als CSV speichern" (tests); a file dialog by default.
    void setSaveFileNameChooser(std::function<QString()> chooser);

    // Controls
    QLabel *LabelEingang = nullptr;
    QLabel *StaticTextEingang = nullptr;
    QLabel *LabelAusgang = nullptr;
    QLabel *StaticTextAusgang = nullptr;
    QLabel *LabelRelais1 = nullptr;
    QLabel *StaticTextRelais1 = nullptr;
    QLabel *LabelRelais2 = nullptr;
    QLabel *StaticTextRelais2 = nullptr;
    QLabel *StaticTextZustand = nullptr;
    QComboBox *ComboZeitraum = nullptr;
    QChartView *ChartView = nullptr;
    QPushButton *ButtonAnhalten = nullptr;
    QPushButton *ButtonKalibrieren = nullptr;
    QPushButton *ButtonCsv = nullptr;
    QPushButton *ButtonVerbinden = nullptr;
    QPushButton *ButtonSchliessen = nullptr;

    // Handlers
    void ButtonAnhaltenClick();
    void ButtonKalibrierenClick();
    void ButtonCsvClick();
    void ButtonVerbindenClick();
    bool saveCsvAs(QString path);
    void ComboZeitraumChange();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void buildChart();
    void runLoop(bool resume);
    void loop();
    void showSample(const LiveSample &sample);
    void addToChart(const LiveSample &sample);
    void setState(const QString &text);
    void updateControls();
    void updateTimeAxis(qint64 latestMs);
    void showGone(bool gone);
    void drawMarks(const QList<LiveMark> &marks, qint64 fromMs = 0);
    void setInputAxis(bool strainGauge);
    QLineSeries *linePiece(QList<QLineSeries *> &pieces, qsizetype index, bool input);
    QAreaSeries *bandPiece(int relay, qsizetype index);
    bool saveCsvAsked();
    bool confirmClose();
    void askClose(int result);
    void stopAndClose(int result);
    QString closeQuestion() const;
    QMessageBox *makeCloseBox();

    Tform1 &m_form;
    LiveSampler::Clock m_clock;
    std::function<QString()> m_chooseFileName;
    std::unique_ptr<LiveSampler> m_sampler;
    bool m_running = false;
    int m_port = 0; // the port of the recording
    bool m_paused = false;
    bool m_calibrationWanted = false;
    bool m_closeRequested = false;
    bool m_closeQuestionOpen = false;
    enum class CloseAnswer { None, Save, Discard };
    CloseAnswer m_closeAnswer = CloseAnswer::None;
    int m_closeResult = 0;

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
    qsizetype m_savedSamples = 0;
};
