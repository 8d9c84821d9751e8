#include "core/link/allgem.h"
#include "core/link/portaddress.h"
#include "core/link/portnames.h"

#include <QtTest>

class TestAllgem : public QObject {
    Q_OBJECT

private slots:
    void formatFixed_data();
    void formatFixed();
    void nearestInt_data();
    void nearestInt();
    void commaToPoint();
    void readPointNumber_data();
    void readPointNumber();
    void portOrder();
    void portsFromEnvironment();
    void portListForms_data();
    void portListForms();
    void portAddressForms_data();
    void portAddressForms();
};

void TestAllgem::formatFixed_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("10.0124") << 10.0124 << 5 << 3 << "10,012";
    QTest::newRow("12.7 no decimals") << 12.7 << 5 << 0 << "13";
    QTest::newRow("49.96 carries") << 49.96 << 4 << 1 << "50,0";
    QTest::newRow("12.345678") << 12.345678 << 5 << 2 << "12,35";
    QTest::newRow("negative") << -0.09 << 5 << 3 << "-0,090";
    QTest::newRow("zeros appended") << 4.0 << 5 << 2 << "4,00";
    QTest::newRow("beyond precision shows 0") << 123.4567 << 5 << 3 << "123,460";
    QTest::newRow("small") << 0.0012345 << 5 << 3 << "0,001";
    QTest::newRow("rounds to zero, no sign") << -0.0004 << 5 << 3 << "0,000";
    QTest::newRow("zero") << 0.0 << 5 << 2 << "0,00";
    QTest::newRow("scientific") << 123456.0 << 5 << 2 << "1,2346E+5";
    QTest::newRow("largest fixed") << 99999.4 << 5 << 0 << "99999";
    // Halves that binary floating point holds just below: the decimal digits decide.
    QTest::newRow("0.95 to one decimal") << 0.95 << 15 << 1 << "1,0";
    QTest::newRow("1.45 to one decimal") << 1.45 << 15 << 1 << "1,5";
    QTest::newRow("1.95 to one decimal") << 1.95 << 15 << 1 << "2,0";
    QTest::newRow("-0.95 to one decimal") << -0.95 << 15 << 1 << "-1,0";
    QTest::newRow("1.005 to two decimals") << 1.005 << 15 << 2 << "1,01";
    QTest::newRow("0.94 stays") << 0.94 << 15 << 1 << "0,9";
    QTest::newRow("9.96 carries into a new digit") << 9.96 << 15 << 1 << "10,0";
}

void TestAllgem::formatFixed() {
    QFETCH(double, value);
    QFETCH(int, precision);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(FormatFixed(value, precision, decimals), expected);
}

void TestAllgem::nearestInt_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("expected");
    QTest::newRow("half to even down") << 2.5 << true << 2;
    QTest::newRow("half to even up") << 3.5 << true << 4;
    QTest::newRow("0.3") << 0.3 << true << 0;
    QTest::newRow("negative half") << -0.5 << true << 0;
    QTest::newRow("NoValue fits") << NoValue << true << -2147483647;
    QTest::newRow("too large") << 3e9 << false << 0;
    QTest::newRow("too small") << -2147483649.0 << false << 0;
    QTest::newRow("not a number") << std::nan("") << false << 0;
}

void TestAllgem::nearestInt() {
    QFETCH(double, value);
    QFETCH(bool, fits);
    QFETCH(int, expected);
    const auto result = NearestInt(value);
    QCOMPARE(result.has_value(), fits);
    if (fits)
        QCOMPARE(*result, expected);
}

void TestAllgem::commaToPoint() {
    QCOMPARE(CommaToPoint(QStringLiteral("0,25")), QStringLiteral("0.25"));
    QCOMPARE(CommaToPoint(QStringLiteral("1,000,5")), QStringLiteral("1.000,5"));
    QCOMPARE(CommaToPoint(QStringLiteral("12")), QStringLiteral("12"));
}

void TestAllgem::readPointNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("expected");
    QTest::newRow("decimal point") << "12.5" << true << 12.5;
    QTest::newRow("exponent") << "-4.0E-1" << true << -0.4;
    QTest::newRow("plus sign, leading blanks") << "  +3" << true << 3.0;
    QTest::newRow("no decimals after point") << "5." << true << 5.0;
    QTest::newRow("decimal comma") << "12,5" << false << 0.0;
    QTest::newRow("unit behind") << "12.5mA" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("sign alone") << "-" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("hex rest") << "x03" << false << 0.0;
    QTest::newRow("trailing blank") << "3 " << false << 0.0;
}

void TestAllgem::readPointNumber() {
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, expected);
    const auto value = ReadPointNumber(text);
    QCOMPARE(value.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*value, expected);
}

void TestAllgem::portOrder() {
    const QStringList ordered = PortNames::orderedSystemPorts(
        {QStringLiteral("ttyS10"), QStringLiteral("ttyS2"), QStringLiteral("ttyACM0"),
         QStringLiteral("ttyS0"), QStringLiteral("ttyUSB1"), QStringLiteral("ttyUSB0")});
    QCOMPARE(ordered, (QStringList{"ttyACM0", "ttyUSB0", "ttyUSB1", "ttyS0", "ttyS2", "ttyS10"}));
}

void TestAllgem::portsFromEnvironment() {
    qputenv("VTK290_PORTS", "/dev/a::/dev/c");
    QCOMPARE(PortNames::systemLocation(QStringLiteral("COM1")), QStringLiteral("/dev/a"));
    QCOMPARE(PortNames::systemLocation(QStringLiteral("COM2")), QString());
    QCOMPARE(PortNames::systemLocation(QStringLiteral("COM3")), QStringLiteral("/dev/c"));
    QCOMPARE(PortNames::systemLocation(QStringLiteral("COM4")), QString());
    QCOMPARE(PortNames::systemLocation(QStringLiteral("LPT1")), QString());
    qunsetenv("VTK290_PORTS");
}

// The forms of VTK290_PORTS a technician writes: stable /dev/serial names hold ':' themselves.
void TestAllgem::portListForms_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("paths"); // COM1, COM2, …; the rest do not exist
    const QString byPath = QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
    const QByteArray byPathBytes = byPath.toLatin1();
    QTest::newRow("colons") << QByteArray("/dev/a::/dev/c") << QStringList{"/dev/a", "", "/dev/c"};
    QTest::newRow("semicolons") << QByteArray("/dev/a;;/dev/c")
                                << QStringList{"/dev/a", "", "/dev/c"};
    QTest::newRow("by-path name, semicolon")
        << QByteArray(byPathBytes + ";/dev/ttyS0") << QStringList{byPath, "/dev/ttyS0"};
    QTest::newRow("by-path name alone") << byPathBytes << QStringList{byPath};
    QTest::newRow("by-path name, colon")
        << QByteArray(byPathBytes + ":/dev/ttyS0") << QStringList{byPath, "/dev/ttyS0"};
    QTest::newRow("colon form, first absent")
        << QByteArray(":" + byPathBytes) << QStringList{"", byPath};
    QTest::newRow("network addresses, colon form")
        << QByteArray("rfc2217://10.1.2.3:4001:/dev/ttyS0:tcp://plc-7.local:7000")
        << QStringList{"rfc2217://10.1.2.3:4001", "/dev/ttyS0", "tcp://plc-7.local:7000"};
    QTest::newRow("IPv6 hosts, colon form")
        << QByteArray("tcp://[::1]:4001:rfc2217://[fe80::2]:7000::/dev/ttyS0")
        << QStringList{"tcp://[::1]:4001", "rfc2217://[fe80::2]:7000", "", "/dev/ttyS0"};
    QTest::newRow("IPv6 host, semicolon") << QByteArray("tcp://[::1]:4001;/dev/ttyS0")
                                          << QStringList{"tcp://[::1]:4001", "/dev/ttyS0"};
    QTest::newRow("lines with blanks")
        << QByteArray(" /dev/ttyS0\n\n/dev/serial/by-id/usb-FTDI_FT232R_A5-if00-port0 \n")
        << QStringList{"/dev/ttyS0", "", "/dev/serial/by-id/usb-FTDI_FT232R_A5-if00-port0"};
}

void TestAllgem::portListForms() {
    QFETCH(QByteArray, list);
    QFETCH(QStringList, paths);
    qputenv("VTK290_PORTS", list);
    for (int n = 1; n <= 8; ++n)
        QCOMPARE(PortNames::systemLocation(QStringLiteral("COM%1").arg(n)), paths.value(n - 1));
    qunsetenv("VTK290_PORTS");
}

// Every form a port is named in, read once: what it is, and why an impossible one is refused.
void TestAllgem::portAddressForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("problem"); // a part of the reason; empty: none
    using Kind = PortAddress::Kind;
    const QString bad = QStringLiteral("ungültige Adresse");
    QTest::newRow("COM name") << "com3" << int(Kind::Com) << "" << 0 << "";
    QTest::newRow("COM9") << "COM9" << int(Kind::Invalid) << "" << 0
                          << "COM9: unbekannte Schnittstelle";
    QTest::newRow("path") << "/dev/ttyUSB0" << int(Kind::Path) << "" << 0 << "";
    QTest::newRow("by-path name") << "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"
                                  << int(Kind::Path) << "" << 0 << "";
    QTest::newRow("rfc2217") << " rfc2217://127.0.0.1:4001 " << int(Kind::Rfc2217) << "127.0.0.1"
                             << 4001 << "";
    QTest::newRow("tcp by name") << "TCP://plc-7.local:7000" << int(Kind::Tcp) << "plc-7.local"
                                 << 7000 << "";
    QTest::newRow("IPv6") << "tcp://[::1]:4001" << int(Kind::Tcp) << "::1" << 4001 << "";
    QTest::newRow("no port") << "rfc2217://127.0.0.1" << int(Kind::Invalid) << "" << 0
                             << "rfc2217://127.0.0.1: " + bad;
    QTest::newRow("port too big") << "tcp://127.0.0.1:99999" << int(Kind::Invalid) << "" << 0
                                  << "tcp://127.0.0.1:99999: " + bad;
    QTest::newRow("port 0") << "tcp://127.0.0.1:0" << int(Kind::Invalid) << "" << 0 << bad;
    QTest::newRow("IPv6 without brackets")
        << "tcp://::1:4001" << int(Kind::Invalid) << "" << 0 << bad;
    QTest::newRow("brackets, no IPv6")
        << "tcp://[host]:4001" << int(Kind::Invalid) << "" << 0 << bad;
    QTest::newRow("no host") << "tcp://:4001" << int(Kind::Invalid) << "" << 0 << bad;
    QTest::newRow("other scheme") << "telnet://127.0.0.1:23" << int(Kind::Invalid) << "" << 0
                                  << bad;
}

void TestAllgem::portAddressForms() {
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, problem);
    const PortAddress address = PortAddress::parse(text);
    QCOMPARE(int(address.kind), kind);
    QCOMPARE(address.host, host);
    QCOMPARE(int(address.port), port);
    QCOMPARE(address.text, text.trimmed());
    if (problem.isEmpty())
        QCOMPARE(address.problem(), QString());
    else
        QVERIFY2(address.problem().contains(problem), qPrintable(address.problem()));
}

QTEST_GUILESS_MAIN(TestAllgem)
#include "tst_allgem.moc"
