#include "core/device/devicereadout.h"
#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"
#include "core/link/ucom.h"
#include "fakeserialport.h"

#include <QtTest>

// The reading of the device's identity answers, against a device in memory.
class TestReadout : public QObject {
    Q_OBJECT

private slots:
    void versions_data();
    void versions();
    void errorTexts();
    void deviceType_data();
    void deviceType();
};

void TestReadout::versions_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("sw");
    QTest::addColumn<QString>("hw");
    QTest::newRow("both") << "SW-Version V1.03\r\nHW-Version 2"
                          << "V1.03"
                          << "2";
    QTest::newRow("blanks around") << "xx SW-Version   V1.03 \r\n HW-Version  2 "
                                   << "V1.03"
                                   << "2";
    QTest::newRow("no hardware version") << "SW-Version V1.03\r\n"
                                         << "V1.03"
                                         << "";
    QTest::newRow("no CR after software version") << "SW-Version V1.03 HW-Version 2"
                                                  << ""
                                                  << "";
    QTest::newRow("no software version") << "HW-Version 2\r\n"
                                         << ""
                                         << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void TestReadout::versions() {
    QFETCH(QString, answer);
    QFETCH(QString, sw);
    QFETCH(QString, hw);
    ReadoutView view;
    DeviceReadout::readVersions(answer, view);
    QCOMPARE(view.swVersion, sw);
    QCOMPARE(view.hwVersion, hw);
}

void TestReadout::errorTexts() {
    QCOMPARE(DeviceReadout::errorText(1), QStringLiteral(" Fehler 1: Brückenwiderstand zu klein "));
    QCOMPARE(DeviceReadout::errorText(3),
             QStringLiteral(" Fehler 3: Brückensignal überschritten "));
    QCOMPARE(DeviceReadout::errorText(6),
             QStringLiteral(" Fehler 6: Brückenmittenspannung zu klein "));
    QCOMPARE(DeviceReadout::errorText(0), QStringLiteral(" unbekannter Fehler "));
    QCOMPARE(DeviceReadout::errorText(9), QStringLiteral(" unbekannter Fehler "));
}

void TestReadout::deviceType_data() {
    QTest::addColumn<QByteArray>("inpmv");
    QTest::addColumn<QByteArray>("inpv");
    QTest::addColumn<QByteArray>("p0");
    QTest::addColumn<QString>("typeText");
    QTest::addColumn<bool>("panel1");
    QTest::addColumn<bool>("panel2");
    QTest::addColumn<QStringList>("asked");
    QTest::newRow("X1") << QByteArray("1") << QByteArray() << QByteArray()
                        << "KT 290.X1 - DMS-Schaltverstärker" << true << false
                        << QStringList{"inpmv"};
    QTest::newRow("X2") << QByteArray("0") << QByteArray("0") << QByteArray()
                        << "KT 290.X2 - Strom-Schaltverstärker" << false << true
                        << QStringList{"inpmv", "inpv"};
    QTest::newRow("03") << QByteArray("0") << QByteArray("1") << QByteArray() << "KT 290.03"
                        << false << false << QStringList{"inpmv", "inpv"};
    QTest::newRow("03 without inpv")
        << QByteArray("2") << QByteArray() << QByteArray() << "KT 290.03" << false << false
        << QStringList{"inpmv", "inpv", "inpv"};
    QTest::newRow("01") << QByteArray() << QByteArray() << QByteArray("6")
                        << "KT 290.01 - DMS-Schaltverstärker" << true << false
                        << QStringList{"inpmv", "inpmv", "p0"};
    QTest::newRow("02") << QByteArray() << QByteArray() << QByteArray("1")
                        << "KT 290.02 - Strom-Schaltverstärker" << false << true
                        << QStringList{"inpmv", "inpmv", "p0"};
    // The old models tell their input by bit value 2 of "p0" alone.
    QTest::newRow("01 by bit value 2")
        << QByteArray() << QByteArray() << QByteArray("2") << "KT 290.01 - DMS-Schaltverstärker"
        << true << false << QStringList{"inpmv", "inpmv", "p0"};
    QTest::newRow("02 with bit value 4")
        << QByteArray() << QByteArray() << QByteArray("4") << "KT 290.02 - Strom-Schaltverstärker"
        << false << true << QStringList{"inpmv", "inpmv", "p0"};
    QTest::newRow("p0 beyond 32 bits") << QByteArray() << QByteArray() << QByteArray("1e12") << ""
                                       << false << false << QStringList{"inpmv", "inpmv", "p0"};
}

void TestReadout::deviceType() {
    QFETCH(QByteArray, inpmv);
    QFETCH(QByteArray, inpv);
    QFETCH(QByteArray, p0);
    QFETCH(QString, typeText);
    QFETCH(bool, panel1);
    QFETCH(bool, panel2);
    QFETCH(QStringList, asked);

    qputenv("VTK290_PORTS", "/fake/1");
    auto port = std::make_unique<FakeSerialPort>();
    FakeSerialPort *device = port.get();
    const QMap<QByteArray, QByteArray> values{{"inpmv", inpmv}, {"inpv", inpv}, {"p0", p0}};
    device->answer = [&values](const QByteArray &line) {
        const QByteArray value = values.value(line);
        return value.isEmpty() ? QByteArray() : line + ' ' + value + "\r\n";
    };
    ComLink link(std::move(port));
    DeviceProtocol protocol(link);
    QCOMPARE(link.ComOpen(QStringLiteral("COM1"), 19200), QString());

    ReadoutView view;
    DeviceReadout(protocol).readType(view);
    QCOMPARE(view.typeText, typeText);
    QCOMPARE(view.showStrainGaugePanel, panel1);
    QCOMPARE(view.showCurrentPanel, panel2);
    QCOMPARE(view.strainGauge, panel1);
    QStringList commands;
    for (const QByteArray &command : device->commands)
        commands << QString::fromLatin1(command);
    QCOMPARE(commands, asked);
    qunsetenv("VTK290_PORTS");
}

QTEST_GUILESS_MAIN(TestReadout)
#include "tst_readout.moc"
