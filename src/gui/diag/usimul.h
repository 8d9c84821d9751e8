#pragma once

#include "core/device/operationrules.h"
#include "core/diag/simulationrun.h"
#include "gui/main/modelpanel.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class Tform1;

// The simulation window: a simulated input signal or a driven output current, and what the
// switch points and relays make of it, on the drawing of the device's model.
class Tfsimul final : public QDialog, private SimulationRun::View {
    Q_OBJECT

public:
    explicit Tfsimul(Tform1 &form, QWidget *parent = nullptr);

    // The input correction in mV/V; 0 until it has been measured.
    double inputOffset() const { return m_inputOffset; }
    // Shows both relays' contact pictures for an answer to "P2" (NoValue hides them all).
    void ShowRelays(double relayStates);

    // Controls
    QRadioButton *RadioButtonSimMv = nullptr;
    QRadioButton *RadioButtonSimMa = nullptr;
    QWidget *Panel1 = nullptr;
    QWidget *Image01 = nullptr;
    QWidget *ImageNc1 = nullptr;
    QWidget *ImageNo1 = nullptr;
    QWidget *ImageNc2 = nullptr;
    QWidget *ImageNo2 = nullptr;
    QLabel *StaticTextSp1 = nullptr;
    QLabel *StaticTextSp2 = nullptr;
    QLineEdit *EditMv = nullptr;
    QLineEdit *EditMa = nullptr;
    QWidget *Panel2 = nullptr;
    QWidget *Image02 = nullptr;
    QWidget *ImageNc102 = nullptr;
    QWidget *ImageNo102 = nullptr;
    QWidget *ImageNc202 = nullptr;
    QWidget *ImageNo202 = nullptr;
    QLabel *StaticTextSP102 = nullptr;
    QLabel *StaticTextSP202 = nullptr;
    QLineEdit *EditMv2 = nullptr;
    QLineEdit *EditMa2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *ButtonClose = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTimer *Timer1 = nullptr;

    // Handlers
    void FormShow();
    void Timer1Timer();
    void RadioButtonSimMvClick();
    void RadioButtonSimMaClick();
    void Button1Click();
    void ButtonCloseClick();
    void FormClose();

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void buildModelPanels();
    void FormCreate();
    void runHoldingButton();
    void applyRules(const OperationRules::Allowed &allowed);
    void ApplyAndRefresh(DeviceProtocol &protocol);
    QString chosenText(QLineEdit *strainGaugeEdit, QLineEdit *currentEdit) const;

    // What a run reads and shows.
    bool inputSimulated() const override;
    bool outputSimulated() const override;
    QString inputText() const override;
    QString outputText() const override;
    void showProgress(int position) override;
    void clearMeasuredInput() override;
    void showMeasuredInput(double millivoltsPerVolt) override;
    void showOutput(double milliamps) override;
    void showSwitchPoint(int point, double milliamps) override;
    void showRelays(double relayStates) override;
    void showConversionError(const QString &text) override;

    Tform1 &m_form;
    ModelPanel m_strainGaugePanel;
    ModelPanel m_currentPanel;
    double m_inputOffset = 0.0;
    int m_runs = 0;
    bool m_closeRequested = false;
    int m_closeResult = 0;
    bool m_forgetOffset = false;
    bool m_closing = false;
};
