#pragma once

#include <QDialog>

struct SetupFields;

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// The switch-point dialog: relay polarities, hysteresis and safety mode. It shows this part of
// the setup the program holds and edits it; each value control has its list of key codes at the
// device's key T1 beside it, and the two always move together.
class Tfrelais final : public QDialog {
    Q_OBJECT

public:
    explicit Tfrelais(QWidget *parent = nullptr);

    // Shows the fields' switch-point part; the safety mode comes last, so when it is on both
    // polarities end checked.
    void showFields(const SetupFields &fields);
    // A read has begun: the value controls lose their values, the check boxes are cleared (their
    // code lists follow), the hysteresis code lists keep what they showed.
    void clearValues();
    // The switch-point part of `fields` as the controls show it now.
    void takeFields(SetupFields &fields) const;

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
