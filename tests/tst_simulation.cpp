#include "simulatorprocess.h"
#include "windowrig.h"

#include "core/diag/simulationvalues.h"
#include "core/link/allgem.h"
#include "gui/diag/usimul.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

// The simulation window: its numbers, the relay pictures, and its runs against a device in
// memory and against the simulator.
class TestSimulation : public QObject {
    Q_OBJECT

private slots:
    void offset_data();
    void offset();
    void deviceInputText_data();
    void deviceInputText();
    void userNumber_data();
    void userNumber();
    void relayPictures_data();
    void relayPictures();
    void captionsFit();
    void noDrawingNoRun();
    void measuredOffsetAndClosing();
    void outputSimulation();
    void conversionErrors_data();
    void conversionErrors();
    void firstRunOnDevice();

private:
    static QString visiblePictures(const Tfsimul &window);
};

void TestSimulation::offset_data() {
    QTest::addColumn<double>("with");
    QTest::addColumn<double>("without");
    QTest::addColumn<double>("offset"); // -1: none
    QTest::newRow("1.0 and 0.5") << 1.0 << 0.5 << 0.11;
    QTest::newRow("equal") << 0.5 << 0.5 << 0.0;
    QTest::newRow("below 0") << 0.5 << 0.6 << -1.0;
    QTest::newRow("above 0.2") << 1.5 << 0.5 << -1.0;
    QTest::newRow("with resistor missing") << NoValue << 0.5 << -1.0;
    QTest::newRow("without resistor missing") << 1.0 << NoValue << -1.0;
}

void TestSimulation::offset() {
    QFETCH(double, with);
    QFETCH(double, without);
    QFETCH(double, offset);
    const std::optional<double> measured = SimulationValues::offsetFromReadings(with, without);
    QCOMPARE(measured.has_value(), offset >= 0.0);
    if (measured)
        QCOMPARE(*measured + 1.0, offset + 1.0);
}

void TestSimulation::deviceInputText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0.2 + 0.15") << 0.2 + 0.15 << "3.5000E-01";
    QTest::newRow("negative") << -0.0012345 << "-1.2345E-03";
    QTest::newRow("rounded") << 12345.678 << "1.2346E+04";
    QTest::newRow("zero") << 0.0 << "0.0000E+00";
    QTest::newRow("three exponent digits") << 1e-100 << "1.0000E-100";
}

void TestSimulation::deviceInputText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(SimulationValues::deviceInputText(value), text);
}

void TestSimulation::userNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("decimal comma") << "0,2" << true << 0.2;
    QTest::newRow("negative") << "-1,5" << true << -1.5;
    QTest::newRow("whole") << "12" << true << 12.0;
    QTest::newRow("blanks around") << " 3,5 " << true << 3.5;
    QTest::newRow("point") << "0.2" << false << 0.0;
    QTest::newRow("thousands") << "1.000,5" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("text") << "abc" << false << 0.0;
    QTest::newRow("unit") << "12,5mA" << false << 0.0;
}

void TestSimulation::userNumber() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const std::optional<double> number = SimulationValues::readUserNumber(text);
    QCOMPARE(number.has_value(), ok);
    if (ok)
        QCOMPARE(*number, value);
}

QString TestSimulation::visiblePictures(const Tfsimul &window) {
    QStringList visible;
    for (const QWidget *picture :
         {window.ImageNc1, window.ImageNo1, window.ImageNc2, window.ImageNo2, window.ImageNc102,
          window.ImageNo102, window.ImageNc202, window.ImageNo202}) {
        if (!picture->isHidden())
            visible << picture->objectName();
    }
    return visible.join(QLatin1Char(' '));
}

void TestSimulation::relayPictures_data() {
    QTest::addColumn<double>("p2");
    QTest::addColumn<QString>("visible");
    QTest::newRow("3") << 3.0 << "ImageNc1 ImageNc2 ImageNc102 ImageNc202";
    QTest::newRow("0") << 0.0 << "ImageNo1 ImageNo2 ImageNo102 ImageNo202";
    QTest::newRow("1") << 1.0 << "ImageNc1 ImageNo2 ImageNc102 ImageNo202";
    QTest::newRow("2.5 to even") << 2.5 << "ImageNo1 ImageNc2 ImageNo102 ImageNc202";
    QTest::newRow("missing") << NoValue << "";
    QTest::newRow("beyond 32 bits") << 1e12 << "";
}

void TestSimulation::relayPictures() {
    QFETCH(double, p2);
    QFETCH(QString, visible);
    const auto rig = WindowRig::onFake();
    Tfsimul *window = rig->windows.fsimul;
    QCOMPARE(visiblePictures(*window), QString()); // none before the first run
    window->ShowRelays(p2);
    QCOMPARE(visiblePictures(*window), visible);
}

// The radio captions stand left of their buttons and would lose their first letters where the
// font runs wider than the window's own.
void TestSimulation::captionsFit() {
    const auto rig = WindowRig::onFake();
    Tfsimul *window = rig->windows.fsimul;
    for (QRadioButton *radio : {window->RadioButtonSimMv, window->RadioButtonSimMa}) {
        QVERIFY2(radio->sizeHint().width() <= radio->width(), qPrintable(radio->text()));
        QVERIFY(radio->font().pointSizeF() >= 6.0);
    }
}

// Without a device drawing on the main window there is nothing to simulate on; every close
// still ends the simulation on the device.
void TestSimulation::noDrawingNoRun() {
    const auto rig = WindowRig::onFake();
    QVERIFY(rig->opened());
    Tfsimul *window = rig->windows.fsimul;
    window->show();
    QVERIFY(window->Panel1->isHidden() && window->Panel2->isHidden());
    QVERIFY(!window->Timer1->isActive());
    window->close();
    QCOMPARE(rig->fakeCommands(), QStringList{"res"});
}

// A strain-gauge device with "Simulation Eingang" checked before showing: the automatic run
// measures the correction and simulates 0,2 mV/V with it. The title bar keeps the correction,
// "Simulation beenden" forgets it; both send "res".
void TestSimulation::measuredOffsetAndClosing() {
    const auto rig = WindowRig::onFake();
    QVERIFY(rig->opened());
    int readings = 0;
    rig->device->answer = [&readings](const QByteArray &line) -> QByteArray {
        if (line == "mvv0")
            return ++readings == 1 ? "mvv0 1.5\r\n" : "mvv0 0.8181818181818182\r\n";
        const QMap<QByteArray, QByteArray> answers{
            {"mas", "mas 7.2"}, {"al1ma", "al1ma 8"}, {"al2ma", "al2ma 16"}, {"P2", "P2 3"}};
        return answers.contains(line) ? answers.value(line) + "\r\n" : QByteArray();
    };
    rig->windows.form1->Panel1->show();
    Tfsimul *window = rig->windows.fsimul;
    window->RadioButtonSimMv->click();
    QVERIFY(window->EditMv->isEnabled() && !window->EditMa->isEnabled());
    QCOMPARE(window->EditMv->text(), QStringLiteral("0,2"));

    window->show();
    QVERIFY(!window->Panel1->isHidden() && window->Panel2->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(rig->fakeCommands().contains(QStringLiteral("P2")), 20000);
    QTRY_VERIFY(window->ProgressBar1->isHidden());

    QCOMPARE(rig->fakeCommands(),
             (QStringList{"input 1", "kalr 1", "mvv0", "kalr 0", "mvv0", "input 0",
                          "mvv0 3.5000E-01", "maaus 1", "mas", "al1ma", "al2ma", "P2"}));
    QCOMPARE(window->inputOffset() + 1.0, 1.15);
    QCOMPARE(window->EditMa->text(), QStringLiteral("7,200"));
    QCOMPARE(window->EditMa2->text(), QStringLiteral("7,20"));
    QCOMPARE(window->StaticTextSp1->text(), QStringLiteral("8,00"));
    QCOMPARE(window->StaticTextSP102->text(), QStringLiteral("8,00"));
    QCOMPARE(window->StaticTextSp2->text(), QStringLiteral("16,00"));
    QCOMPARE(window->StaticTextSP202->text(), QStringLiteral("16,00"));
    QCOMPARE(visiblePictures(*window), QStringLiteral("ImageNc1 ImageNc2 ImageNc102 ImageNc202"));
    QVERIFY(window->Button1->isEnabled());

    window->close();
    QCOMPARE(rig->fakeCommands().last(), QStringLiteral("res"));
    QCOMPARE(window->inputOffset() + 1.0, 1.15);

    window->show();
    window->Timer1->stop();
    window->ButtonClose->click();
    QVERIFY(window->isHidden());
    QCOMPARE(rig->fakeCommands().mid(12), (QStringList{"res", "res"}));
    QCOMPARE(window->inputOffset(), 0.0);
}

// A current-input device: no correction is measured; the output text goes to the device with
// a decimal point.
void TestSimulation::outputSimulation() {
    const auto rig = WindowRig::onFake(
        {{"mvv0", "mvv0 12.345"}, {"al1ma", "al1ma 8"}, {"al2ma", "al2ma 16.125"}, {"P2", "P2 0"}});
    QVERIFY(rig->opened());
    rig->setStrainGauge(false);
    rig->windows.form1->Panel2->show();
    Tfsimul *window = rig->windows.fsimul;
    window->RadioButtonSimMa->click();
    QVERIFY(window->EditMa2->isEnabled() && !window->EditMv2->isEnabled());
    window->EditMa2->setText(QStringLiteral("12,5"));

    window->show();
    QTRY_VERIFY_WITH_TIMEOUT(rig->fakeCommands().contains(QStringLiteral("P2")), 15000);
    QTRY_VERIFY(window->ProgressBar1->isHidden());

    QCOMPARE(rig->fakeCommands(),
             (QStringList{"input 1", "mvv0", "maaus 0", "mas 12.5", "al1ma", "al2ma", "P2"}));
    QCOMPARE(window->EditMv->text(), QStringLiteral("12,345"));
    QCOMPARE(window->EditMv2->text(), QStringLiteral("12,345"));
    QCOMPARE(window->StaticTextSP202->text(), QStringLiteral("16,13"));
    QCOMPARE(visiblePictures(*window), QStringLiteral("ImageNo1 ImageNo2 ImageNo102 ImageNo202"));
    window->close();
}

void TestSimulation::conversionErrors_data() {
    QTest::addColumn<bool>("input");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("input not a number") << true << "abc" << QStringList{"input 0"};
    QTest::newRow("input with a point") << true << "0.2" << QStringList{"input 0"};
    QTest::newRow("input empty") << true << "" << QStringList{"input 0"};
    // Nothing of the output goes to the device.
    QTest::newRow("output not a number") << false << "12.5x" << QStringList{"input 1", "mvv0"};
}

// The run stops at the conversion with the toolkit's message; the button stays usable and the
// progress bar goes away.
void TestSimulation::conversionErrors() {
    QFETCH(bool, input);
    QFETCH(QString, text);
    QFETCH(QStringList, sent);
    const auto rig = WindowRig::onFake({{"mvv0", "mvv0 4"}});
    QVERIFY(rig->opened());
    rig->setStrainGauge(false);
    rig->windows.form1->Panel2->show();
    Tfsimul *window = rig->windows.fsimul;
    window->show();
    window->Timer1->stop();
    (input ? window->RadioButtonSimMv : window->RadioButtonSimMa)->click();
    (input ? window->EditMv2 : window->EditMa2)->setText(text);

    MessageBoxCatcher boxes;
    window->Button1->click();

    QCOMPARE(boxes.texts,
             QStringList{QStringLiteral("'%1' ist kein gültiger Gleitkommawert").arg(text)});
    QCOMPARE(rig->fakeCommands(), sent);
    QVERIFY(window->Button1->isEnabled());
    QVERIFY(window->ProgressBar1->isHidden());
    window->Timer1->stop();
}

// The simulator's strain-gauge device (readings 1.0 with and 0.5 without the calibration
// resistor), opened from the menu and closed by the title bar after the automatic run.
void TestSimulation::firstRunOnDevice() {
    SimulatorProcess simulator;
    QVERIFY(simulator.start());
    const auto rig = WindowRig::onPort(simulator.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->windows.form1->Panel1->show();
    Tfsimul *window = rig->windows.fsimul;

    bool ran = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, window, [&] {
        if (!window->ProgressBar1->isHidden())
            ran = true;
        else if (ran)
            window->close();
    });
    poll.start(50);
    rig->windows.form1->Simulation1Click();

    QVERIFY(ran);
    QTRY_COMPARE(simulator.commands(),
                 (QStringList{"input 1", "kalr 1", "mvv0", "kalr 0", "mvv0", "input 1", "mvv0",
                              "maaus 1", "mas", "al1ma", "al2ma", "P2", "res"}));
    QCOMPARE(window->inputOffset() + 1.0, 1.11);
    QCOMPARE(window->EditMv->text(), QStringLiteral("0,390"));
    QCOMPARE(window->EditMv2->text(), QStringLiteral("0,390"));
    QCOMPARE(window->EditMa->text(), QStringLiteral("7,200"));
    QCOMPARE(window->StaticTextSp1->text(), QStringLiteral("8,00"));
    QCOMPARE(window->StaticTextSp2->text(), QStringLiteral("16,00"));
    QCOMPARE(visiblePictures(*window), QStringLiteral("ImageNc1 ImageNc2 ImageNc102 ImageNc202"));
}

QTEST_MAIN(TestSimulation)
#include "tst_simulation.moc"
