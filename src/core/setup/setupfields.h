#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The setup's fields and the one reader of setup texts (the device's print and setup files):
// whether a text holds a setup, its fields, its F.Nr and its raw list values all come from here.

// The device's setup as the program holds it and the setup dialogs show it: nine fields, each
// list-valued one as the text of its chosen item or without value (empty text, index -1).
struct SetupFields {
    bool relay1DeEnergised = true; // "oberhalb Schaltpunkt SP1  stromlos" checked
    bool relay2DeEnergised = true;
    QString hysteresis1Item; // "0,0 mA" … "2,0 mA"
    QString hysteresis2Item;
    bool safetyMode = false;
    int pressureIndex = 2;  // radio item 0 … 2, -1 without choice
    int zeroIndex = 2;      // zero potentiometer item 0 … 4, -1 without selection
    QString vPotiLeftItem;  // "2,5 mV/V" …
    QString vPotiRightItem; // "0,5 mV/V" …

    bool operator==(const SetupFields &) const = default;
};

// A setup text is taken when its format version is at least 3 and it carries the safety mode
// with its leading blank (the device prints every label after a blank).
bool SetupTextAccepted(const QString &text);

// The setup fields that a setup text (device print or setup file) gives: a hysteresis or V
// potentiometer value that no list item shows leaves that list without value (the right end's 0.8 <
// v < 0.84 is the item "0,83 mV/V"), a polarity below 0.5 is "de-energised" (also when missing),
// the safety mode is on above 0.5 and then both relays are de-energised, a direction beyond the
// last item takes the last one, and a direction below the first or a zero centre without item has
// no choice.
SetupFields SetupFieldsFromText(const QString &text);

// The setup the program starts with and "Default" gives: both relays de-energised above their
// switch points, no hysteresis, no safety mode, 2,0 and 0,83 mV/V, the middle zero range and
// "Druck".
SetupFields DefaultSetupFields();

// A setup with no value in any list, as a read that has begun leaves it: nothing of an older
// setup can pass for the device's.
SetupFields ClearedSetupFields();

// The F.Nr a setup text gives, four digits ("0042"); empty without one.
QString SetupSerialNumber(const QString &text);

// A field in which two setups differ, with its German name and both values as shown to the user.
struct SetupDifference {
    QString field;
    QString from;
    QString to;

    bool operator==(const SetupDifference &) const = default;
};

// The fields a write would send (the strain-gauge part only for strain-gauge models) in which
// `to` differs from `from`, in the dialogs' order.
QList<SetupDifference> SetupDifferences(const SetupFields &from, const SetupFields &to,
                                        bool strainGauge);

// The setup as rows of a table: each field's German name and its value as shown to the user
// ("(ohne Wert)" where it has none), in the dialogs' order; the strain-gauge part (potentiometers
// and direction) only for strain-gauge models. A relay above its switch point is "stromlos" or
// "erregt".
QList<QPair<QString, QString>> SetupRows(const SetupFields &fields, bool strainGauge);

// One set command and the pause the device needs after it.
struct SetupCommand {
    QString text;
    double pauseSeconds = 0.0;

    bool operator==(const SetupCommand &) const = default;
};

// The number of a list item as the device and the setup file take it: "0,83 mV/V" gives
// "0.83"; an item-less list gives the empty text.
QString ItemNumber(const QString &itemText);

// "-1", "0" or "1" for radio items 0 to 2; "-2" without choice.
QString PressureArgument(int pressureIndex);

// The zero potentiometer's centre in mV/V as the device takes it; "0.0" also without selection.
QString ZeroCentreArgument(int zeroIndex);

// The German names of the fields that have no value, in the dialogs' order; only the fields
// that a write would send count (the strain-gauge part only for strain-gauge models).
QStringList MissingSetupFields(const SetupFields &fields, bool strainGauge);

// The set commands that write `fields` into the device, in the device's order. The strain-gauge
// part (pressure direction and potentiometers) only for strain-gauge models.
QList<SetupCommand> SetupCommands(const SetupFields &fields, bool strainGauge);

// A list-valued field as a setup text gives it: its German name (as MissingSetupFields names
// it), its key in the text, the values the text may give it, whether only strain-gauge models
// have it, and the number the text gives (NoValue when it gives none).
struct SetupListField {
    QString field;
    QString key;
    QStringList allowed;
    bool strainGaugeOnly = false;
    double value = 0.0;
};
QList<SetupListField> SetupListFields(const QString &text);

// What keeps a setup text from being written as it stands: refusals (a field without value or
// with a value outside its list, naming the allowed values) and warnings (a value the program
// replaces as the window does), in German. Only the fields the model has count.
struct SetupTextCheck {
    QStringList refusals;
    QStringList warnings;
};
SetupTextCheck CheckSetupText(const QString &text, const SetupFields &fields, bool strainGauge);
