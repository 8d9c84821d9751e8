#pragma once

#include <QDialog>

struct SetupFields;

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class TRadioGroup;

// The setting-range dialog of the strain-gauge models: V and zero potentiometer ranges and the
// pressure direction. It shows this part of the setup the program holds and edits it; each value
// control has its list of key codes at the device's key T1 beside it.
class Tfeinst final : public QDialog {
    Q_OBJECT

public:
    explicit Tfeinst(QWidget *parent = nullptr);

    // Shows the fields' strain-gauge part, each code list beside its value control.
    void showFields(const SetupFields &fields);
    // A read has begun: the value controls lose their values (the code lists and the zero
    // range's other lists keep what they showed) and the radio group its choice.
    void clearValues();
    // The strain-gauge part of `fields` as the controls show it now.
    void takeFields(SetupFields &fields) const;

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
