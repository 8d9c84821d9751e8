#pragma once

#include <QDialog>

#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class TRadioGroup;

// The values of the setting-range dialog at the moment it was opened.
struct TEinstSnapshot {
    double vPotiLeft = 0.0;  // mV/V
    double vPotiRight = 0.0; // mV/V
    double zeroCentre = 0.0; // mV/V
    double direction = 1.0;  // -1, 0 or 1
};

// The setting-range dialog of the strain-gauge models: V and zero potentiometer ranges and the
// pressure direction. Its controls hold this part of the setup for the whole run; each value
// control has its list of key codes at the device's key T1 beside it.
class Tfeinst final : public QDialog {
    Q_OBJECT

public:
    explicit Tfeinst(QWidget *parent = nullptr);

    // `direction` -1, 0 or 1 selects radio item 0 to 2; above 1 the radio group takes its last
    // item without code, below -1 or nothing (a value that is no integer) leaves no choice.
    void ApplyValues(std::optional<int> direction, double zeroCentre, double vPotiRight,
                     double vPotiLeft);
    void ApplyText(const QString &text);
    // Nothing when a V potentiometer list has no selection; `unreadable` then gets the number
    // text that could not be read.
    std::optional<TEinstSnapshot> TakeSnapshot(QString *unreadable = nullptr) const;

    // Handlers
    void ComboBoxVPotiLChange();
    void ComboBoxVPotiLFChange();
    void ComboBoxVPotiRChange();
    void ComboBoxVPotiRFChange();
    void ComboBox0PotiChange(QComboBox *sender);
    void RadioGroupZDClick();
    void ComboBoxZDChange();

    // Controls
    QFrame *Bevel1 = nullptr;
    QFrame *Bevel2 = nullptr;
    QFrame *Bevel3 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label14 = nullptr;
    QLabel *Label15 = nullptr;
    QComboBox *ComboBoxVPotiL = nullptr;
    QComboBox *ComboBoxVPotiLF = nullptr;
    QComboBox *ComboBoxVPotiR = nullptr;
    QComboBox *ComboBoxVPotiRF = nullptr;
    QLabel *Label13 = nullptr;
    QLabel *Label7 = nullptr;
    QComboBox *ComboBox0PotiL = nullptr;
    QComboBox *ComboBox0PotiLF = nullptr;
    QComboBox *ComboBox0PotiR = nullptr;
    QComboBox *ComboBox0PotiRF = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    TRadioGroup *RadioGroupZD = nullptr;
    QComboBox *ComboBoxZD = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

private:
    void buildControls();
    void connectHandlers();
    void setTabOrder();
    void FormCreate();
};
