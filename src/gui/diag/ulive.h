#pragma once

#include "core/diag/liverun.h"

#include <QDialog>

#include <functional>

class LiveChart;
class QComboBox;
class QLabel;
class QMessageBox;
class QPushButton;
class Tform1;

// The live view: the device's input signal, output current and relay states, asked over and
// over, shown large and as a trend over a chosen span (1, 5 or 10 minutes) with the switch points,
// the relays' states and the events of the recording. The main window's values follow. The run
// itself (LiveRun) is one operation of the device conversation, so every other device control
// waits until the window is closed; the window shows what the run tells and forwards the clicks.
class Tflive final : public QDialog {
    Q_OBJECT

public:
    explicit Tflive(Tform1 &form, QWidget *parent = nullptr);
    ~Tflive() override;

    // Where the samples take their time from (tests); the current local time by default.
    void setClock(LiveSampler::Clock clock);
    // The samples of the present (or last) run; nothing before the first run.
    const LiveSampler *sampler() const { return m_run->sampler(); }
    bool isRunning() const { return m_run->isRunning(); }
    bool isPaused() const { return m_run->isHeld(); }
    // Writes the samples as CSV to `path`; a German box when that fails.
    bool saveCsv(const QString &path);
    // Samples recorded since the last save.
    bool hasUnsavedRecording() const;
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
    LiveChart *ChartView = nullptr;
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
    void hideEvent(QHideEvent *event) override;

private:
    void buildControls();
    void connectRun();
    void showState(LiveRun::State state);
    void showSample(const LiveSample &sample);
    void updateControls();
    void showGone(bool gone);
    bool saveCsvAsked();
    bool confirmClose();
    void askClose(int result);
    void stopAndClose(int result);
    QString closeQuestion() const;
    QMessageBox *makeCloseBox();

    Tform1 &m_form;
    LiveRun *m_run = nullptr;
    std::function<QString()> m_chooseFileName;
    bool m_closeRequested = false;
    bool m_closeQuestionOpen = false;
    enum class CloseAnswer { None, Save, Discard };
    CloseAnswer m_closeAnswer = CloseAnswer::None;
    int m_closeResult = 0;
    qsizetype m_savedSamples = 0;
};
