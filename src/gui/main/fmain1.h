#pragma once

#include "core/device/connectionscan.h"
#include "core/device/deviceconversation.h"
#include "core/device/operationrules.h"
#include "core/setup/currentsetup.h"
#include "gui/main/modelpanel.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

#include <optional>

struct ReadoutView;
struct WindowSet;
class HistoryStore;
class InstanceCheck;
class ProgramEnd;
class QAction;
class QFileDialog;
class QFrame;
class QLabel;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QWidget;
class SetupTransfer;

// The main window: the device's identity and live values over the connection diagram of its
// model, the connection, and the way to every other window. It builds its controls and shows
// what the device conversation and the setup it observes tell; the work is theirs.
class Tform1 final : public QMainWindow {
    Q_OBJECT

public:
    Tform1(DeviceConversation &conversation, CurrentSetup &setup, SetupTransfer &transfer,
           WindowSet &windows, QWidget *parent = nullptr);
    ~Tform1() override;

    // Status bar panel 0 is the connection state, panel 1 where the current setup came from.
    QString statusPanelText(int panel) const;
    void setStatusPanelText(int panel, const QString &text);

    // The strain-gauge mark of the device conversation; the menu item "Einstellbereich
    // Nullpunkt, Kennwert" is enabled while it is set.
    bool isStrainGaugeModel() const;
    bool isConnected() const;

    DeviceConversation &conversation() { return m_conversation; }
    // The device history that "Extras" → "Gerätehistorie …" shows (none: the item stays off).
    void setHistory(HistoryStore *history);
    HistoryStore *history() const { return m_history; }
    // The check whether another copy of the program runs, which Timer2Timer asks once (none: it
    // asks nothing).
    void setInstanceCheck(InstanceCheck *check);
    // How the program ends: the close of this window and the interruptions.
    ProgramEnd &programEnd() { return *m_end; }

    // The live view's values in the input, output and relay pictures.
    void showLiveValues(const QString &input, const QString &output, std::optional<int> relayBits);

    // Controls
    QWidget *Image1 = nullptr;
    QWidget *ImageHintergrund = nullptr;
    QFrame *Bevel1 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *StaticTextTyp = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *StaticTextHwVersion = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *StaticTextSwVersion = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *StaticTextFnr = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *StaticTextSetupsperre = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *LabelFehler = nullptr;
    QPlainTextEdit *MemoSetup = nullptr;
    QPushButton *BitBtnAktualisieren = nullptr;
    QPushButton *BitBtnUpload = nullptr;
    QPushButton *BitBtnDownload = nullptr;
    QPushButton *BitBtnVerbinden = nullptr;
    QPushButton *ButtonBeenden = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QFileDialog *OpenDialog1 = nullptr;
    QFileDialog *SaveDialog1 = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;

    // Strain-gauge model panel
    QFrame *Panel1 = nullptr;
    QWidget *Image01 = nullptr;
    QLabel *StaticTextMv = nullptr;
    QLabel *StaticTextMa = nullptr;
    QLabel *StaticTextSp1 = nullptr;
    QLabel *StaticTextSp2 = nullptr;
    QWidget *ImageNc1 = nullptr;
    QWidget *ImageNo1 = nullptr;
    QWidget *ImageNo2 = nullptr;
    QWidget *ImageNc2 = nullptr;

    // Current-input model panel
    QFrame *Panel2 = nullptr;
    QWidget *Image02 = nullptr;
    QLabel *StaticTextMv02 = nullptr;
    QLabel *StaticTextMa02 = nullptr;
    QLabel *StaticTextSP102 = nullptr;
    QLabel *StaticTextSP202 = nullptr;
    QWidget *ImageNc102 = nullptr;
    QWidget *ImageNo102 = nullptr;
    QWidget *ImageNc202 = nullptr;
    QWidget *ImageNo202 = nullptr;

    // Main menu
    QMenuBar *MainMenu1 = nullptr;
    QAction *ffnen1 = nullptr;
    QAction *Speichern1 = nullptr;
    QAction *Beenden1 = nullptr;
    QAction *EinstellbereichNullpunktKennwert1 = nullptr;
    QAction *Relais1 = nullptr;
    QAction *Default1 = nullptr;
    QAction *Logfile1 = nullptr;
    QAction *Simulation1 = nullptr;
    QAction *Status1 = nullptr;
    QAction *LiveAnzeige1 = nullptr;
    // Checked: "Setup im Gerät speichern" shows the fields that would change and asks first.
    QAction *VorDemSchreibenVergleichen1 = nullptr;
    QAction *Schnittstellen1 = nullptr; // which port is COM1 … COM8
    QAction *Geraetehistorie1 = nullptr;
    QAction *Info1 = nullptr;
    QAction *Betriebsanleitung1 = nullptr;

    // Handlers
    void BitBtnVerbindenClick();
    void BitBtnAktualisierenClick(QPushButton *sender);
    void BitBtnUploadClick();
    void BitBtnDownloadClick();
    void BitBtnOpenClick();
    void BitBtnSaveClick();
    void Default1Click();
    void EinstellbereichNullpunktKennwert1Click();
    void Relais1Click();
    void Logfile1Click();
    void Simulation1Click();
    void Status1Click();
    void LiveAnzeige1Click();
    void Info1Click();
    void Betriebsanleitung1Click();
    void ButtonBeendenClick();
    void Beenden1Click();
    void Timer1Timer();
    void Timer2Timer();
    // The n-th interruption of the program (Ctrl+C, SIGTERM, SIGHUP).
    void interrupt(int count);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWindow();
    void buildControls(QWidget *client);
    void buildModelPanels(QWidget *client);
    void buildMenu();
    void FormCreate();
    void FormClose();
    bool scanForDevice();
    static QString notFoundMessage(const ConnectionScan::Result &result);
    void onConnectedChanged(bool connected);
    void onOperationChanged(DeviceConversation::Operation operation);
    void onSetupOriginChanged(CurrentSetup::Origin origin);
    void applyRules(const OperationRules::Allowed &allowed);
    void closeDialogs();
    void askToCutWrite();
    void clearIdentityFields();
    void showReadout(const ReadoutView &view);
    void showRelays(std::optional<int> relayBits);
    void showFinishingWrite();

    DeviceConversation &m_conversation;
    CurrentSetup &m_setup;
    SetupTransfer &m_transfer;
    HistoryStore *m_history = nullptr;
    WindowSet &m_windows;
    InstanceCheck *m_instanceCheck = nullptr;
    OperationRules *m_rules = nullptr;
    ProgramEnd *m_end = nullptr;
    ModelPanel m_strainGaugePanel;
    ModelPanel m_currentPanel;
    QLabel *m_statusPanels[2] = {nullptr, nullptr};
    bool m_centred = false;
    QPointer<QMessageBox> m_cutWriteQuestion;
};
