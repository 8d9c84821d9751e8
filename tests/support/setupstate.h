#pragma once

#include "core/setup/currentsetup.h"
#include "core/setup/setupfields.h"
#include "gui/setup/radiogroup.h"
#include "gui/setup/ueinst.h"
#include "gui/setup/urelais.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QStringList>

// The state of the two setup dialogs as one line of text, every value control beside its code
// list, so that a test compares all of it at once and a failure shows what differs.
namespace setupstate {

inline QString item(const QComboBox *list) {
    return list->currentIndex() < 0 ? QStringLiteral("<none>") : list->currentText();
}

inline QString box(const QCheckBox *check) {
    return check->isChecked() ? QStringLiteral("[x]") : QStringLiteral("[ ]");
}

inline QString relaisState(const Tfrelais &d) {
    return QStringList{box(d.CheckBoxR1Pol) + ' ' + item(d.ComboBoxR1Pol),
                       box(d.CheckBoxR2Pol) + ' ' + item(d.ComboBoxR2Pol),
                       item(d.ComboBoxAl1Hy) + ' ' + item(d.ComboBoxR1Hy),
                       item(d.ComboBoxAl2Hy) + ' ' + item(d.ComboBoxR2Hy),
                       box(d.CheckBox251) + ' ' + item(d.ComboBox251)}
        .join(QStringLiteral(" | "));
}

inline QString einstState(const Tfeinst &d) {
    const int radio = d.RadioGroupZD->itemIndex();
    return QStringList{
        item(d.ComboBoxVPotiL) + ' ' + item(d.ComboBoxVPotiLF),
        item(d.ComboBoxVPotiR) + ' ' + item(d.ComboBoxVPotiRF),
        item(d.ComboBox0PotiL) + ' ' + item(d.ComboBox0PotiLF) + ' ' + item(d.ComboBox0PotiR) +
            ' ' + item(d.ComboBox0PotiRF),
        (radio < 0 ? QStringLiteral("radio <none>") : QStringLiteral("radio %1").arg(radio)) + ' ' +
            item(d.ComboBoxZD)}
        .join(QStringLiteral(" | "));
}

// The user picks an item from a drop-down list.
inline void choose(QComboBox *list, const QString &text) {
    const int index = list->findText(text);
    Q_ASSERT(index >= 0);
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// The switch-point part of `fields` replaced by these values, read as a setup text gives them:
// a relay checked is de-energised above its switch point, hysteresis in mA.
inline SetupFields withSwitchPoints(SetupFields fields, bool relay1, bool relay2,
                                    double hysteresis1, double hysteresis2, bool safety) {
    const SetupFields read = SetupFieldsFromText(
        QStringLiteral(" Alarm1hysterese : %1   Alarm2hysterese : %2\r\n"
                       " Relais1polatität: %3   Relais2polatität: %4\r\n Sicherheitsmodus: %5\r\n")
            .arg(hysteresis1)
            .arg(hysteresis2)
            .arg(relay1 ? 0 : 1)
            .arg(relay2 ? 0 : 1)
            .arg(safety ? 1 : 0));
    fields.relay1DeEnergised = read.relay1DeEnergised;
    fields.relay2DeEnergised = read.relay2DeEnergised;
    fields.hysteresis1Item = read.hysteresis1Item;
    fields.hysteresis2Item = read.hysteresis2Item;
    fields.safetyMode = read.safetyMode;
    return fields;
}

// The setup the program holds, given these values; where it came from stays.
inline void setSwitchPoints(CurrentSetup &setup, bool relay1, bool relay2, double hysteresis1,
                            double hysteresis2, bool safety) {
    setup.set(withSwitchPoints(setup.fields(), relay1, relay2, hysteresis1, hysteresis2, safety),
              setup.origin(), setup.filePath());
}

// The strain-gauge part: direction -1, 0 or 1, zero centre and V potentiometer ends in mV/V.
inline void setRanges(CurrentSetup &setup, int direction, double zeroCentre, double vPotiRight,
                      double vPotiLeft) {
    const SetupFields read =
        SetupFieldsFromText(QStringLiteral(" Druckrichtung   : %1\r\n Nullpotimitte   : %2\r\n"
                                           " 20mA Poti links : %3\r\n 20mA Poti rechts: %4\r\n")
                                .arg(direction)
                                .arg(zeroCentre)
                                .arg(vPotiLeft)
                                .arg(vPotiRight));
    SetupFields fields = setup.fields();
    fields.pressureIndex = read.pressureIndex;
    fields.zeroIndex = read.zeroIndex;
    fields.vPotiLeftItem = read.vPotiLeftItem;
    fields.vPotiRightItem = read.vPotiRightItem;
    setup.set(fields, setup.origin(), setup.filePath());
}

// The states the default setup gives.
inline const QString DefaultRelais =
    QStringLiteral("[x] 211 | [x] 221 | 0,0 mA 230 | 0,0 mA 240 | [ ] ---");
inline const QString DefaultEinst =
    QStringLiteral("2,0 mV/V 431 | 0,83 mV/V 445 | -0,50  mV/V 455 +0,50 mV/V 455 | radio 2 415");

} // namespace setupstate

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

namespace setupstate {

// Runs `act` on the next modal window as soon as it shows (the test waits inside its exec());
// gives up after a few seconds so that a window that never comes does not haunt later tests.
inline void onNextModal(QObject *context, std::function<void(QWidget *)> act) {
    auto *timer = new QTimer(context);
    const QDeadlineTimer deadline(5000);
    QObject::connect(timer, &QTimer::timeout, context, [timer, act, deadline] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            act(modal);
    });
    timer->start(10);
}

} // namespace setupstate
