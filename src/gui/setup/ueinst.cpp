#include "gui/setup/ueinst.h"

#include "core/setup/setupfields.h"
#include "gui/setup/radiogroup.h"
#include "gui/setup/setupwidgets.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

constexpr int ClientWidth = 598;
constexpr int ClientHeight = 440;

// Item i of a value list belongs to item i of its code list.
constexpr const char *VPotiLeftItems[] = {"2,5 mV/V", "2,0 mV/V", "1,5 mV/V", "1,0 mV/V"};
constexpr const char *VPotiLeftCodes[] = {"435", "431", "432", "433"};
constexpr const char *VPotiRightItems[] = {"0,5 mV/V", "0,83 mV/V", "1,0 mV/V", "1,5 mV/V"};
constexpr const char *VPotiRightCodes[] = {"441", "445", "442", "443"};
constexpr const char *ZeroLowerEnds[] = {"-1,00 mV/V", "-0,75  mV/V", "-0,50  mV/V", "-0,25  mV/V",
                                         "0,00 mV/V"};
constexpr const char *ZeroUpperEnds[] = {"0,00 mV/V", "+0,25 mV/V", "+0,50 mV/V", "+0,75 mV/V",
                                         "+1,00 mV/V"};
constexpr const char *ZeroCodes[] = {"451", "452", "455", "453", "454"};
constexpr const char *DirectionItems[] = {"Zug:             4mA = 0mV/V  Signal negativ",
                                          "Druck/Zug:  12mA = 0mV/V",
                                          "Druck:          4mA = 0 mV/V  Signal positiv"};
constexpr const char *DirectionCodes[] = {"412", "411", "415"};

} // namespace

Tfeinst::Tfeinst(QWidget *parent)
    : QDialog(parent) {
    makeSetupDialog(this, "Tfeinst", QStringLiteral("KT290 - Einstellbereiche"),
                    {ClientWidth, ClientHeight});
    buildControls();
    fitCaptions(this);
    connectHandlers();
    setTabOrder();
    FormCreate();
}

void Tfeinst::buildControls() {
    Bevel1 = makeBevel(this, "Bevel1", {16, 24, 569, 81});
    Bevel2 = makeBevel(this, "Bevel2", {16, 144, 569, 81});
    Bevel3 = makeBevel(this, "Bevel3", {16, 264, 569, 97});
    Label2 = makeHeading(this, "Label2", QStringLiteral("Volllastbereich"), {24, 32});
    Label1 = makeHeading(this, "Label1", QStringLiteral("Nullpunktbereich"), {24, 152});
    Label3 = makeHeading(this, "Label3", QStringLiteral("Funktion"), {24, 272});

    Label14 = makeLabel(this, "Label14", QStringLiteral("V - Poti links"), {104, 48});
    Label15 = makeLabel(this, "Label15", QStringLiteral("V - Poti rechts"), {408, 48});
    ComboBoxVPotiL = makeList(this, "ComboBoxVPotiL", itemTexts(VPotiLeftItems), {96, 64}, 97);
    ComboBoxVPotiLF = makeList(this, "ComboBoxVPotiLF", itemTexts(VPotiLeftCodes), {208, 64}, 57);
    ComboBoxVPotiR = makeList(this, "ComboBoxVPotiR", itemTexts(VPotiRightItems), {392, 67}, 97);
    ComboBoxVPotiRF = makeList(this, "ComboBoxVPotiRF", itemTexts(VPotiRightCodes), {504, 64}, 57);

    Label13 = makeLabel(this, "Label13", QStringLiteral("0 - Poti links"), {104, 168});
    Label7 = makeLabel(this, "Label7", QStringLiteral("0 - Poti rechts"), {408, 168});
    ComboBox0PotiL = makeList(this, "ComboBox0PotiL", itemTexts(ZeroLowerEnds), {96, 184}, 97);
    ComboBox0PotiLF = makeList(this, "ComboBox0PotiLF", itemTexts(ZeroCodes), {208, 184}, 57);
    ComboBox0PotiR = makeList(this, "ComboBox0PotiR", itemTexts(ZeroUpperEnds), {392, 184}, 97);
    ComboBox0PotiRF = makeList(this, "ComboBox0PotiRF", itemTexts(ZeroCodes), {504, 184}, 57);

    const QString codeCaption = QStringLiteral("Codetaste T1");
    Label4 = makeLabel(this, "Label4", codeCaption, {208, 48});
    Label5 = makeLabel(this, "Label5", codeCaption, {504, 48});
    Label6 = makeLabel(this, "Label6", codeCaption, {208, 168});
    Label8 = makeLabel(this, "Label8", codeCaption, {504, 168});
    Label9 = makeLabel(this, "Label9", codeCaption, {416, 280});

    RadioGroupZD = new TRadioGroup(itemTexts(DirectionItems), this);
    RadioGroupZD->setObjectName(QStringLiteral("RadioGroupZD"));
    RadioGroupZD->setGeometry(104, 272, 273, 73);
    ComboBoxZD = makeList(this, "ComboBoxZD", itemTexts(DirectionCodes), {416, 296}, 57);

    BitBtn1 = makeButton(this, "BitBtn1", QStringLiteral("Abbrechen"), {179, 392, 97, 25});
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    BitBtn1->setDefault(true);
    BitBtn2 = makeButton(this, "BitBtn2", QStringLiteral("OK"), {312, 392, 97, 25});
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
}

// Lists report only the user's choice, so selecting an item from code never runs a list's
// handler; the radio group reports every choice given to it, from code as from the user.
void Tfeinst::connectHandlers() {
    connect(ComboBoxVPotiL, &QComboBox::activated, this, &Tfeinst::ComboBoxVPotiLChange);
    connect(ComboBoxVPotiLF, &QComboBox::activated, this, &Tfeinst::ComboBoxVPotiLFChange);
    connect(ComboBoxVPotiR, &QComboBox::activated, this, &Tfeinst::ComboBoxVPotiRChange);
    connect(ComboBoxVPotiRF, &QComboBox::activated, this, &Tfeinst::ComboBoxVPotiRFChange);
    for (QComboBox *zero : {ComboBox0PotiL, ComboBox0PotiLF, ComboBox0PotiR, ComboBox0PotiRF})
        connect(zero, &QComboBox::activated, this, [this, zero] { ComboBox0PotiChange(zero); });
    connect(RadioGroupZD, &TRadioGroup::clicked, this, &Tfeinst::RadioGroupZDClick);
    connect(ComboBoxZD, &QComboBox::activated, this, &Tfeinst::ComboBoxZDChange);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
}

void Tfeinst::setTabOrder() {
    QWidget *const order[] = {RadioGroupZD,    ComboBoxVPotiL,  ComboBoxVPotiR,  ComboBox0PotiL,
                              ComboBoxVPotiLF, ComboBoxVPotiRF, ComboBox0PotiLF, ComboBox0PotiR,
                              ComboBox0PotiRF, BitBtn1,         BitBtn2,         ComboBoxZD};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Tfeinst::FormCreate() {
    showFields(DefaultSetupFields());
}

void Tfeinst::ComboBoxVPotiLChange() {
    selectItem(ComboBoxVPotiLF, ComboBoxVPotiL->currentIndex());
}

void Tfeinst::ComboBoxVPotiLFChange() {
    selectItem(ComboBoxVPotiL, ComboBoxVPotiLF->currentIndex());
}

void Tfeinst::ComboBoxVPotiRChange() {
    selectItem(ComboBoxVPotiRF, ComboBoxVPotiR->currentIndex());
}

void Tfeinst::ComboBoxVPotiRFChange() {
    selectItem(ComboBoxVPotiR, ComboBoxVPotiRF->currentIndex());
}

// The four zero lists show one range: its lower end, upper end and their codes.
void Tfeinst::ComboBox0PotiChange(QComboBox *sender) {
    const int index = sender->currentIndex();
    for (QComboBox *zero : {ComboBox0PotiL, ComboBox0PotiLF, ComboBox0PotiR, ComboBox0PotiRF})
        selectItem(zero, index);
}

void Tfeinst::RadioGroupZDClick() {
    selectItem(ComboBoxZD, RadioGroupZD->itemIndex());
}

void Tfeinst::ComboBoxZDChange() {
    RadioGroupZD->setItemIndex(ComboBoxZD->currentIndex());
}

void Tfeinst::showFields(const SetupFields &fields) {
    selectItemText(ComboBoxVPotiL, fields.vPotiLeftItem);
    selectItem(ComboBoxVPotiLF, ComboBoxVPotiL->currentIndex());
    selectItemText(ComboBoxVPotiR, fields.vPotiRightItem);
    selectItem(ComboBoxVPotiRF, ComboBoxVPotiR->currentIndex());
    for (QComboBox *list : {ComboBox0PotiL, ComboBox0PotiLF, ComboBox0PotiR, ComboBox0PotiRF})
        selectItem(list, fields.zeroIndex);
    RadioGroupZD->setItemIndex(fields.pressureIndex);
    selectItem(ComboBoxZD, fields.pressureIndex);
}

void Tfeinst::clearValues() {
    for (QComboBox *list : {ComboBox0PotiL, ComboBoxVPotiL, ComboBoxVPotiR})
        list->setCurrentIndex(-1);
    RadioGroupZD->setItemIndex(-1);
}

void Tfeinst::takeFields(SetupFields &fields) const {
    fields.pressureIndex = RadioGroupZD->itemIndex();
    fields.zeroIndex = ComboBox0PotiL->currentIndex();
    fields.vPotiLeftItem = ComboBoxVPotiL->currentText();
    fields.vPotiRightItem = ComboBoxVPotiR->currentText();
}
