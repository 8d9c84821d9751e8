#include "setup/ueinst.h"

#include "link/allgem.h"
#include "setup/radiogroup.h"
#include "setup/setuptext.h"
#include "setup/setupwidgets.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <cmath>
#include <limits>

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
// The zero range's centre in mV/V for each item.
constexpr double ZeroCentres[] = {-0.5, -0.25, 0.0, 0.25, 0.5};
constexpr int ZeroCentreItem = 2;
constexpr const char *DirectionItems[] = {"Zug:             4mA = 0mV/V  Signal negativ",
                                          "Druck/Zug:  12mA = 0mV/V",
                                          "Druck:          4mA = 0 mV/V  Signal positiv"};
constexpr const char *DirectionCodes[] = {"412", "411", "415"};

// The list item that shows a V potentiometer value: one decimal, decimal comma, " mV/V". The
// device keeps the right end's 0.83 as 0.8333, which the list shows as "0,83".
QString vPotiItem(double value, bool rightEnd) {
    const QString number = rightEnd && value > 0.8 && value < 0.84 ? QStringLiteral("0,83")
                                                                   : FormatFixed(value, 15, 1);
    return number + QStringLiteral(" mV/V");
}

// The zero lists' item for a centre; -1 when the centre is no usable number.
int zeroItem(double centre) {
    const std::optional<std::int32_t> hundredths = NearestInt(100.0 * centre);
    if (!hundredths)
        return -1;
    // Truncated toward zero, as the device's key codes are counted: 0.1 still gives item 2.
    const qint64 item = (qint64(*hundredths) + 50) / 25;
    return item >= 0 && item < qint64(std::size(ZeroCentres)) ? int(item) : -1;
}

} // namespace

Tfeinst::Tfeinst(QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Tfeinst"));
    setWindowTitle(QStringLiteral("KT290 - Einstellbereiche"));
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPixelSize(11);
    setFont(dialogFont);
    setFixedSize(ClientWidth, ClientHeight);
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
    ApplyValues(1, 0.0, 0.83, 2.0);
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

void Tfeinst::ApplyValues(std::optional<int> direction, double zeroCentre, double vPotiRight,
                          double vPotiLeft) {
    selectItemText(ComboBoxVPotiL, vPotiItem(vPotiLeft, false));
    selectItem(ComboBoxVPotiLF, ComboBoxVPotiL->currentIndex());
    selectItemText(ComboBoxVPotiR, vPotiItem(vPotiRight, true));
    selectItem(ComboBoxVPotiRF, ComboBoxVPotiR->currentIndex());

    const int zero = zeroItem(zeroCentre);
    for (QComboBox *list : {ComboBox0PotiL, ComboBox0PotiLF, ComboBox0PotiR, ComboBox0PotiRF})
        selectItem(list, zero);

    // Counted in 64 bits: the largest integer a text can give has no item after it.
    const qint64 item = direction ? qint64(*direction) + 1 : -1;
    const bool fits = item <= std::numeric_limits<int>::max();
    RadioGroupZD->setItemIndex(fits ? int(item) : -1);
    selectItem(ComboBoxZD, fits ? int(item) : -1);
}

void Tfeinst::ApplyText(const QString &text) {
    const double left = ParseKeyValue(QStringLiteral("20mA Poti links"), text);
    const double right = ParseKeyValue(QStringLiteral("20mA Poti rechts"), text);
    const double zero = ParseKeyValue(QStringLiteral("Nullpotimitte"), text);
    const std::optional<std::int32_t> direction =
        NearestInt(ParseKeyValue(QStringLiteral("Druckrichtung"), text));
    ApplyValues(direction, zero, right, left);
}

std::optional<TEinstSnapshot> Tfeinst::TakeSnapshot(QString *unreadable) const {
    TEinstSnapshot snapshot;
    for (auto [list, value] : {std::pair{ComboBoxVPotiL, &snapshot.vPotiLeft},
                               std::pair{ComboBoxVPotiR, &snapshot.vPotiRight}}) {
        const QString number = ExtractNumber(list->currentText());
        const std::optional<double> read = ReadCommaNumber(number);
        if (!read) {
            if (unreadable)
                *unreadable = number;
            return std::nullopt;
        }
        *value = *read;
    }
    const int zero = ComboBox0PotiL->currentIndex();
    snapshot.zeroCentre = zero >= 0 && zero < int(std::size(ZeroCentres))
                              ? ZeroCentres[zero]
                              : ZeroCentres[ZeroCentreItem];
    switch (RadioGroupZD->itemIndex()) {
    case 0:
        snapshot.direction = -1.0;
        break;
    case 1:
        snapshot.direction = 0.0;
        break;
    default:
        snapshot.direction = 1.0;
        break;
    }
    return snapshot;
}
