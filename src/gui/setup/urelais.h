#pragma once

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// The values of the switch-point dialog at the moment it was opened.
struct TRelaisSnapshot {
    double relay1Polarity = 0.0; // 1.0 checked (de-energised above SP1), 0.0 clear
    double relay2Polarity = 0.0;
    double hysteresis1 = 0.0; // mA
    double hysteresis2 = 0.0;
    double safetyMode = 0.0; // 1.0 on, 0.0 off
};

// The switch-point dialog: relay polarities, hysteresis and safety mode. Its controls hold this
// part of the setup for the whole run; each value control has its list of key codes at the
// device's key T1 beside it, and the two always move together.
class Tfrelais final : public QDialog {
    Q_OBJECT

public:
    explicit Tfrelais(QWidget *parent = nullptr);

    void ApplyValues(bool relay1, bool relay2, double hysteresis1, double hysteresis2, bool safety);
    void ApplyText(const QString &text);
    // Nothing when a hysteresis list has no selection; `unreadable` then gets the number text
    // that could not be read.
    std::optional<TRelaisSnapshot> TakeSnapshot(QString *unreadable = nullptr) const;

    // Handlers
    void CheckBoxR1PolClick();
    void CheckBoxR2PolClick();
    void ComboBoxR1PolChange();
    void ComboBoxR2PolChange();
    void ComboBoxAl1HyChange();
    void ComboBoxAl2HyChange();
    void ComboBoxR1HyChange();
    void ComboBoxR2HyChange();
    void CheckBox251Click();
    void ComboBox251Change();

    // Controls
    QFrame *Bevel1 = nullptr;
    QFrame *Bevel2 = nullptr;
    QFrame *Bevel3 = nullptr;
    QLabel *Label20 = nullptr;
    QLabel *Label22 = nullptr;
    QCheckBox *CheckBoxR1Pol = nullptr;
    QCheckBox *CheckBoxR2Pol = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *ComboBoxR1Pol = nullptr;
    QComboBox *ComboBoxR2Pol = nullptr;
    QLabel *Label21 = nullptr;
    QLabel *Label23 = nullptr;
    QComboBox *ComboBoxAl1Hy = nullptr;
    QComboBox *ComboBoxAl2Hy = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *ComboBoxR1Hy = nullptr;
    QComboBox *ComboBoxR2Hy = nullptr;
    QCheckBox *CheckBox251 = nullptr;
    QLabel *Label4 = nullptr;
    QComboBox *ComboBox251 = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

private:
    void buildControls();
    void connectHandlers();
    void setTabOrder();
    void FormCreate();
};
