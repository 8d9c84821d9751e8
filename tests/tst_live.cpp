#include "core/device/deviceconversation.h"
#include "gui/diag/livechart.h"
#include "gui/diag/ulive.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QAbstractButton>
#include <QAction>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QValueAxis>
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
        *next = next->addMSecs(1200); // a cycle of the device
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
    void chartReadsAtAGlance_data();
    void chartReadsAtAGlance();
    void chartDrawsWhatItSaw_data();
    void chartDrawsWhatItSaw();
    void goesOnAfterReconnecting();

private:
    // Opens the live view from the main window's menu and calls `watch` every 20 ms with what
    // the device received since; returns once the window is closed again.
    void runLive(WindowRig &rig, SimulatorProcess &device,
                 const std::function<void(const QStringList &received)> &watch,
                 const QStringList &closeAnswers = {QStringLiteral("Verwerfen")});

    // The close question's text, its buttons and its default, as last seen.
    QString m_closeQuestion;
    QStringList m_closeButtons;
};

void TestLive::runLive(WindowRig &rig, SimulatorProcess &device,
                       const std::function<void(const QStringList &)> &watch,
                       const QStringList &closeAnswers) {
    Tflive *live = rig.windows.flive;
    m_closeQuestion.clear();
    m_closeButtons.clear();
    // The question a close with an unsaved recording asks, answered with `closeAnswers` in turn
    // (the last one from then on).
    QTimer answerer;
    int asked = 0;
    connect(&answerer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        const QString closeAnswer = closeAnswers.value(asked++, closeAnswers.last());
        m_closeQuestion = box->text();
        m_closeButtons.clear();
        QAbstractButton *answer = nullptr;
        for (QAbstractButton *button : box->buttons()) {
            m_closeButtons << button->text();
            if (button->text() == closeAnswer)
                answer = button;
        }
        m_closeButtons.sort(); // in the platform's order on screen
        m_closeButtons << QStringLiteral("default: ") + box->defaultButton()->text();
        (answer ? answer : box->defaultButton())->click();
    });
    answerer.start(20);
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
    auto rig = WindowRig::onPort(device.portPath());
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
            for (QPushButton *button : {form->BitBtnAktualisieren, form->BitBtnUpload,
                                        form->BitBtnDownload, rig->windows.fsimul->Button1})
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
    auto rig = WindowRig::onPort(device.portPath());
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
    if (unplug) {
        QCOMPARE(stateAfterUnplug, QStringLiteral("getrennt"));
        // The big fields no longer show values as if they were current.
        for (const QLabel *field : {live->StaticTextEingang, live->StaticTextAusgang}) {
            QCOMPARE(field->text(), QStringLiteral("getrennt"));
            QCOMPARE(field->palette().color(QPalette::WindowText), QColor(Qt::gray));
        }
    } else
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
    auto rig = WindowRig::onPort(device.portPath());
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
        << QByteArray("Typ;KT 290.X1 - DMS-Schaltverst\xc3\xa4rker\r\nF.Nr;=\"2901\"\r\n"
                      "SP1 (mA);8,00\r\nSP2 (mA);16,00\r\nBeginn;10.12.2026 08:00:00,0\r\n\r\n"
                      "Zeit;Eingang (mV/V);Ausgang (mA);Relais 1;Relais 2;Ereignis\r\n"
                      "10.12.2026 08:00:00,0;0,390;12,50;1;0;\r\n"
                      "10.12.2026 08:00:01,2;0,390;12,50;1;0;\r\n");
    QTest::newRow("current input, negative, relay states unknown")
        << "X2" << false
        << QStringList{"set mvv0 -1.5", "set mas 3.5", "set P2 missing", "set al1ma missing"}
        << QByteArray("Typ;KT 290.X2 - Strom-Schaltverst\xc3\xa4rker\r\nF.Nr;=\"2901\"\r\n"
                      "SP1 (mA);\r\nSP2 (mA);16,00\r\nBeginn;10.12.2026 08:00:00,0\r\n\r\n"
                      "Zeit;Eingang (mA);Ausgang (mA);Relais 1;Relais 2;Ereignis\r\n"
                      "10.12.2026 08:00:00,0;-1,50;3,50;;;\r\n"
                      "10.12.2026 08:00:01,2;-1,50;3,50;;;\r\n");
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
    auto rig = WindowRig::onPort(device.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(strainGauge);
    Tform1 *form = rig->windows.form1;
    form->BitBtnAktualisierenClick(form->BitBtnAktualisieren);
    Tflive *live = rig->windows.flive;
    live->setClock(steppingClock());
    // Closed with the recording unsaved: asked, with saving as the default. "Abbrechen" leaves
    // the view recording; the second close is answered with "Verwerfen".
    QStringList questions;
    bool goneOn = false;
    runLive(*rig, device,
            [&](const QStringList &) {
                const qsizetype samples = live->sampler() ? live->sampler()->samples().size() : 0;
                if (samples == 2 && questions.isEmpty()) {
                    live->close();
                    questions << QString();
                } else if (samples == 4 && questions.size() == 1) {
                    goneOn = live->isRunning() && live->ButtonAnhalten->isEnabled();
                    questions[0] = m_closeQuestion;
                    live->close();
                    questions << QString();
                }
            },
            {QStringLiteral("Abbrechen"), QStringLiteral("Verwerfen")});
    QVERIFY(goneOn);
    QVERIFY(live->sampler()->samples().size() >= 4);
    QCOMPARE(
        questions.value(0),
        QStringLiteral("Die Aufzeichnung (2 Werte) ist nicht gespeichert.\n\nAls CSV speichern?"));
    QCOMPARE(m_closeButtons, QStringList({"Abbrechen", "Als CSV speichern", "Verwerfen",
                                          "default: Als CSV speichern"}));

    QTemporaryDir dir;
    const QString chosen = dir.filePath(QStringLiteral("verlauf"));
    live->setSaveFileNameChooser([&] { return chosen; });
    QVERIFY(live->ButtonCsv->isEnabled());
    live->ButtonCsv->click();
    QFile file(chosen + QLatin1String(".csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The first two samples exactly; one line for each of the rest.
    const QByteArray saved = file.readAll();
    QCOMPARE(saved.left(csv.size()), csv);
    QCOMPARE(saved.count("\r\n10.12.2026 08:00:"), live->sampler()->samples().size());

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

void TestLive::chartReadsAtAGlance_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("strainGauge");
    QTest::addColumn<QString>("inputFormat");
    QTest::newRow("strain gauge") << "X1" << true << "%.3f";
    QTest::newRow("current input") << "X2" << false << "%.2f";
}

namespace {

// A tick spacing of 1, 2, 2.5 or 5 times a power of ten, with the range starting on a tick.
bool roundTicks(const QValueAxis *axis) {
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    const double mantissa = step / power;
    const bool roundStep = std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                           std::abs(mantissa - 2.5) < 1e-9 || std::abs(mantissa - 5) < 1e-9 ||
                           std::abs(mantissa - 10) < 1e-9;
    const double ticks = axis->min() / step;
    return roundStep && std::abs(ticks - std::round(ticks)) < 1e-6;
}

template <typename Series> Series *seriesNamed(QChart *chart, const QString &name) {
    for (QAbstractSeries *series : chart->series())
        if (series->name() == name)
            return qobject_cast<Series *>(series);
    return nullptr;
}

} // namespace

// The chart as it reads: the span chosen is what the time axis shows, from a round time; round
// ticks on both value axes, the input's with the value field's decimals; SP1 and SP2 named and
// labelled with their values; the relay bands explained; "Anhalten", "Weiter",
// "Neu kalibrieren" and a gap marked in the chart and the CSV; the close question saves by
// default.
void TestLive::chartReadsAtAGlance() {
    QFETCH(QString, type);
    QFETCH(bool, strainGauge);
    QFETCH(QString, inputFormat);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), type}));
    // A swinging input: the range it spans has no round ends of its own.
    QVERIFY(device.control(QStringLiteral("wave 0.37 7")));
    auto rig = WindowRig::onPort(device.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(strainGauge);
    Tflive *live = rig->windows.flive;
    QChart *chart = live->ChartView->chart();
    // The clock starts at 08:00:05: the axis starts on the whole ten seconds before.
    auto next = std::make_shared<QDateTime>(QDate(2026, 12, 10), QTime(8, 0, 5));
    live->setClock([next] {
        const QDateTime now = *next;
        *next = next->addSecs(1);
        return now;
    });
    QCOMPARE(live->ComboZeitraum->currentText(), QStringLiteral("Zeitraum 1 Minute"));

    const auto timeAxis = [chart] {
        return qobject_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).value(0));
    };
    QList<QValueAxis *> valueAxes;
    for (QAbstractAxis *axis : chart->axes(Qt::Vertical))
        if (axis->isVisible())
            valueAxes << qobject_cast<QValueAxis *>(axis);
    QCOMPARE(valueAxes.size(), 2);

    QStringList oneMinute;
    QStringList tenMinutes;
    QStringList ticks;
    int step = 0;
    QTemporaryDir dir;
    const QString csvPath = dir.filePath(QStringLiteral("verlauf.csv"));
    live->setSaveFileNameChooser([&] { return csvPath; });
    runLive(*rig, device,
            [&](const QStringList &) {
                const qsizetype samples = live->sampler() ? live->sampler()->samples().size() : 0;
                if (samples >= 2 && step == 0) {
                    step = 1;
                    oneMinute << timeAxis()->min().toString("HH:mm:ss")
                              << timeAxis()->max().toString("HH:mm:ss")
                              << QString::number(timeAxis()->tickCount()) << timeAxis()->format();
                    live->ButtonAnhaltenClick();
                } else if (step == 1) {
                    step = 2;
                    live->ButtonAnhaltenClick();
                    if (strainGauge)
                        live->ButtonKalibrierenClick();
                } else if (step == 2 && samples >= 3) {
                    // The output brings no value for a while: a gap.
                    step = 3;
                    QVERIFY(device.control(QStringLiteral("set mas missing")));
                } else if (step == 3 && live->sampler()->marks().size() == (strainGauge ? 4 : 3)) {
                    step = 4;
                    QVERIFY(device.control(QStringLiteral("set mas 3.5")));
                } else if (step == 4 && samples >= 5) {
                    step = 5;
                    live->ComboZeitraum->setCurrentIndex(2);
                    tenMinutes << timeAxis()->min().toString("HH:mm:ss")
                               << timeAxis()->max().toString("HH:mm:ss")
                               << QString::number(timeAxis()->tickCount()) << timeAxis()->format();
                    for (const QValueAxis *axis : valueAxes)
                        ticks << (roundTicks(axis) ? QStringLiteral("round") : axis->labelFormat());
                    live->close();
                }
            },
            {QStringLiteral("Als CSV speichern")});
    QCOMPARE(step, 5);
    QCOMPARE(oneMinute, QStringList({"08:00:00", "08:01:00", "7", "HH:mm:ss"}));
    QCOMPARE(tenMinutes, QStringList({"08:00:00", "08:10:00", "11", "HH:mm"}));
    QCOMPARE(ticks, QStringList({"round", "round"}));
    QCOMPARE(valueAxes.at(0)->labelFormat(), inputFormat);
    QCOMPARE(valueAxes.at(1)->labelFormat(), QStringLiteral("%.2f"));

    // SP1 and SP2 by name and value, in the legend and at the line's end.
    for (const char *name : {"SP1 8,00mA", "SP2 16,00mA"}) {
        QLineSeries *line = seriesNamed<QLineSeries>(chart, QString::fromUtf8(name));
        QVERIFY2(line && line->isVisible(), name);
        bool labelled = false;
        for (QAbstractSeries *series : chart->series())
            if (auto *label = qobject_cast<QScatterSeries *>(series))
                labelled |= label->pointLabelsVisible() && label->isVisible() &&
                            label->pointLabelsFormat() == QString::fromUtf8(name) &&
                            label->count() == 1;
        QVERIFY2(labelled, name);
    }
    // The bands, raised while a relay is energised, and the marks explained in the legend.
    QStringList legend;
    for (QLegendMarker *marker : chart->legend()->markers())
        if (marker->isVisible())
            legend << marker->label();
    QStringList expectedLegend{"Relais 1 erregt", "Relais 2 erregt", "Eingang", "Ausgang",
                               "Anhalten / Weiter"};
    if (strainGauge)
        expectedLegend << "Neu kalibrieren";
    QCOMPARE(legend, expectedLegend << "Lücke");
    QCOMPARE(seriesNamed<QScatterSeries>(chart, QStringLiteral("Lücke"))->count(), 1);
    QCOMPARE(seriesNamed<QScatterSeries>(chart, QStringLiteral("Anhalten / Weiter"))->count(), 2);
    QCOMPARE(seriesNamed<QScatterSeries>(chart, QStringLiteral("Neu kalibrieren"))->count(),
             strainGauge ? 1 : 0);

    // The close question's default saved the recording, marks included.
    QVERIFY(!m_closeQuestion.isEmpty());
    QFile file(csvPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    QVERIFY2(lines.value(4).startsWith(QStringLiteral("Beginn;10.12.2026 08:00:")),
             qPrintable(lines.value(4)));
    QStringList marks;
    for (const QString &line : lines)
        if (line.contains(QStringLiteral(";;;;;")))
            marks << line.section(QLatin1Char(';'), 5);
    QStringList expectedMarks{"Anhalten", "Weiter"};
    if (strainGauge)
        expectedMarks << "Neu kalibrieren";
    QCOMPARE(marks, expectedMarks << "Lücke");
    // Marks and samples in the order of their times, the marks among the samples.
    const QStringList rows = lines.mid(7).filter(QRegularExpression(QStringLiteral("^\\d")));
    QStringList times;
    for (const QString &row : rows)
        times << QDateTime::fromString(row.section(';', 0, 0).replace(',', '.'),
                                       QStringLiteral("dd.MM.yyyy HH:mm:ss.z"))
                     .toString(Qt::ISODate);
    QStringList sorted = times;
    std::stable_sort(sorted.begin(), sorted.end());
    QCOMPARE(times, sorted);
    QVERIFY2(!rows.last().contains(QStringLiteral(";;;;;")), qPrintable(rows.join('|')));
    QVERIFY(!live->hasUnsavedRecording());
}

namespace {

// The pieces of the series of this name, as indexes of the samples at their points ("0 1|3"),
// read back from the chart; a band's points with their level ("0:1 1:1 1:0|3:1").
QString piecesOf(QChart *chart, const QString &name, const QList<LiveSample> &samples) {
    const auto index = [&samples](double x) {
        for (qsizetype i = 0; i < samples.size(); ++i)
            if (samples.at(i).time.toMSecsSinceEpoch() == qint64(x))
                return QString::number(i);
        return QStringLiteral("?");
    };
    QStringList pieces;
    for (QAbstractSeries *series : chart->series()) {
        if (series->name() != name)
            continue;
        QStringList points;
        if (auto *line = qobject_cast<QLineSeries *>(series)) {
            for (const QPointF &point : line->points())
                points << index(point.x());
        } else if (auto *band = qobject_cast<QAreaSeries *>(series)) {
            for (const QPointF &point : band->upperSeries()->points()) {
                const double height = point.y() - band->lowerSeries()->at(0).y();
                points << index(point.x()) + (height > 0.25 ? ":1" : ":0");
            }
        }
        if (!points.isEmpty())
            pieces << points.join(' ');
    }
    return pieces.join('|');
}

} // namespace

void TestLive::chartDrawsWhatItSaw_data() {
    QTest::addColumn<bool>("strainGauge");
    QTest::addColumn<QStringList>("recording"); // per line a sample "relays" (- unknown), or a mark
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("relay1");
    QTest::addColumn<QStringList>("legend");
    const QStringList lines{"Relais 1 erregt", "Relais 2 erregt", "Eingang", "Ausgang"};
    QTest::newRow("a gap breaks the lines and bands")
        << true << QStringList{"1", "1", "Lücke", "0", "0"} << "0 1|2 3"
        << "0:1 1:1|2:0 3:0" << lines + QStringList{"Lücke"};
    QTest::newRow("a hold breaks them, its resume does not draw across")
        << true << QStringList{"1", "Anhalten", "Weiter", "1", "1"} << "0|1 2"
        << "0:1|1:1 2:1" << lines + QStringList{"Anhalten / Weiter"};
    QTest::newRow("an unanswered relay question: no band, the lines go on")
        << true << QStringList{"1", "-", "1", "0"} << "0 1 2 3"
        << "0:1|2:1 3:1 3:0" << lines;
    QTest::newRow("a new calibration keeps the lines whole")
        << true << QStringList{"0", "Neu kalibrieren", "0"} << "0 1"
        << "0:0 1:0" << lines + QStringList{"Neu kalibrieren"};
    QTest::newRow("the device lost and every mark named once")
        << false << QStringList{"0",     "Anhalten", "Weiter",         "0", "Neu kalibrieren",
                                "Lücke", "0",        "Gerät getrennt", "0"}
        << "0|1|2|3"
        << "0:0|1:0|2:0|3:0"
        << lines + QStringList{"Anhalten / Weiter", "Neu kalibrieren", "Lücke", "Gerät getrennt"};
}

// A recorded series drawn into the chart: the series it holds break where no values came, a
// band is drawn only where its relay's state is known, each mark is in the legend once with its
// name; a current input shares the output's mA axis.
void TestLive::chartDrawsWhatItSaw() {
    QFETCH(bool, strainGauge);
    QFETCH(QStringList, recording);
    QFETCH(QString, input);
    QFETCH(QString, relay1);
    QFETCH(QStringList, legend);
    QList<LiveSample> samples;
    QList<LiveMark> marks;
    QDateTime time(QDate(2026, 12, 10), QTime(8, 0, 0));
    for (const QString &entry : recording) {
        time = time.addMSecs(1200);
        if (entry.size() > 1) {
            marks << LiveMark{time, entry};
            continue;
        }
        LiveSample sample{time, 0.4 + 0.1 * double(samples.size()), 12.0, std::nullopt};
        if (entry != QLatin1String("-"))
            sample.relayBits = entry.toInt();
        samples << sample;
    }
    const auto rig = WindowRig::onFake();
    // Shown without a device: the view records nothing of its own.
    rig->windows.form1->conversation().disconnectDevice();
    Tflive *live = rig->windows.flive;
    live->show();
    QVERIFY(QTest::qWaitForWindowExposed(live));
    QChart *chart = live->ChartView->chart();
    // A longer recording before leaves pieces behind that must be emptied.
    QList<LiveSample> longer = samples;
    longer.prepend({samples.first().time.addSecs(-20), 0.3, 11.0, 1});
    live->ChartView->drawRecording(
        longer, {{samples.first().time.addSecs(-10), QStringLiteral("Lücke")}}, !strainGauge);
    live->ChartView->drawRecording(samples, marks, strainGauge);

    QCOMPARE(piecesOf(chart, QStringLiteral("Eingang"), samples), input);
    QCOMPARE(piecesOf(chart, QStringLiteral("Ausgang"), samples), input);
    QCOMPARE(piecesOf(chart, QStringLiteral("Relais 1 erregt"), samples), relay1);
    // The legend lays itself out once the chart has been drawn.
    const auto shown = [chart] {
        QStringList labels;
        for (QLegendMarker *marker : chart->legend()->markers())
            if (marker->isVisible())
                labels << marker->label();
        return labels;
    };
    QTRY_COMPARE(shown(), legend);

    // The value axis of each line: the input's own (mV/V) or the output's (mA).
    const auto valueAxes = [chart](const QString &name) {
        QSet<QAbstractAxis *> axes;
        for (QAbstractSeries *series : chart->series())
            if (series->name() == name)
                for (QAbstractAxis *axis : series->attachedAxes())
                    if (axis->orientation() == Qt::Vertical)
                        axes << axis;
        return axes;
    };
    const QSet<QAbstractAxis *> inputAxes = valueAxes(QStringLiteral("Eingang"));
    const QSet<QAbstractAxis *> outputAxes = valueAxes(QStringLiteral("Ausgang"));
    QCOMPARE(inputAxes.size(), 1);
    QCOMPARE(outputAxes.size(), 1);
    QCOMPARE(inputAxes == outputAxes, !strainGauge);
    QCOMPARE((*inputAxes.begin())->isVisible(), true);
    int visibleValueAxes = 0;
    for (QAbstractAxis *axis : chart->axes(Qt::Vertical))
        visibleValueAxes += axis->isVisible() ? 1 : 0;
    QCOMPARE(visibleValueAxes, strainGauge ? 2 : 1);
    live->reject();
}

// The device pulled during a recording: the loss is marked in chart and CSV; plugged in again,
// "Neu verbinden" goes on with the same recording.
void TestLive::goesOnAfterReconnecting() {
    QTemporaryDir dir;
    const QString stableName = dir.filePath(QStringLiteral("kt290"));
    SimulatorProcess device;
    QVERIFY(device.start(
        {QStringLiteral("--type"), QStringLiteral("X2"), QStringLiteral("--link"), stableName}));
    auto rig = WindowRig::onPort(stableName);
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    rig->setStrainGauge(false);
    Tform1 *form = rig->windows.form1;
    form->BitBtnAktualisierenClick(form->BitBtnAktualisieren);
    Tflive *live = rig->windows.flive;
    live->setClock(steppingClock());
    int step = 0;
    qsizetype beforeLoss = 0;
    QString lostState;
    runLive(*rig, device, [&](const QStringList &) {
        const qsizetype samples = live->sampler() ? live->sampler()->samples().size() : 0;
        if (step == 0 && samples >= 2) {
            step = 1;
            QVERIFY(device.control(QStringLiteral("unplug")));
        } else if (step == 1 && !live->isRunning() && live->ButtonVerbinden->isEnabled()) {
            step = 2;
            beforeLoss = samples;
            lostState = live->StaticTextZustand->text();
            QVERIFY(device.control(QStringLiteral("plug")));
        } else if (step == 2 && QFile::exists(stableName)) {
            step = 3;
            QTimer::singleShot(0, live, [live] { live->ButtonVerbinden->click(); });
        } else if (step == 3 && samples >= beforeLoss + 2) {
            step = 4;
            live->close();
        }
    });
    QCOMPARE(step, 4);
    QCOMPARE(lostState, QStringLiteral("getrennt"));
    QStringList marks;
    for (const LiveMark &mark : live->sampler()->marks())
        marks << mark.text;
    QVERIFY2(marks.join('|').endsWith(QStringLiteral("Gerät getrennt|Wieder verbunden")),
             qPrintable(marks.join('|')));
    QVERIFY(live->sampler()->samples().size() >= beforeLoss + 2);
    const QString csv = QString::fromUtf8(live->sampler()->csv());
    QVERIFY(csv.contains(QStringLiteral(";;;;;Gerät getrennt\r\n")));
    QVERIFY(seriesNamed<QScatterSeries>(live->ChartView->chart(), QStringLiteral("Gerät getrennt"))
                ->count() == 1);
}

QTEST_MAIN(TestLive)
#include "tst_live.moc"
