#include "diag/ulive.h"
#include "diag/usimul.h"
#include "diag/ustatus.h"
#include "diagrig.h"
#include "main/deviceconversation.h"
#include "simulatorprocess.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

const QStringList Calibration{"kalr 1", "mvv0", "kalr 0", "mvv0"};
const QStringList Cycle{"mvv0", "mas", "P2"};
const QStringList SwitchPoints{"al1ma", "al2ma"};

// A fixed start and one second per sample.
LiveSampler::Clock steppingClock() {
    auto next = std::make_shared<QDateTime>(QDate(2026, 12, 10), QTime(8, 0, 0));
    return [next] {
        const QDateTime now = *next;
        *next = next->addSecs(1);
        return now;
    };
}

} // namespace

// The live view against the simulator: what the device is asked in each cycle, when it is
// calibrated, where the view stops, what the other windows may do meanwhile, and the CSV file.
class TestLive : public QObject {
    Q_OBJECT

private slots:
    void questionSequence_data();
    void questionSequence();
    void stopsAtSafePoint_data();
    void stopsAtSafePoint();
    void holdAsksNothing();
    void csvOfAShortRun_data();
    void csvOfAShortRun();

private:
    // Opens the live view from the main window's menu and calls `watch` every 20 ms with what
    // the device received since; returns once the window is closed again.
    void runLive(DiagRig &rig, SimulatorProcess &device,
                 const std::function<void(const QStringList &received)> &watch);
};

void TestLive::runLive(DiagRig &rig, SimulatorProcess &device,
                       const std::function<void(const QStringList &)> &watch) {
    Tflive *live = rig.windows.flive;
    const qsizetype before = device.commands().size();
    QElapsedTimer running;
    running.start();
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (!live->isVisible())
            return;
        watch(device.commands().mid(before));
        // A test that never reaches its end closes the window all the same.
        if (running.elapsed() > 40000)
            live->close();
    });
    watcher.start(20);
    bool opened = false;
    QTimer::singleShot(0, this, [&] {
        QVERIFY(rig.windows.form1->LiveAnzeige1->isEnabled());
        opened = true;
        rig.windows.form1->LiveAnzeige1->trigger();
    });
    QTRY_VERIFY_WITH_TIMEOUT(opened && !live->isVisible(), 60000);
    watcher.stop();
    QVERIFY2(running.elapsed() < 40000, "the live view did not end by itself");
}

void TestLive::questionSequence_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("strainGauge");
    QTest::addColumn<QString>("shownInput");
    // The simulator's X1 reads 0.5 mV/V, 1.0 mV/V with the calibration resistor:
    // 0.5 - (1.0 - 0.5) * 0.22. Its X2 reads 12 mA.
    QTest::newRow("strain gauge") << "X1" << true << "0,390mV/V";
    QTest::newRow("current input") << "X2" << false << "12,00mA";
}

// The switch points once, the calibration at the start and after "Neu kalibrieren" only, three
// questions a cycle; meanwhile every other device control is held back and the main window
// shows the live values.
void TestLive::questionSequence() {
    QFETCH(QString, type);
    QFETCH(bool, strainGauge);
    QFETCH(QString, shownInput);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), type}));
    auto rig = DiagRig::onPort(device.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(strainGauge);
    Tform1 *form = rig->windows.form1;
    Tflive *live = rig->windows.flive;

    QStringList enabledWhileRunning;
    QString liveInput;
    QString mainInput;
    QString mainOutput;
    QString liveOutput;
    bool calibrationOffered = false;
    runLive(*rig, device, [&](const QStringList &received) {
        const qsizetype cycles = received.count(QStringLiteral("P2"));
        if (cycles == 2 && liveInput.isEmpty()) {
            liveInput = live->StaticTextEingang->text();
            liveOutput = live->StaticTextAusgang->text();
            mainInput = form->StaticTextMv02->text();
            mainOutput = form->StaticTextMa02->text();
            for (QPushButton *button :
                 {form->BitBtnAktualisieren, form->BitBtnUpload, form->BitBtnDownload,
                  rig->windows.fsimul->Button1})
                if (button->isEnabled())
                    enabledWhileRunning << button->objectName();
            for (QAction *item : {form->Logfile1, form->Simulation1, form->Status1,
                                  form->LiveAnzeige1, rig->windows.fstatus->Aktualisieren1})
                if (item->isEnabled())
                    enabledWhileRunning << item->objectName();
            calibrationOffered = live->ButtonKalibrieren->isEnabled();
            if (calibrationOffered)
                live->ButtonKalibrieren->click();
        }
        if (cycles == 4)
            live->close();
    });

    QCOMPARE(enabledWhileRunning, QStringList());
    QCOMPARE(calibrationOffered, strainGauge);
    QCOMPARE(liveInput, shownInput);
    QCOMPARE(mainInput, liveInput);
    QCOMPARE(mainOutput, liveOutput);
    QVERIFY(liveOutput.endsWith(QLatin1String("mA")));

    const QStringList start = strainGauge ? SwitchPoints + Calibration : SwitchPoints;
    const QStringList twoCycles = Cycle + Cycle;
    const QStringList expected =
        strainGauge ? start + twoCycles + Calibration + twoCycles : start + twoCycles + twoCycles;
    const QStringList received = device.commands();
    QCOMPARE(received.mid(0, expected.size()), expected);
    // A close that comes while the next question goes out lets that question end, no more.
    const QStringList rest = received.mid(expected.size());
    QVERIFY2(rest.size() <= 2 && rest == Cycle.mid(0, rest.size()), qPrintable(rest.join(" | ")));

    // Afterwards every device control is back.
    QVERIFY(!rig->windows.form1->conversation().isBusy());
    QVERIFY(form->LiveAnzeige1->isEnabled());
    QVERIFY(form->BitBtnAktualisieren->isEnabled());
}

void TestLive::stopsAtSafePoint_data() {
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("unplug");
    // What the device receives from the trigger on.
    QTest::addColumn<QStringList>("rest");
    QTest::newRow("closed during the calibration")
        << "kalr 1" << false << QStringList{"kalr 1", "kalr 0"};
    QTest::newRow("closed in a cycle") << "mas" << false << QStringList{"mas"};
    QTest::newRow("unplugged during the calibration") << "kalr 1" << true << QStringList{"kalr 1"};
    QTest::newRow("unplugged in a cycle") << "mas" << true << QStringList{"mas"};
}

// Closing the window ends the loop without a new question and never with the calibration
// resistor on; a vanished device ends it with "getrennt" in the window.
void TestLive::stopsAtSafePoint() {
    QFETCH(QString, trigger);
    QFETCH(bool, unplug);
    QFETCH(QStringList, rest);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X1")}));
    auto rig = DiagRig::onPort(device.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    Tflive *live = rig->windows.flive;
    DeviceConversation &conversation = rig->windows.form1->conversation();

    bool stopped = false;
    QString stateAfterUnplug;
    runLive(*rig, device, [&](const QStringList &received) {
        if (!stopped && received.contains(trigger)) {
            stopped = true;
            if (unplug)
                device.control(QStringLiteral("unplug"));
            else
                live->close();
        }
        // The unplugged view stays open and tells why it stopped.
        if (unplug && stopped && !conversation.isBusy()) {
            stateAfterUnplug = live->StaticTextZustand->text();
            live->close();
        }
    });
    QVERIFY(stopped);
    const QStringList received = device.commands();
    const QStringList fromTrigger = received.mid(received.indexOf(trigger));
    // A stop that came while the next question went out lets that question end.
    QVERIFY2(fromTrigger == rest ||
                 (fromTrigger.size() == rest.size() + 1 &&
                  fromTrigger.mid(0, rest.size()) == rest && fromTrigger.last() == "P2"),
             qPrintable(fromTrigger.join(" | ")));
    QCOMPARE(received.count(QStringLiteral("kalr 1")) - received.count(QStringLiteral("kalr 0")),
             unplug && trigger == QLatin1String("kalr 1") ? 1 : 0);
    QCOMPARE(conversation.isConnected(), !unplug);
    if (unplug)
        QCOMPARE(stateAfterUnplug, QStringLiteral("getrennt"));
    else
        QVERIFY(rig->windows.form1->LiveAnzeige1->isEnabled());
    // Nothing more is asked once the view has stopped.
    const qsizetype atEnd = device.commands().size();
    QTest::qWait(1500);
    QCOMPARE(device.commands().size(), atEnd);
}

// "Anhalten" holds the loop after the cycle under way: nothing is asked until "Weiter".
void TestLive::holdAsksNothing() {
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    auto rig = DiagRig::onPort(device.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(false);
    Tflive *live = rig->windows.flive;

    QElapsedTimer held;
    qsizetype atHold = -1;
    qsizetype afterHold = -1;
    QString heldState;
    QString heldCaption;
    runLive(*rig, device, [&](const QStringList &received) {
        const qsizetype cycles = received.count(QStringLiteral("P2"));
        if (cycles == 1 && !held.isValid()) {
            live->ButtonAnhalten->click();
            held.start();
        }
        if (held.isValid() && atHold < 0 && held.elapsed() > 500) {
            atHold = received.size();
            heldState = live->StaticTextZustand->text();
            heldCaption = live->ButtonAnhalten->text();
        }
        if (atHold >= 0 && afterHold < 0 && held.elapsed() > 3000) {
            afterHold = received.size();
            live->ButtonAnhalten->click();
        }
        if (cycles == 2)
            live->close();
    });
    QCOMPARE(heldState, QStringLiteral("angehalten"));
    QCOMPARE(heldCaption, QStringLiteral("Weiter"));
    QCOMPARE(atHold, SwitchPoints.size() + Cycle.size());
    QCOMPARE(afterHold, atHold);
    QCOMPARE(device.commands().mid(0, atHold + Cycle.size()), SwitchPoints + Cycle + Cycle);
}

void TestLive::csvOfAShortRun_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("strainGauge");
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<QByteArray>("csv");
    QTest::newRow("strain gauge, relay 1 energised")
        << "X1" << true << QStringList{"set mas 12.5", "set P2 1"}
        << QByteArray("Zeit;Eingang (mV/V);Ausgang (mA);Relais 1;Relais 2\r\n"
                      "10.12.2026 08:00:00;0,390;12,50;1;0\r\n"
                      "10.12.2026 08:00:01;0,390;12,50;1;0\r\n");
    QTest::newRow("current input, negative, relay states unknown")
        << "X2" << false << QStringList{"set mvv0 -1.5", "set mas 3.5", "set P2 missing"}
        << QByteArray("Zeit;Eingang (mA);Ausgang (mA);Relais 1;Relais 2\r\n"
                      "10.12.2026 08:00:00;-1,50;3,50;;\r\n"
                      "10.12.2026 08:00:01;-1,50;3,50;;\r\n");
}

// Two samples with an injected clock give exactly these bytes, saved through the button; a
// folder that cannot take the file gives a German box and no file.
void TestLive::csvOfAShortRun() {
    QFETCH(QString, type);
    QFETCH(bool, strainGauge);
    QFETCH(QStringList, controls);
    QFETCH(QByteArray, csv);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), type}));
    for (const QString &line : controls)
        QVERIFY(device.control(line));
    auto rig = DiagRig::onPort(device.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(strainGauge);
    Tflive *live = rig->windows.flive;
    live->setClock(steppingClock());
    runLive(*rig, device, [&](const QStringList &) {
        if (live->sampler() && live->sampler()->samples().size() == 2)
            live->close();
    });
    QCOMPARE(live->sampler()->samples().size(), 2);

    QTemporaryDir dir;
    const QString chosen = dir.filePath(QStringLiteral("verlauf"));
    live->setSaveFileNameChooser([&] { return chosen; });
    QVERIFY(live->ButtonCsv->isEnabled());
    live->ButtonCsv->click();
    QFile file(chosen + QLatin1String(".csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), csv);

    MessageBoxCatcher boxes;
    const QString unwritable = dir.filePath(QStringLiteral("fehlt/verlauf.csv"));
    QVERIFY(!live->saveCsv(unwritable));
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY2(boxes.texts.first().startsWith(QStringLiteral("Datei \"%1\" kann nicht erstellt "
                                                           "werden.")
                                                .arg(QDir::toNativeSeparators(unwritable))),
             qPrintable(boxes.texts.first()));
    QVERIFY(!QFileInfo::exists(unwritable));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{QStringLiteral("verlauf.csv")});
}

QTEST_MAIN(TestLive)
#include "tst_live.moc"
