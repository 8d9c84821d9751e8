#pragma once

#include "core/setup/setupfields.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

// What the tests that run the programs against the simulator give it, and what it holds.
namespace simulated {

// The values the simulator is given besides its own setup; each field differs from the others,
// so an answer shown under another field's name is seen.
inline const char *const DeviceValues[] = {"set mvv0cal 0.52", "set mvv0 0.02", "set fnr 42",
                                           "set tasp 0.5",     "set fehl 3",    "set P2 2",
                                           "set mas 12.5",     "set al1ma 8",   "set al2ma 16.25"};

// The simulator's own setup, as the program holds it.
inline SetupFields deviceSetup() {
    SetupFields fields;
    fields.relay1DeEnergised = true;
    fields.relay2DeEnergised = true;
    fields.hysteresis1Item = QStringLiteral("0,0 mA");
    fields.hysteresis2Item = QStringLiteral("0,0 mA");
    fields.safetyMode = false;
    fields.pressureIndex = 2;
    fields.zeroIndex = 2;
    fields.vPotiLeftItem = QStringLiteral("2,5 mV/V");
    fields.vPotiRightItem = QStringLiteral("0,83 mV/V");
    return fields;
}

// Two fields differ from the device: the first hysteresis and the direction.
inline SetupFields twoFieldsChanged() {
    SetupFields fields = deviceSetup();
    fields.hysteresis1Item = QStringLiteral("1,0 mA");
    fields.pressureIndex = 0;
    return fields;
}

// Answers the live view's question on closing with an unsaved recording with "Verwerfen";
// true when a question was open.
inline bool discardRecording() {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return false;
    for (QAbstractButton *button : box->buttons())
        if (box->buttonRole(button) == QMessageBox::DestructiveRole)
            button->click();
    return true;
}

} // namespace simulated
