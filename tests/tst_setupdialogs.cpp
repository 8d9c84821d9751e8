#include "core/link/allgem.h"
#include "core/setup/setupfields.h"
#include "gui/main/fmain1.h"
#include "setupstate.h"
#include "windowrig.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace setupstate;

// The switch-point and setting-range dialogs: each value control and its code list move
// together, the rules between polarities and safety mode, the reading of values, and cancel
// bringing back the moment of opening.
class TestSetupDialogs : public QObject {
    Q_OBJECT

private slots:
    void startWithDefaults();
    void relaisChoices_data();
    void relaisChoices();
    void relaisText_data();
    void relaisText();
    void einstChoices_data();
    void einstChoices();
    void einstValues_data();
    void einstValues();
    void closing_data();
    void closing();
    void unreadableListKeepsDialogClosed_data();
    void unreadableListKeepsDialogClosed();
};

namespace {

// A step of the user: "click:<check box or radio item>" or "choose:<list>=<item text>".
void userStep(QWidget *dialog, const QString &step) {
    const QString action = step.section(QLatin1Char(':'), 0, 0);
    const QString target = step.section(QLatin1Char(':'), 1);
    if (action == QLatin1String("click")) {
        auto *button = dialog->findChild<QAbstractButton *>(target);
        QVERIFY2(button, qPrintable(target));
        button->click();
        return;
    }
    const QString name = target.section(QLatin1Char('='), 0, 0);
    auto *list = dialog->findChild<QComboBox *>(name);
    QVERIFY2(list, qPrintable(name));
    choose(list, target.section(QLatin1Char('='), 1));
}

const QString HysteresisDefaults = QStringLiteral("0,0 mA 230 | 0,0 mA 240");

} // namespace

void TestSetupDialogs::startWithDefaults() {
    Tfrelais relais;
    Tfeinst einst;
    QCOMPARE(relaisState(relais), DefaultRelais);
    QCOMPARE(einstState(einst), DefaultEinst);
    QCOMPARE(relais.size(), QSize(734, 441));
    QCOMPARE(einst.size(), QSize(598, 440));
    for (QComboBox *list : relais.findChildren<QComboBox *>())
        QVERIFY2(!list->isEditable(), qPrintable(list->objectName()));
    for (QComboBox *list : einst.findChildren<QComboBox *>())
        QVERIFY2(!list->isEditable(), qPrintable(list->objectName()));

    // The tab key visits the controls in this order.
    const auto tabOrder = [](QWidget *dialog, const QStringList &names) {
        QStringList visited;
        QWidget *widget = dialog->findChild<QWidget *>(names.first());
        for (int i = 0; i < 200 && visited.size() < names.size(); ++i) {
            if (names.contains(widget->objectName()) && !visited.contains(widget->objectName()))
                visited << widget->objectName();
            widget = widget->nextInFocusChain();
        }
        return visited;
    };
    const QStringList relaisOrder{"CheckBoxR1Pol", "CheckBoxR2Pol", "ComboBoxAl1Hy",
                                  "ComboBoxAl2Hy", "CheckBox251",   "BitBtn1",
                                  "BitBtn2",       "ComboBoxR1Pol", "ComboBoxR2Pol",
                                  "ComboBoxR1Hy",  "ComboBoxR2Hy",  "ComboBox251"};
    QCOMPARE(tabOrder(&relais, relaisOrder), relaisOrder);
    const QStringList einstOrder{"RadioGroupZD",    "ComboBoxVPotiL",  "ComboBoxVPotiR",
                                 "ComboBox0PotiL",  "ComboBoxVPotiLF", "ComboBoxVPotiRF",
                                 "ComboBox0PotiLF", "ComboBox0PotiR",  "ComboBox0PotiRF",
                                 "BitBtn1",         "BitBtn2",         "ComboBoxZD"};
    QCOMPARE(tabOrder(&einst, einstOrder), einstOrder);
}

void TestSetupDialogs::relaisChoices_data() {
    QTest::addColumn<bool>("relay1");
    QTest::addColumn<bool>("relay2");
    QTest::addColumn<bool>("safety");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");
    const QString h = HysteresisDefaults;
    QTest::newRow("safety mode checks both polarities")
        << false << false << false << QStringList{"click:CheckBox251"}
        << "[x] 211 | [x] 221 | " + h + " | [x] 251";
    QTest::newRow("clearing relay 2 clears the safety mode")
        << true << true << true << QStringList{"click:CheckBoxR2Pol"}
        << "[x] 211 | [ ] 222 | " + h + " | [ ] ---";
    QTest::newRow("212 clears relay 1 and the safety mode")
        << true << true << true << QStringList{"choose:ComboBoxR1Pol=212"}
        << "[ ] 212 | [x] 221 | " + h + " | [ ] ---";
    QTest::newRow("221 checks relay 2")
        << false << false << false << QStringList{"choose:ComboBoxR2Pol=221"}
        << "[ ] 212 | [x] 221 | " + h + " | [ ] ---";
    QTest::newRow("code 251 checks everything")
        << false << false << false << QStringList{"choose:ComboBox251=251"}
        << "[x] 211 | [x] 221 | " + h + " | [x] 251";
    QTest::newRow("code --- leaves the polarities")
        << true << true << true << QStringList{"choose:ComboBox251=---"}
        << "[x] 211 | [x] 221 | " + h + " | [ ] ---";
    QTest::newRow("233 selects 1,0 mA, 0,1 mA selects 241")
        << true << true << false
        << QStringList{"choose:ComboBoxR1Hy=233", "choose:ComboBoxAl2Hy=0,1 mA"}
        << "[x] 211 | [x] 221 | 1,0 mA 233 | 0,1 mA 241 | [ ] ---";
    QTest::newRow("2,0 mA selects 234, 240 selects 0,0 mA")
        << true << true << false
        << QStringList{"choose:ComboBoxAl1Hy=2,0 mA", "choose:ComboBoxR2Hy=242",
                       "choose:ComboBoxR2Hy=240"}
        << "[x] 211 | [x] 221 | 2,0 mA 234 | 0,0 mA 240 | [ ] ---";
}

void TestSetupDialogs::relaisChoices() {
    QFETCH(bool, relay1);
    QFETCH(bool, relay2);
    QFETCH(bool, safety);
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);
    Tfrelais dialog;
    dialog.showFields(withSwitchPoints(DefaultSetupFields(), relay1, relay2, 0.0, 0.0, safety));
    for (const QString &step : steps)
        userStep(&dialog, step);
    QCOMPARE(relaisState(dialog), expected);
}

void TestSetupDialogs::relaisText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("safety mode overrides an energised relay 1")
        << " Relais1polatität: 1   Relais2polatität: 0\r\n Sicherheitsmodus: 1\r\n"
           " Alarm1hysterese : 0.0   Alarm2hysterese : 0.0\r\n"
        << "[x] 211 | [x] 221 | 0,0 mA 230 | 0,0 mA 240 | [x] 251";
    QTest::newRow("both energised")
        << " Relais1polatität: 1   Relais2polatität: 1\r\n Sicherheitsmodus: 0\r\n"
           " Alarm1hysterese : 0.5   Alarm2hysterese : 2\r\n"
        << "[ ] 212 | [ ] 222 | 0,5 mA 232 | 2,0 mA 244 | [ ] ---";
    QTest::newRow("0.3 mA has no item, 1 is 1,0 mA")
        << " Alarm1hysterese : 0.3   Alarm2hysterese : 1\r\n"
        << "[x] 211 | [x] 221 | <none> <none> | 1,0 mA 243 | [ ] ---";
    QTest::newRow("missing keys") << " Version: 3\r\n"
                                  << "[x] 211 | [x] 221 | <none> <none> | <none> <none> | [ ] ---";
    // Rounded to one decimal as written, not as held in binary (0.95 is 0.94999…).
    QTest::newRow("0.95 is 1,0 mA, 1.95 is 2,0 mA")
        << " Alarm1hysterese : 0.95   Alarm2hysterese : 1.95\r\n"
        << "[x] 211 | [x] 221 | 1,0 mA 233 | 2,0 mA 244 | [ ] ---";
    QTest::newRow("1.45 is 1,5 mA, no item; 0.049 is 0,0 mA")
        << " Alarm1hysterese : 1.45   Alarm2hysterese : 0.049\r\n"
        << "[x] 211 | [x] 221 | <none> <none> | 0,0 mA 240 | [ ] ---";
}

void TestSetupDialogs::relaisText() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Tfrelais dialog;
    dialog.showFields(withSwitchPoints(DefaultSetupFields(), false, false, 0.1, 0.1, false));
    const SetupFields fields = SetupFieldsFromText(text);
    dialog.showFields(fields);
    QCOMPARE(relaisState(dialog), expected);

    // The dialog shows the fields as the setup holds them.
    QCOMPARE(fields.relay1DeEnergised, dialog.CheckBoxR1Pol->isChecked());
    QCOMPARE(fields.relay2DeEnergised, dialog.CheckBoxR2Pol->isChecked());
    QCOMPARE(fields.hysteresis1Item, dialog.ComboBoxAl1Hy->currentText());
    QCOMPARE(fields.hysteresis2Item, dialog.ComboBoxAl2Hy->currentText());
    QCOMPARE(fields.safetyMode, dialog.CheckBox251->isChecked());
}

void TestSetupDialogs::einstChoices_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");
    QTest::newRow("453 moves all four zero lists")
        << QStringList{"choose:ComboBox0PotiLF=453"}
        << "2,0 mV/V 431 | 0,83 mV/V 445 | -0,25  mV/V 453 +0,75 mV/V 453 | radio 2 415";
    QTest::newRow("upper end moves all four zero lists")
        << QStringList{"choose:ComboBox0PotiR=+1,00 mV/V"}
        << "2,0 mV/V 431 | 0,83 mV/V 445 | 0,00 mV/V 454 +1,00 mV/V 454 | radio 2 415";
    QTest::newRow("Druck/Zug selects 411")
        << QStringList{"click:RadioGroupItem1"}
        << "2,0 mV/V 431 | 0,83 mV/V 445 | -0,50  mV/V 455 +0,50 mV/V 455 | radio 1 411";
    QTest::newRow("412 selects the first radio item")
        << QStringList{"choose:ComboBoxZD=412"}
        << "2,0 mV/V 431 | 0,83 mV/V 445 | -0,50  mV/V 455 +0,50 mV/V 455 | radio 0 412";
    QTest::newRow("V potentiometer values and codes")
        << QStringList{"choose:ComboBoxVPotiL=1,5 mV/V", "choose:ComboBoxVPotiRF=443"}
        << "1,5 mV/V 432 | 1,5 mV/V 443 | -0,50  mV/V 455 +0,50 mV/V 455 | radio 2 415";
}

void TestSetupDialogs::einstChoices() {
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);
    Tfeinst dialog;
    for (const QString &step : steps)
        userStep(&dialog, step);
    QCOMPARE(einstState(dialog), expected);
}

void TestSetupDialogs::einstValues_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const auto print = [](const char *direction, const char *zero, const char *right,
                          const char *left) {
        return QStringLiteral(" Druckrichtung   : %1\r\n Nullpotimitte   : %2\r\n"
                              " 20mA Poti links : %4\r\n 20mA Poti rechts: %3\r\n")
            .arg(QLatin1String(direction), QLatin1String(zero), QLatin1String(right),
                 QLatin1String(left));
    };
    const QString zero2 = QStringLiteral("-0,50  mV/V 455 +0,50 mV/V 455");
    QTest::newRow("0.8333 is 0,83, 2.5 left")
        << print("1", "0.000000", "0.833300", "2.500000")
        << "2,5 mV/V 435 | 0,83 mV/V 445 | " + zero2 + " | radio 2 415";
    QTest::newRow("0.8 and 1.2 have no item")
        << print("1", "0.0", "0.8", "1.2")
        << "<none> <none> | <none> <none> | " + zero2 + " | radio 2 415";
    QTest::newRow("0.84 has no item")
        << print("1", "0.0", "0.84", "1.0")
        << "1,0 mV/V 433 | <none> <none> | " + zero2 + " | radio 2 415";
    QTest::newRow("1.45 is 1,5 and 0.95 is 1,0")
        << print("1", "0.0", "0.95", "1.45")
        << "1,5 mV/V 432 | 1,0 mV/V 442 | " + zero2 + " | radio 2 415";
    QTest::newRow("direction -1 and centre -0.5")
        << print("-1", "-0.5", "1.5", "1.5")
        << "1,5 mV/V 432 | 1,5 mV/V 443 | -1,00 mV/V 451 0,00 mV/V 451 | radio 0 412";
    QTest::newRow("direction 4 takes the last radio item, centre 0.6")
        << print("4", "0.6", "0.5", "2.0")
        << "2,0 mV/V 431 | 0,5 mV/V 441 | 0,00 mV/V 454 +1,00 mV/V 454 | radio 2 415";
    QTest::newRow("direction -2, centre 0.1 rounds to the middle")
        << print("-2", "0.1", "0.5", "2.0")
        << "2,0 mV/V 431 | 0,5 mV/V 441 | " + zero2 + " | radio <none> <none>";
    QTest::newRow("centre 1.0 has no item")
        << print("0", "1.0", "0.5", "2.0")
        << "2,0 mV/V 431 | 0,5 mV/V 441 | <none> <none> <none> <none> | radio 1 411";
    // Values that fit no integer leave their field empty and the rest is applied.
    QTest::newRow("direction 2147483647")
        << print("2147483647", "0.25", "0.5", "2.0")
        << "2,0 mV/V 431 | 0,5 mV/V 441 | -0,25  mV/V 453 +0,75 mV/V 453 | radio <none> <none>";
    QTest::newRow("direction beyond 32 bits")
        << print("1e12", "0.25", "0.5", "2.0")
        << "2,0 mV/V 431 | 0,5 mV/V 441 | -0,25  mV/V 453 +0,75 mV/V 453 | radio <none> <none>";
    QTest::newRow("centre missing, direction missing")
        << QStringLiteral(" 20mA Poti links : 2.0\r\n 20mA Poti rechts: 0.5\r\n")
        << "2,0 mV/V 431 | 0,5 mV/V 441 | <none> <none> <none> <none> | radio <none> <none>";
    QTest::newRow("centre beyond 32 bits")
        << print("0", "3e9", "0.5", "2.0")
        << "2,0 mV/V 431 | 0,5 mV/V 441 | <none> <none> <none> <none> | radio 1 411";
}

void TestSetupDialogs::einstValues() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Tfeinst dialog;
    const SetupFields fields = SetupFieldsFromText(text);
    dialog.showFields(fields);
    QCOMPARE(einstState(dialog), expected);

    QCOMPARE(fields.pressureIndex, dialog.RadioGroupZD->itemIndex());
    QCOMPARE(fields.zeroIndex, dialog.ComboBox0PotiL->currentIndex());
    QCOMPARE(fields.vPotiLeftItem, dialog.ComboBoxVPotiL->currentText());
    QCOMPARE(fields.vPotiRightItem, dialog.ComboBoxVPotiR->currentText());
}

void TestSetupDialogs::closing_data() {
    QTest::addColumn<QString>("dialogName");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("closeBy");
    QTest::addColumn<bool>("kept");
    const QStringList relaisSteps{"click:CheckBox251", "choose:ComboBoxR1Hy=233",
                                  "choose:ComboBoxAl2Hy=2,0 mA"};
    const QStringList einstSteps{"choose:ComboBox0PotiLF=453", "choose:ComboBoxVPotiL=1,0 mV/V",
                                 "choose:ComboBoxVPotiRF=441", "choose:ComboBoxZD=412"};
    for (const char *by : {"Abbrechen", "Esc", "Enter", "close box", "OK"}) {
        const QString closeBy = QLatin1String(by);
        const bool kept = closeBy == QLatin1String("OK");
        QTest::addRow("switch points, %s", qPrintable(closeBy))
            << "Tfrelais" << relaisSteps << closeBy << kept;
        QTest::addRow("setting ranges, %s", qPrintable(closeBy))
            << "Tfeinst" << einstSteps << closeBy << kept;
    }
    QTest::newRow("switch points, OK without change")
        << "Tfrelais" << QStringList() << "OK" << true;
}

void TestSetupDialogs::closing() {
    QFETCH(QString, dialogName);
    QFETCH(QStringList, steps);
    QFETCH(QString, closeBy);
    QFETCH(bool, kept);

    const auto rig = WindowRig::make({{}, true});
    const WindowSet &windows = rig->windows;
    Tform1 *form = rig->form();
    // A state other than the default, so that a restore to the default would show.
    setSwitchPoints(*windows.setup, false, true, 0.5, 0.1, false);
    setRanges(*windows.setup, 0, -0.25, 1.5, 2.5);
    const auto state = [&] {
        return relaisState(*windows.frelais) + " // " + einstState(*windows.feinst);
    };
    const QString before = state();

    QString changed;
    QWidget *shown = nullptr;
    onNextModal(this, [&](QWidget *modal) {
        shown = modal;
        for (const QString &step : steps)
            userStep(modal, step);
        changed = state();
        if (closeBy == QLatin1String("Esc"))
            QTest::keyClick(modal, Qt::Key_Escape);
        else if (closeBy == QLatin1String("Enter"))
            QTest::keyClick(modal, Qt::Key_Return);
        else if (closeBy == QLatin1String("close box"))
            modal->close();
        else
            modal->findChild<QPushButton *>(closeBy == QLatin1String("OK") ? "BitBtn2" : "BitBtn1")
                ->click();
    });
    if (dialogName == QLatin1String("Tfrelais"))
        form->Relais1Click();
    else
        form->EinstellbereichNullpunktKennwert1Click();

    QVERIFY(shown);
    QCOMPARE(shown->objectName(), dialogName);
    QVERIFY(!shown->isVisible());
    QCOMPARE(changed == before, steps.isEmpty());
    QCOMPARE(state(), kept ? changed : before);
    QCOMPARE(form->statusPanelText(1),
             kept ? QStringLiteral("Setup geändert") : QStringLiteral("default Setup"));
}

void TestSetupDialogs::unreadableListKeepsDialogClosed_data() {
    QTest::addColumn<QString>("dialogName");
    QTest::addColumn<QString>("emptyList");
    QTest::newRow("switch points") << "Tfrelais"
                                   << "ComboBoxAl2Hy";
    QTest::newRow("setting ranges") << "Tfeinst"
                                    << "ComboBoxVPotiR";
}

// Without a value in the list the moment of opening could not be brought back on cancel.
void TestSetupDialogs::unreadableListKeepsDialogClosed() {
    QFETCH(QString, dialogName);
    QFETCH(QString, emptyList);
    const auto rig = WindowRig::make({{}, true});
    const WindowSet &windows = rig->windows;
    Tform1 *form = rig->form();
    SetupFields fields = windows.setup->fields();
    (emptyList == QLatin1String("ComboBoxAl2Hy") ? fields.hysteresis2Item : fields.vPotiRightItem)
        .clear();
    windows.setup->set(fields, windows.setup->origin());
    QCOMPARE(form->findChild<QComboBox *>(emptyList)->currentIndex(), -1);

    QString message;
    QString shownName;
    onNextModal(this, [&](QWidget *modal) {
        shownName = modal->objectName();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            message = box->text();
        modal->close();
    });
    if (dialogName == QLatin1String("Tfrelais"))
        form->Relais1Click();
    else
        form->EinstellbereichNullpunktKennwert1Click();
    QCOMPARE(message, QStringLiteral("'' ist kein gültiger Gleitkommawert"));
    QVERIFY(shownName != dialogName);
    QCOMPARE(form->statusPanelText(1), QStringLiteral("default Setup"));
}

QTEST_MAIN(TestSetupDialogs)
#include "tst_setupdialogs.moc"
