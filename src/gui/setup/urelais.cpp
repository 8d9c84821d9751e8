#include "gui/setup/urelais.h"

#include "core/setup/setupfields.h"
#include "gui/setup/setupwidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

constexpr int ClientWidth = 734;
constexpr int ClientHeight = 441;

// Item i of a value list belongs to item i of its code list.
constexpr const char *HysteresisItems[] = {"0,0 mA", "0,1 mA", "0,5 mA", "1,0 mA", "2,0 mA"};
constexpr const char *Relay1HysteresisCodes[] = {"230", "231", "232", "233", "234"};
constexpr const char *Relay2HysteresisCodes[] = {"240", "241", "242", "243", "244"};
// The first code stands for the checked box.
constexpr const char *Relay1PolarityCodes[] = {"211", "212"};
constexpr const char *Relay2PolarityCodes[] = {"221", "222"};
constexpr const char *SafetyModeCodes[] = {"251", "---"};
constexpr int CheckedCode = 0;
constexpr int ClearCode = 1;

void followCheckBox(QComboBox *codes, bool checked) {
    selectItem(codes, checked ? CheckedCode : ClearCode);
}

} // namespace

Tfrelais::Tfrelais(QWidget *parent)
    : QDialog(parent) {
    makeSetupDialog(this, "Tfrelais", QStringLiteral("KT290 - Schaltpunkte"),
                    {ClientWidth, ClientHeight});
    buildControls();
    fitCaptions(this);
    connectHandlers();
    setTabOrder();
    FormCreate();
}

void Tfrelais::buildControls() {
    Bevel1 = makeBevel(this, "Bevel1", {16, 24, 697, 89});
    Bevel2 = makeBevel(this, "Bevel2", {16, 160, 697, 89});
    Bevel3 = makeBevel(this, "Bevel3", {16, 296, 697, 73});
    Label20 = makeHeading(this, "Label20", QStringLiteral("Relais 1 / SP1"), {32, 32});
    Label22 = makeHeading(this, "Label22", QStringLiteral("Relais 2 / SP2"), {32, 168});

    const QString codeCaption = QStringLiteral("Codetaste T1");
    const QString hysteresisCaption = QStringLiteral("Hysterese");
    CheckBoxR1Pol = new QCheckBox(QStringLiteral("oberhalb Schaltpunkt SP1  stromlos"), this);
    CheckBoxR1Pol->setObjectName(QStringLiteral("CheckBoxR1Pol"));
    CheckBoxR1Pol->setGeometry(40, 74, 194, 17);
    CheckBoxR2Pol = new QCheckBox(QStringLiteral("oberhalb Schaltpunkt SP2 stromlos"), this);
    CheckBoxR2Pol->setObjectName(QStringLiteral("CheckBoxR2Pol"));
    CheckBoxR2Pol->setGeometry(40, 208, 194, 17);
    Label5 = makeLabel(this, "Label5", codeCaption, {248, 56});
    Label2 = makeLabel(this, "Label2", codeCaption, {248, 192});
    ComboBoxR1Pol = makeList(this, "ComboBoxR1Pol", itemTexts(Relay1PolarityCodes), {248, 72}, 57);
    ComboBoxR2Pol = makeList(this, "ComboBoxR2Pol", itemTexts(Relay2PolarityCodes), {248, 208}, 57);
    Label21 = makeLabel(this, "Label21", hysteresisCaption, {480, 56});
    Label23 = makeLabel(this, "Label23", hysteresisCaption, {480, 192});
    ComboBoxAl1Hy = makeList(this, "ComboBoxAl1Hy", itemTexts(HysteresisItems), {480, 72}, 81);
    ComboBoxAl2Hy = makeList(this, "ComboBoxAl2Hy", itemTexts(HysteresisItems), {480, 208}, 81);
    Label1 = makeLabel(this, "Label1", codeCaption, {592, 56});
    Label3 = makeLabel(this, "Label3", codeCaption, {592, 192});
    ComboBoxR1Hy = makeList(this, "ComboBoxR1Hy", itemTexts(Relay1HysteresisCodes), {592, 72}, 57);
    ComboBoxR2Hy = makeList(this, "ComboBoxR2Hy", itemTexts(Relay2HysteresisCodes), {592, 208}, 57);

    CheckBox251 = new QCheckBox(QStringLiteral("Schaltverhalten 251"), this);
    CheckBox251->setObjectName(QStringLiteral("CheckBox251"));
    CheckBox251->setGeometry(40, 330, 121, 17);
    Label4 = makeLabel(this, "Label4", codeCaption, {248, 312});
    ComboBox251 = makeList(this, "ComboBox251", itemTexts(SafetyModeCodes), {248, 328}, 57);
    Label6 =
        makeLabel(this, "Label6", QStringLiteral(" SP1 nur größer SP2 einstellbar "), {344, 336});
    Label6->setAutoFillBackground(true);
    Label6->setBackgroundRole(QPalette::ToolTipBase);
    Label6->setForegroundRole(QPalette::ToolTipText);

    BitBtn1 = makeButton(this, "BitBtn1", QStringLiteral("Abbrechen"), {240, 392, 97, 25});
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    BitBtn1->setDefault(true);
    BitBtn2 = makeButton(this, "BitBtn2", QStringLiteral("OK"), {368, 392, 97, 25});
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
}

// Check boxes report every change of state, from code as from the user; lists report only the
// user's choice, so selecting an item from code never runs a list's handler.
void Tfrelais::connectHandlers() {
    connect(CheckBoxR1Pol, &QCheckBox::toggled, this, &Tfrelais::CheckBoxR1PolClick);
    connect(CheckBoxR2Pol, &QCheckBox::toggled, this, &Tfrelais::CheckBoxR2PolClick);
    connect(CheckBox251, &QCheckBox::toggled, this, &Tfrelais::CheckBox251Click);
    connect(ComboBoxR1Pol, &QComboBox::activated, this, &Tfrelais::ComboBoxR1PolChange);
    connect(ComboBoxR2Pol, &QComboBox::activated, this, &Tfrelais::ComboBoxR2PolChange);
    connect(ComboBoxAl1Hy, &QComboBox::activated, this, &Tfrelais::ComboBoxAl1HyChange);
    connect(ComboBoxAl2Hy, &QComboBox::activated, this, &Tfrelais::ComboBoxAl2HyChange);
    connect(ComboBoxR1Hy, &QComboBox::activated, this, &Tfrelais::ComboBoxR1HyChange);
    connect(ComboBoxR2Hy, &QComboBox::activated, this, &Tfrelais::ComboBoxR2HyChange);
    connect(ComboBox251, &QComboBox::activated, this, &Tfrelais::ComboBox251Change);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
}

void Tfrelais::setTabOrder() {
    QWidget *const order[] = {CheckBoxR1Pol, CheckBoxR2Pol, ComboBoxAl1Hy, ComboBoxAl2Hy,
                              CheckBox251,   BitBtn1,       BitBtn2,       ComboBoxR1Pol,
                              ComboBoxR2Pol, ComboBoxR1Hy,  ComboBoxR2Hy,  ComboBox251};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Tfrelais::FormCreate() {
    showFields(DefaultSetupFields());
    followCheckBox(ComboBox251, CheckBox251->isChecked());
}

void Tfrelais::CheckBoxR1PolClick() {
    followCheckBox(ComboBoxR1Pol, CheckBoxR1Pol->isChecked());
    // The safety mode needs both relays de-energised above their switch points.
    if (!CheckBoxR1Pol->isChecked() && CheckBox251->isChecked())
        CheckBox251->setChecked(false);
}

void Tfrelais::CheckBoxR2PolClick() {
    followCheckBox(ComboBoxR2Pol, CheckBoxR2Pol->isChecked());
    if (!CheckBoxR2Pol->isChecked() && CheckBox251->isChecked())
        CheckBox251->setChecked(false);
}

void Tfrelais::ComboBoxR1PolChange() {
    CheckBoxR1Pol->setChecked(ComboBoxR1Pol->currentIndex() == CheckedCode);
}

void Tfrelais::ComboBoxR2PolChange() {
    CheckBoxR2Pol->setChecked(ComboBoxR2Pol->currentIndex() == CheckedCode);
}

void Tfrelais::ComboBoxAl1HyChange() {
    selectItem(ComboBoxR1Hy, ComboBoxAl1Hy->currentIndex());
}

void Tfrelais::ComboBoxAl2HyChange() {
    selectItem(ComboBoxR2Hy, ComboBoxAl2Hy->currentIndex());
}

void Tfrelais::ComboBoxR1HyChange() {
    selectItem(ComboBoxAl1Hy, ComboBoxR1Hy->currentIndex());
}

void Tfrelais::ComboBoxR2HyChange() {
    selectItem(ComboBoxAl2Hy, ComboBoxR2Hy->currentIndex());
}

void Tfrelais::CheckBox251Click() {
    if (!CheckBox251->isChecked()) {
        followCheckBox(ComboBox251, false);
        return;
    }
    followCheckBox(ComboBox251, true);
    CheckBoxR1Pol->setChecked(true);
    CheckBoxR1PolClick();
    CheckBoxR2Pol->setChecked(true);
    CheckBoxR2PolClick();
}

void Tfrelais::ComboBox251Change() {
    CheckBox251->setChecked(ComboBox251->currentIndex() == CheckedCode);
}

void Tfrelais::showFields(const SetupFields &fields) {
    CheckBoxR1Pol->setChecked(fields.relay1DeEnergised);
    CheckBoxR2Pol->setChecked(fields.relay2DeEnergised);
    selectItemText(ComboBoxAl1Hy, fields.hysteresis1Item);
    ComboBoxAl1HyChange();
    selectItemText(ComboBoxAl2Hy, fields.hysteresis2Item);
    ComboBoxAl2HyChange();
    CheckBox251->setChecked(fields.safetyMode);
}

void Tfrelais::clearValues() {
    CheckBoxR1Pol->setChecked(false);
    CheckBoxR2Pol->setChecked(false);
    ComboBoxAl1Hy->setCurrentIndex(-1);
    ComboBoxAl2Hy->setCurrentIndex(-1);
    CheckBox251->setChecked(false);
}

void Tfrelais::takeFields(SetupFields &fields) const {
    fields.relay1DeEnergised = CheckBoxR1Pol->isChecked();
    fields.relay2DeEnergised = CheckBoxR2Pol->isChecked();
    fields.hysteresis1Item = ComboBoxAl1Hy->currentText();
    fields.hysteresis2Item = ComboBoxAl2Hy->currentText();
    fields.safetyMode = CheckBox251->isChecked();
}
