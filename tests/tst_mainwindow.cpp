#include "core/system/instancecheck.h"
#include "core/system/instancemark.h"
#include "gui/main/umehr.h"
#include "windowrig.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The main window as the program starts: every control under its name, in its place, in its
// start state; the progress animation; the question before a second copy runs.
class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowsCreatedInOrder();
    void controlsInPlace_data();
    void controlsInPlace();
    void startState();
    void contactPicturesStacked();
    void menuItems_data();
    void menuItems();
    void progressBarCyclesWhileVisible();
    void progressBarWrapsAfter100();
    void scanAsksEightPortsAt19200();
    void closingClosesPort();
    void secondCopyIsAsked_data();
    void secondCopyIsAsked();
    void noQuestionWhenAlone_data();
    void noQuestionWhenAlone();

private:
    std::unique_ptr<WindowRig> m_rig;
    FakeSerialPort *m_port = nullptr;
};

void TestMainWindow::init() {
    // As the program starts: the question before a second copy runs is asked.
    m_rig = WindowRig::make({{}, true});
    m_port = m_rig->device;
}

void TestMainWindow::cleanup() {
    m_rig.reset();
}

void TestMainWindow::windowsCreatedInOrder() {
    const QStringList expected{"Tfpotikontr", "TAboutBox", "Tfeinst", "Tfrelais", "Tflogfile",
                               "Tfsimul",     "Tfstatus",  "Tfmehr",  "Tflive"};
    QStringList created;
    for (QObject *child : m_rig->windows.form1->children()) {
        if (child->isWidgetType() && static_cast<QWidget *>(child)->isWindow() &&
            !qobject_cast<QFileDialog *>(child))
            created << child->objectName();
    }
    QCOMPARE(created, expected);
    QCOMPARE(m_rig->windows.form1->windowTitle(),
             QStringLiteral("Schaltverstärker KT 290 / Serviceprogramm vtk290"));
    QCOMPARE(m_rig->windows.form1->centralWidget()->size(), QSize(922, 539));
}

void TestMainWindow::controlsInPlace_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("Image1") << "Image1" << QRect(24, 7, 221, 60) << "";
    QTest::newRow("ImageHintergrund") << "ImageHintergrund" << QRect(24, 72, 307, 176) << "";
    QTest::newRow("Bevel1") << "Bevel1" << QRect(23, 264, 891, 153) << "";
    QTest::newRow("StaticTextTyp") << "StaticTextTyp" << QRect(144, 280, 201, 17) << "";
    QTest::newRow("StaticTextHwVersion") << "StaticTextHwVersion" << QRect(144, 304, 201, 17) << "";
    QTest::newRow("StaticTextSwVersion") << "StaticTextSwVersion" << QRect(144, 328, 201, 17) << "";
    QTest::newRow("StaticTextFnr") << "StaticTextFnr" << QRect(144, 352, 201, 17) << "";
    QTest::newRow("StaticTextSetupsperre")
        << "StaticTextSetupsperre" << QRect(144, 376, 201, 17) << "";
    QTest::newRow("MemoSetup") << "MemoSetup" << QRect(372, 311, 418, 89) << "";
    QTest::newRow("BitBtnAktualisieren")
        << "BitBtnAktualisieren" << QRect(760, 359, 129, 49) << "Aktualisieren";
    QTest::newRow("BitBtnUpload") << "BitBtnUpload" << QRect(300, 423, 153, 25)
                                  << "Setup vom Gerät lesen";
    QTest::newRow("BitBtnDownload")
        << "BitBtnDownload" << QRect(468, 423, 153, 25) << "Setup im Gerät speichern";
    QTest::newRow("BitBtnVerbinden") << "BitBtnVerbinden" << QRect(20, 424, 97, 25) << "Verbinden";
    QTest::newRow("ButtonBeenden") << "ButtonBeenden" << QRect(766, 423, 123, 25) << "Beenden";
    QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(0, 503, 922, 17) << "";
    QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 520, 922, 19) << "";
    QTest::newRow("Panel1") << "Panel1" << QRect(377, 8, 513, 250) << "";
    QTest::newRow("Panel2") << "Panel2" << QRect(344, 4, 570, 256) << "";
    QTest::newRow("Image01") << "Image01" << QRect(6, 4, 491, 236) << "";
    QTest::newRow("StaticTextMv") << "StaticTextMv" << QRect(36, 43, 60, 17) << "";
    QTest::newRow("StaticTextMa") << "StaticTextMa" << QRect(59, 135, 50, 17) << "        ";
    QTest::newRow("StaticTextSp1") << "StaticTextSp1" << QRect(343, 70, 50, 17) << "";
    QTest::newRow("StaticTextSp2") << "StaticTextSp2" << QRect(343, 158, 50, 17) << "";
    QTest::newRow("Image02") << "Image02" << QRect(6, 5, 555, 245) << "";
    QTest::newRow("StaticTextMv02") << "StaticTextMv02" << QRect(122, 60, 60, 17) << "";
    QTest::newRow("StaticTextMa02") << "StaticTextMa02" << QRect(114, 145, 50, 17) << "        ";
    QTest::newRow("StaticTextSP102") << "StaticTextSP102" << QRect(399, 78, 50, 17) << "";
    QTest::newRow("StaticTextSP202") << "StaticTextSP202" << QRect(399, 165, 50, 17) << "";
    QTest::newRow("Label7") << "Label7" << QRect(48, 280, -1, -1) << "Typ";
    QTest::newRow("Label2") << "Label2" << QRect(48, 304, -1, -1) << "Hardwareversion";
    QTest::newRow("Label5") << "Label5" << QRect(48, 328, -1, -1) << "Softwareversion";
    QTest::newRow("Label6") << "Label6" << QRect(48, 352, -1, -1) << "F.Nr";
    QTest::newRow("Label1") << "Label1" << QRect(48, 376, -1, -1) << "Setupsperre";
    QTest::newRow("Label3") << "Label3" << QRect(360, 376, -1, -1)
                            << "Setupsperre über Taste T1 ein- und ausschalten";
    QTest::newRow("LabelFehler") << "LabelFehler" << QRect(401, 289, -1, -1) << "LabelFehler";
}

void TestMainWindow::controlsInPlace() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    auto *widget = m_rig->windows.form1->findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    if (geometry.width() < 0)
        QCOMPARE(widget->pos(), geometry.topLeft());
    else
        QCOMPARE(widget->geometry(), geometry);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    if (auto *button = qobject_cast<QPushButton *>(widget))
        QCOMPARE(button->text(), text);
}

void TestMainWindow::startState() {
    Tform1 *form = m_rig->windows.form1;
    for (const char *hidden : {"Panel1", "Panel2", "LabelFehler", "ProgressBar1", "MemoSetup"})
        QVERIFY2(form->findChild<QWidget *>(QLatin1String(hidden))->isHidden(), hidden);
    for (const char *disabled : {"BitBtnAktualisieren", "BitBtnUpload", "BitBtnDownload"})
        QVERIFY2(!form->findChild<QWidget *>(QLatin1String(disabled))->isEnabled(), disabled);
    QVERIFY(form->findChild<QWidget *>(QStringLiteral("BitBtnVerbinden"))->isEnabled());
    QCOMPARE(form->statusPanelText(0), QStringLiteral("getrennt"));
    QCOMPARE(form->statusPanelText(1), QStringLiteral("default Setup"));
    QVERIFY(form->isStrainGaugeModel());
    const QStringList memo = form->MemoSetup->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(memo.size(), 18);
    QCOMPARE(memo.first().trimmed(), QStringLiteral("Version: 3   Ort: 4   Prüfsumme: 82, 0x52"));
    QVERIFY(memo.last().startsWith(QLatin1String(" poti[0]: 5135")));
    QCOMPARE(form->ProgressBar1->minimum(), 0);
    QCOMPARE(form->ProgressBar1->maximum(), 100);
    QCOMPARE(form->findChild<QTimer *>(QStringLiteral("Timer1"))->interval(), 100);
}

void TestMainWindow::contactPicturesStacked() {
    Tform1 *form = m_rig->windows.form1;
    QCOMPARE(form->ImageNo1->pos(), QPoint(400, 37));
    QCOMPARE(form->ImageNo2->pos(), QPoint(399, 168));
    QCOMPARE(form->ImageNo102->pos(), QPoint(455, 46));
    QCOMPARE(form->ImageNo202->pos(), QPoint(455, 177));
    for (QWidget *picture :
         {form->ImageNc1, form->ImageNo1, form->ImageNc2, form->ImageNo2, form->ImageNc102,
          form->ImageNo102, form->ImageNc202, form->ImageNo202}) {
        QVERIFY2(picture->isHidden(), qPrintable(picture->objectName()));
        QCOMPARE(picture->size(), QSize(24, 35));
    }
}

void TestMainWindow::menuItems_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("ffnen1") << "ffnen1"
                            << "Öffnen" << true;
    QTest::newRow("Speichern1") << "Speichern1"
                                << "Speichern" << true;
    QTest::newRow("Beenden1") << "Beenden1"
                              << "Beenden" << true;
    QTest::newRow("Einstellbereich") << "EinstellbereichNullpunktKennwert1"
                                     << "Einstellbereich Nullpunkt, Kennwert" << true;
    QTest::newRow("Relais1") << "Relais1"
                             << "Schaltpunkte" << true;
    QTest::newRow("Default1") << "Default1"
                              << "Default" << true;
    QTest::newRow("Logfile1") << "Logfile1"
                              << "Logfile" << false;
    QTest::newRow("Simulation1") << "Simulation1"
                                 << "Simulation" << false;
    QTest::newRow("Status1") << "Status1"
                             << "Status" << false;
    QTest::newRow("LiveAnzeige1") << "LiveAnzeige1"
                                  << "Live-Anzeige" << false;
    QTest::newRow("Info1") << "Info1"
                           << "Info" << true;
    QTest::newRow("Betriebsanleitung1") << "Betriebsanleitung1"
                                        << "Betriebsanleitung anzeigen" << true;
}

void TestMainWindow::menuItems() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    auto *action = m_rig->windows.form1->findChild<QAction *>(name);
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->isEnabled(), enabled);
}

void TestMainWindow::progressBarCyclesWhileVisible() {
    Tform1 *form = m_rig->windows.form1;
    form->show();
    form->ProgressBar1->setValue(0);
    for (int i = 0; i < 3; ++i)
        form->Timer1Timer();
    QCOMPARE(form->ProgressBar1->value(), 0); // hidden: no movement
    form->ProgressBar1->show();
    for (int i = 0; i < 3; ++i)
        form->Timer1Timer();
    QCOMPARE(form->ProgressBar1->value(), 6);
    form->ProgressBar1->setValue(100);
    form->Timer1Timer();
    QCOMPARE(form->ProgressBar1->value(), 0);
    // Inside a wait the timer moves the bar on its own (on a busy machine its ticks may come
    // late, so the waits go on until three have come or three seconds have passed).
    QElapsedTimer clock;
    clock.start();
    while (form->ProgressBar1->value() < 6 && clock.elapsed() < 3000)
        WaitSeconds(0.1);
    QVERIFY(form->ProgressBar1->value() >= 6);
}

// One cycle: 2, 4, … 100, then 0 again.
void TestMainWindow::progressBarWrapsAfter100() {
    Tform1 *form = m_rig->windows.form1;
    form->show();
    form->ProgressBar1->setValue(0);
    form->ProgressBar1->show();
    QList<int> seen;
    for (int i = 0; i < 52; ++i) {
        form->Timer1Timer();
        seen << form->ProgressBar1->value();
    }
    QList<int> expected;
    for (int value = 2; value <= 100; value += 2)
        expected << value;
    expected << 0 << 2;
    QCOMPARE(seen, expected);
}

void TestMainWindow::scanAsksEightPortsAt19200() {
    qputenv("VTK290_PORTS", "/fake/1;/fake/2;/fake/3;/fake/4;/fake/5;/fake/6;/fake/7;/fake/8");
    m_port->existingPaths = QStringList{QStringLiteral("/fake/9")};
    MessageBoxCatcher answerer;
    m_rig->windows.form1->BitBtnVerbinden->click();
    QCOMPARE(m_port->openBaudRates, QList<int>(8, 19200));
    qunsetenv("VTK290_PORTS");
}

void TestMainWindow::closingClosesPort() {
    qputenv("VTK290_PORTS", "/fake/1");
    QCOMPARE(m_rig->link->ComOpen(QStringLiteral("COM1"), 19200), QString());
    m_rig->windows.form1->show();
    m_rig->windows.form1->ButtonBeenden->click();
    QVERIFY(!m_rig->link->ComHandleValid());
    QVERIFY(!m_rig->windows.form1->isVisible());
    qunsetenv("VTK290_PORTS");
}

void TestMainWindow::secondCopyIsAsked_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("keepsRunning");
    QTest::newRow("Ja") << "BitBtn1" << true;
    QTest::newRow("Nein") << "BitBtn2" << false;
    QTest::newRow("close box") << "" << false;
}

void TestMainWindow::secondCopyIsAsked() {
    QFETCH(QString, answer);
    QFETCH(bool, keepsRunning);
    QTemporaryDir marks;
    InstanceMark otherCopy(marks.path());
    QVERIFY(!otherCopy.acquireAndCheckOthers());
    InstanceCheck check(marks.path());
    m_rig->windows.form1->setInstanceCheck(&check);

    qputenv("USER", "techniker");
    QString shownName;
    QTimer::singleShot(300, this, [&] {
        Tfmehr *question = m_rig->windows.fmehr;
        if (!question->isVisible())
            return;
        shownName = question->Label4->text();
        if (answer.isEmpty())
            question->reject();
        else
            question->findChild<QPushButton *>(answer)->click();
    });
    m_rig->windows.form1->show();
    QTRY_VERIFY_WITH_TIMEOUT(!m_rig->windows.form1->Timer2->isActive(), 2000);
    QTRY_VERIFY(!m_rig->windows.fmehr->isVisible());
    QCOMPARE(shownName, QStringLiteral("techniker"));
    QCOMPARE(m_rig->windows.form1->isVisible(), keepsRunning);
    m_rig->windows.form1->setInstanceCheck(nullptr);
}

void TestMainWindow::noQuestionWhenAlone_data() {
    QTest::addColumn<QString>("otherCopy");
    QTest::addColumn<bool>("checkHandedOver");
    QTest::newRow("after another copy ended") << "ended" << true;
    QTest::newRow("a crashed copy's mark") << "crashed" << true;
    // A window made without the program's start (tests, benchmark, screenshots).
    QTest::newRow("another copy runs, no check") << "running" << false;
}

void TestMainWindow::noQuestionWhenAlone() {
    QFETCH(QString, otherCopy);
    QFETCH(bool, checkHandedOver);
    QTemporaryDir marks;
    // A copy that runs holds its mark where every copy of this user looks (the test's own
    // runtime folder).
    InstanceMark running;
    if (otherCopy == QLatin1String("running")) {
        QVERIFY(!running.acquireAndCheckOthers());
    } else {
        InstanceMark endedCopy(marks.path());
        QVERIFY(!endedCopy.acquireAndCheckOthers());
    }
    // The mark of a copy that crashed: its owner process no longer exists.
    QFile crashed(marks.filePath(QStringLiteral("vtk290-999999-dead.lock")));
    if (otherCopy == QLatin1String("crashed")) {
        QVERIFY(crashed.open(QIODevice::WriteOnly));
        crashed.write("999999\nvtk290\n\n");
        crashed.close();
    }
    InstanceCheck check(marks.path());
    if (checkHandedOver)
        m_rig->windows.form1->setInstanceCheck(&check);
    bool asked = false;
    QTimer::singleShot(300, this, [&] {
        asked = m_rig->windows.fmehr->isVisible();
        m_rig->windows.fmehr->reject();
    });
    m_rig->windows.form1->show();
    QTRY_VERIFY_WITH_TIMEOUT(!m_rig->windows.form1->Timer2->isActive(), 2000);
    QTest::qWait(400);
    QVERIFY(!asked);
    QVERIFY(m_rig->windows.form1->isVisible());
    QVERIFY(!crashed.exists());
    // The check that was handed over has set this copy's mark: a later copy is asked.
    if (checkHandedOver)
        QVERIFY(InstanceMark(marks.path()).acquireAndCheckOthers());
    m_rig->windows.form1->setInstanceCheck(nullptr);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
