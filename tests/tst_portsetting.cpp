#include "simulatorprocess.h"

#include "core/device/deviceconversation.h"
#include "core/link/portnames.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "gui/main/fmain1.h"
#include "gui/main/formcontrols.h"
#include "gui/main/startup.h"
#include "gui/main/uports.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QtTest>

// "Extras" → "Schnittstellen …": which port is COM1 … COM8, remembered; VTK290_PORTS first.
class TestPortSetting : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void chosenPortsAreScanned();
    void systemPortsByStableName();
    void impossibleAddressNamedAsTyped_data();
    void impossibleAddressNamedAsTyped();

private:
    // The main window on a new link, as after a start of the program.
    void start();
    // Opens "Schnittstellen …" from the menu and hands the window to `use` while it is shown.
    void inPortWindow(const std::function<void(TfPorts *)> &use);
    // Clicks "Verbinden", answering a message box that may come.
    void connectDevice();

    std::unique_ptr<ComLink> m_link;
    std::unique_ptr<Tform1> m_form;
};

void TestPortSetting::cleanup() {
    m_form.reset();
    m_link.reset();
    qunsetenv("VTK290_PORTS");
}

void TestPortSetting::start() {
    m_form.reset();
    m_link = std::make_unique<ComLink>(std::make_unique<QtSerialPortIo>());
    WindowSet windows;
    createWindows(*m_link, windows);
    m_form.reset(windows.form1);
}

void TestPortSetting::inPortWindow(const std::function<void(TfPorts *)> &use) {
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto *window = qobject_cast<TfPorts *>(QApplication::activeModalWidget());
        QVERIFY(window);
        seen = true;
        use(window);
        if (window->isVisible())
            window->ButtonAbbrechen->click();
    });
    QCOMPARE(m_form->Schnittstellen1->text(), QStringLiteral("Schnittstellen …"));
    m_form->Schnittstellen1->trigger();
    QVERIFY(seen);
}

void TestPortSetting::connectDevice() {
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });
    watcher.start(50);
    m_form->BitBtnVerbinden->click();
}

void TestPortSetting::chosenPortsAreScanned() {
    SimulatorProcess device;
    QVERIFY(device.start({}));
    const QString absent = QStringLiteral("/dev/absent-kt290");
    start();

    // COM1 typed, COM2 the simulator, the rest left automatic; every caption whole.
    inPortWindow([&](TfPorts *window) {
        QVERIFY(window->LabelUmgebung->isHidden());
        QCOMPARE(window->windowTitle(), QStringLiteral("Schnittstellen"));
        for (QWidget *control : window->findChildren<QWidget *>())
            if (control->isVisibleTo(window) &&
                (qobject_cast<QLabel *>(control) || qobject_cast<QPushButton *>(control)))
                QVERIFY2(textFits(control), qPrintable(control->objectName()));
        QCOMPARE(window->ComboPorts.size(), 8);
        for (QComboBox *combo : window->ComboPorts)
            QCOMPARE(combo->currentText(), QStringLiteral("automatisch"));
        window->ComboPorts[0]->lineEdit()->setText(absent);
        window->ComboPorts[1]->lineEdit()->setText(device.portPath());
        window->ButtonOk->click();
    });
    QCOMPARE(PortNames::systemLocation(QStringLiteral("COM1")), absent);
    QCOMPARE(PortNames::systemLocation(QStringLiteral("COM2")), device.portPath());
    // The scan asks COM1, then finds the device on COM2.
    connectDevice();
    QVERIFY(m_form->conversation().isConnected());
    QCOMPARE(m_form->conversation().port(), 2);
    QCOMPARE(device.openCount(), 1);

    // After a restart the window shows the choice, and the scan asks the same ports.
    start();
    inPortWindow([&](TfPorts *window) {
        QCOMPARE(window->ComboPorts[0]->currentText(), absent);
        QCOMPARE(window->ComboPorts[1]->currentText(), device.portPath());
        QCOMPARE(window->ComboPorts[2]->currentText(), QStringLiteral("automatisch"));
        // "Abbrechen" keeps what was stored.
        window->ComboPorts[1]->lineEdit()->setText(absent);
        window->ButtonAbbrechen->click();
    });
    connectDevice();
    QVERIFY(m_form->conversation().isConnected());
    QCOMPARE(m_form->conversation().port(), 2);

    // VTK290_PORTS wins, and the window says so.
    start();
    qputenv("VTK290_PORTS", (device.portPath() + QStringLiteral(";") + absent).toLocal8Bit());
    inPortWindow([&](TfPorts *window) {
        QVERIFY(window->LabelUmgebung->isVisibleTo(window));
        QVERIFY(textFits(window->LabelUmgebung));
    });
    QCOMPARE(PortNames::systemLocation(QStringLiteral("COM2")), absent);
    connectDevice();
    QVERIFY(m_form->conversation().isConnected());
    QCOMPARE(m_form->conversation().port(), 1);

    // Back to automatic: nothing stays stored.
    qunsetenv("VTK290_PORTS");
    inPortWindow([&](TfPorts *window) {
        for (QComboBox *combo : window->ComboPorts)
            combo->setCurrentIndex(0);
        window->ButtonOk->click();
    });
    QCOMPARE(PortNames::chosenPorts(), QStringList(8, QString()));
}

// A port with a name under /dev/serial/by-id is offered by that name, with the system's name
// and what it knows of the adapter; the others by their path.
void TestPortSetting::systemPortsByStableName() {
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    if (infos.isEmpty())
        QSKIP("The system lists no serial port here.");
    QTemporaryDir byId;
    const QSerialPortInfo &first = infos.first();
    const QString stable = byId.filePath(QStringLiteral("usb-Test_Adapter_A1-if00-port0"));
    QVERIFY(QFile::link(first.systemLocation(), stable));

    const QList<TfPorts::SystemPort> ports = TfPorts::systemPorts(byId.path());
    QCOMPARE(ports.size(), infos.size());
    int stableCount = 0;
    for (const TfPorts::SystemPort &port : ports) {
        if (port.path == stable) {
            ++stableCount;
            QVERIFY2(port.description.startsWith(first.portName()), qPrintable(port.description));
        } else {
            QVERIFY2(port.path.startsWith(QLatin1String("/dev/")), qPrintable(port.path));
        }
    }
    QCOMPARE(stableCount, 1);

    // The window offers them after "automatisch", and a stable name chosen is stored as such.
    TfPorts window(nullptr, ports);
    QComboBox *com1 = window.ComboPorts[0];
    QCOMPARE(com1->count(), ports.size() + 1);
    com1->setCurrentIndex(com1->findData(stable));
    QVERIFY(com1->currentText().startsWith(stable + QStringLiteral(" (")));
    QCOMPARE(window.chosen().value(0), stable);
}

void TestPortSetting::impossibleAddressNamedAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("named"); // empty: kept as typed
    QTest::newRow("no port") << "rfc2217://127.0.0.1"
                             << "COM3: rfc2217://127.0.0.1: ungültige Adresse";
    QTest::newRow("port too big") << "tcp://10.1.2.3:99999"
                                  << "COM3: tcp://10.1.2.3:99999: ungültige Adresse";
    QTest::newRow("IPv6 in brackets") << "tcp://[::1]:4001"
                                      << "";
    QTest::newRow("path") << "/dev/ttyUSB7"
                          << "";
}

// An impossible address is named below the list as it is typed, and OK waits for it.
void TestPortSetting::impossibleAddressNamedAsTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, named);
    TfPorts window(nullptr, {});
    QVERIFY(window.LabelFehler->isHidden());
    window.ComboPorts.at(2)->setEditText(typed);
    QCOMPARE(window.ButtonOk->isEnabled(), named.isEmpty());
    QCOMPARE(window.LabelFehler->isHidden(), named.isEmpty());
    if (!named.isEmpty())
        QVERIFY2(window.LabelFehler->text().startsWith(named),
                 qPrintable(window.LabelFehler->text()));
    else
        QCOMPARE(window.chosen().at(2), typed);
}

QTEST_MAIN(TestPortSetting)
#include "tst_portsetting.moc"
