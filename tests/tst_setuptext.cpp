#include "core/link/allgem.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/setup/setuptext.h"
#include "core/system/filewriter.h"
#include "core/system/textfile.h"
#include "deviceprint.h"

#include <QtTest>

Q_DECLARE_METATYPE(SetupFields)

// Reading labelled setup texts, the set commands built from a setup, and the setup file's bytes.
class TestSetupText : public QObject {
    Q_OBJECT

private slots:
    void parseKeyValue_data();
    void parseKeyValue();
    void extractNumber_data();
    void extractNumber();
    void accepted_data();
    void accepted();
    void commands_data();
    void commands();
    void fileBytesOfDefaultSetup();
    void fileValuesReadBack();
    void decode_data();
    void decode();
    void refusedFiles_data();
    void refusedFiles();
    void saveReplacesWholeFile();
    void saveIntoMissingFolderFails();
    void defaultExtension_data();
    void defaultExtension();
};

namespace {

const QString DevicePrint = ExampleDevicePrint;

SetupFields defaultFields() {
    SetupFields fields;
    fields.hysteresis1Item = QStringLiteral("0,0 mA");
    fields.hysteresis2Item = QStringLiteral("0,0 mA");
    fields.vPotiLeftItem = QStringLiteral("2,0 mV/V");
    fields.vPotiRightItem = QStringLiteral("0,83 mV/V");
    return fields;
}

// The default setup's file as the device's own print lays it out, line 2 for 1 March 2024.
const QByteArray DefaultFile = "KT290-Setup\r\n"
                               "gespeichert am 01.03.2024 09:05:07\r\n"
                               " Version: 3\r\n"
                               " Alarm1hysterese : 0.0   Alarm2hysterese : 0.0\r\n"
                               " Relais1polatit\xE4t: 0   Relais2polatit\xE4t: 0\r\n"
                               " Druckrichtung   : 1\r\n"
                               " Nullpotimitte   : 0.0\r\n"
                               " 20mA Poti links : 2.0\r\n"
                               " 20mA Poti rechts: 0.83\r\n"
                               " Sicherheitsmodus: 0\r\n";

} // namespace

void TestSetupText::parseKeyValue_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("Version") << "Version" << DevicePrint << 3.0;
    QTest::newRow("Druckrichtung") << "Druckrichtung" << DevicePrint << 1.0;
    QTest::newRow("20mA Poti rechts") << "20mA Poti rechts" << DevicePrint << 0.8333;
    QTest::newRow("key is a label's start") << "Relais2pol" << DevicePrint << 0.0;
    QTest::newRow("safety mode") << "Sicherheitsmodus" << DevicePrint << 0.0;
    QTest::newRow("first of two pairs") << "Alarm1hysterese" << DevicePrint << 0.0;
    QTest::newRow("exponent form") << "rauf" << DevicePrint << 0.9954056;
    QTest::newRow("missing key") << "Druckrichtun g" << DevicePrint << NoValue;
    QTest::newRow("case matters") << "version" << DevicePrint << NoValue;
    QTest::newRow("no colon anywhere") << "Version"
                                       << " Version 3\r\n"
                                       << NoValue;
    QTest::newRow("colon on a later line") << "Version"
                                           << " Version\r\n: 4\r\n"
                                           << 4.0;
    QTest::newRow("decimal comma") << "Version"
                                   << " Version: 3,5\r\n"
                                   << NoValue;
    QTest::newRow("unit behind") << "Alarm1hysterese"
                                 << " Alarm1hysterese : 0.5mA\r\n"
                                 << NoValue;
    QTest::newRow("empty value takes next word")
        << "Alarm1hysterese"
        << " Alarm1hysterese : \r\n Alarm2hysterese : 1.0\r\n"
        << NoValue;
    QTest::newRow("first occurrence") << "Druckrichtung"
                                      << " Druckrichtung: -1\r\n Druckrichtung: 1\r\n"
                                      << -1.0;
    QTest::newRow("last line without line end") << "Sicherheitsmodus"
                                                << " Version: 3\r\n Sicherheitsmodus: 0" << 0.0;
    QTest::newRow("last line, value then blank") << "Sicherheitsmodus"
                                                 << " Sicherheitsmodus: 1 " << 1.0;
    QTest::newRow("value missing at the end") << "Sicherheitsmodus"
                                              << " Sicherheitsmodus:  " << NoValue;
    QTest::newRow("empty text") << "Version"
                                << "" << NoValue;
}

void TestSetupText::parseKeyValue() {
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(ParseKeyValue(key, text), expected);
}

void TestSetupText::extractNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mV/V") << "0,83 mV/V"
                          << "0,83";
    QTest::newRow("mA") << "2,0 mA"
                        << "2,0";
    QTest::newRow("minus not kept") << "-0,25  mV/V"
                                    << "0,25";
    QTest::newRow("point kept, last digit kept") << "x1.5"
                                                 << "1.5";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSetupText::extractNumber() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ExtractNumber(text), expected);
}

void TestSetupText::accepted_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("device print") << DevicePrint << true;
    QTest::newRow("version 2") << QString(DevicePrint).replace("Version: 3", "Version: 2") << false;
    QTest::newRow("no version") << QString(DevicePrint).replace("Version", "Verzion") << false;
    QTest::newRow("safety mode without blank before") << " Version: 3\r\nSicherheitsmodus: 0\r\n"
                                                      << false;
    QTest::newRow("safety mode negative") << " Version: 3\r\n Sicherheitsmodus: -1\r\n" << false;
    QTest::newRow("safety mode on the last line") << " Version: 3\r\n Sicherheitsmodus: 0" << true;
    QTest::newRow("empty") << "" << false;
}

void TestSetupText::accepted() {
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(SetupTextAccepted(text), expected);
}

void TestSetupText::commands_data() {
    QTest::addColumn<SetupFields>("fields");
    QTest::addColumn<bool>("strainGauge");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<double>>("pauses");

    QTest::newRow("default, strain gauge")
        << defaultFields() << true
        << QStringList{"R1POL 0",  "R2POL 0",   "al1hy 0.0",  "al2hy 0.0", "druck 1",
                       "vpoa 2.0", "vpoe 0.83", "nullpo 0.0", "sich 0"}
        << QList<double>{0.2, 0.2, 0.2, 0.2, 0.0, 0.2, 0.2, 0.2, 0.0};
    QTest::newRow("default, current input")
        << defaultFields() << false
        << QStringList{"R1POL 0", "R2POL 0", "al1hy 0.0", "al2hy 0.0", "sich 0"}
        << QList<double>{0.2, 0.2, 0.2, 0.2, 0.0};

    SetupFields changed = defaultFields();
    changed.relay1DeEnergised = false;
    changed.hysteresis1Item = QStringLiteral("2,0 mA");
    changed.hysteresis2Item = QStringLiteral("0,5 mA");
    changed.safetyMode = true;
    changed.pressureIndex = 0;
    changed.zeroIndex = 1;
    changed.vPotiLeftItem = QStringLiteral("1,5 mV/V");
    changed.vPotiRightItem = QStringLiteral("1,0 mV/V");
    QTest::newRow("changed") << changed << true
                             << QStringList{"R1POL 1",   "R2POL 0",      "al1hy 2.0",
                                            "al2hy 0.5", "druck -1",     "vpoa 1.5",
                                            "vpoe 1.0",  "nullpo -0.25", "sich 1"}
                             << QList<double>{0.2, 0.2, 0.2, 0.2, 0.0, 0.2, 0.2, 0.2, 0.0};

    SetupFields empty;
    empty.pressureIndex = -1;
    empty.zeroIndex = -1;
    QTest::newRow("fields without value are sent all the same")
        << empty << true << QStringList{"R1POL 0", "R2POL 0", "al1hy ",     "al2hy ", "druck -2",
                                        "vpoa ",   "vpoe ",   "nullpo 0.0", "sich 0"}
        << QList<double>{0.2, 0.2, 0.2, 0.2, 0.0, 0.2, 0.2, 0.2, 0.0};
}

void TestSetupText::commands() {
    QFETCH(SetupFields, fields);
    QFETCH(bool, strainGauge);
    QFETCH(QStringList, texts);
    QFETCH(QList<double>, pauses);
    QStringList sentTexts;
    QList<double> sentPauses;
    for (const SetupCommand &command : SetupCommands(fields, strainGauge)) {
        sentTexts << command.text;
        sentPauses << command.pauseSeconds;
    }
    QCOMPARE(sentTexts, texts);
    QCOMPARE(sentPauses, pauses);
}

void TestSetupText::fileBytesOfDefaultSetup() {
    const QDateTime savedAt(QDate(2024, 3, 1), QTime(9, 5, 7));
    QCOMPARE(SetupFile::encode(SetupFile::lines(defaultFields(), savedAt)), DefaultFile);
}

// Every value written comes back as the same number through the reading of setup texts.
void TestSetupText::fileValuesReadBack() {
    SetupFields fields = defaultFields();
    fields.hysteresis1Item = QStringLiteral("0,1 mA");
    fields.relay2DeEnergised = false;
    fields.safetyMode = true;
    fields.pressureIndex = 0;
    fields.zeroIndex = 1;
    const QString text = *TextFile::decode(
        SetupFile::encode(SetupFile::lines(fields, QDateTime::currentDateTime())));
    QVERIFY(SetupTextAccepted(text));
    QCOMPARE(ParseKeyValue(QStringLiteral("Alarm1hysterese"), text), 0.1);
    QCOMPARE(ParseKeyValue(QStringLiteral("Alarm2hysterese"), text), 0.0);
    QCOMPARE(ParseKeyValue(QStringLiteral("Relais1pol"), text), 0.0);
    QCOMPARE(ParseKeyValue(QStringLiteral("Relais2pol"), text), 1.0);
    QCOMPARE(ParseKeyValue(QStringLiteral("Druckrichtung"), text), -1.0);
    QCOMPARE(ParseKeyValue(QStringLiteral("Nullpotimitte"), text), -0.25);
    QCOMPARE(ParseKeyValue(QStringLiteral("20mA Poti links"), text), 2.0);
    QCOMPARE(ParseKeyValue(QStringLiteral("20mA Poti rechts"), text), 0.83);
    QCOMPARE(ParseKeyValue(QStringLiteral("Sicherheitsmodus"), text), 1.0);
}

void TestSetupText::decode_data() {
    const QString text = QStringLiteral(" Relais1polatität: 0\r\n Version: 3\r\n");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Windows-1252") << QByteArray(" Relais1polatit\xE4t: 0\r\n Version: 3\r\n")
                                  << text;
    QTest::newRow("Windows-1252 euro sign")
        << QByteArray("\x80 5\r\n") << QStringLiteral("€ 5\r\n");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << text;
    QByteArray le("\xFF\xFE"), be("\xFE\xFF");
    for (const QChar c : text) {
        le += char(c.unicode() & 0xFF);
        le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8);
        be += char(c.unicode() & 0xFF);
    }
    QTest::newRow("UTF-16 LE with BOM") << le << text;
    QTest::newRow("UTF-16 BE with BOM") << be << text;
    QTest::newRow("LF line ends") << QByteArray(" Relais1polatit\xE4t: 0\n Version: 3\n") << text;
    QTest::newRow("CR line ends") << QByteArray(" Relais1polatit\xE4t: 0\r Version: 3\r") << text;
    QTest::newRow("NUL bytes") << QByteArray(" Version: 3\r\n\0\0\x01\x02", 17) << QString();
    QTest::newRow("broken UTF-8 after BOM")
        << QByteArray("\xEF\xBB\xBF Version: \xC3\x28\r\n") << QString();
}

void TestSetupText::decode() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const std::optional<QString> text = TextFile::decode(bytes);
    QCOMPARE(text.has_value(), !expected.isNull());
    if (text)
        QCOMPARE(*text, expected);
}

void TestSetupText::refusedFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    // Any text is read; whether it holds a setup is decided by the one who applies it.
    QTest::newRow("no labels read") << QByteArray("Einkaufsliste\r\nBrot\r\n") << "";
    QTest::newRow("version 2 read")
        << QByteArray(DefaultFile).replace("Version: 3", "Version: 2") << "";
    QTest::newRow("not text") << QByteArray(DefaultFile).append(QByteArray(64, '\0'))
                              << "Die Datei ist keine Textdatei.";
    QTest::newRow("huge") << DefaultFile + QByteArray(SetupFile::MaxBytes, ' ')
                          << "Die Datei ist größer als 1 MiB und keine Setup-Datei.";
    QTest::newRow("device print accepted") << DevicePrint.toLatin1() << "";
    QTest::newRow("exactly 1 MiB accepted")
        << DefaultFile + QByteArray(SetupFile::MaxBytes - DefaultFile.size(), ' ') << "";
}

void TestSetupText::refusedFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("setup.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    const SetupFile::Loaded loaded = SetupFile::load(path);
    QCOMPARE(loaded.error, reason);
    QCOMPARE(loaded.text.isEmpty(), !reason.isEmpty());
}

void TestSetupText::saveReplacesWholeFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("setup.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();
    QCOMPARE(FileWriter::save(path, DefaultFile), QString());
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), DefaultFile);
    // Nothing of the temporary file stays behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"setup.txt"});
}

void TestSetupText::saveIntoMissingFolderFails() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fehlt/setup.txt"));
    QVERIFY(!FileWriter::save(path, DefaultFile).isEmpty());
    QVERIFY(!QFile::exists(path));
    QVERIFY(!SetupFile::load(path).error.isEmpty());
}

void TestSetupText::defaultExtension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension") << "/tmp/anlage"
                                  << "/tmp/anlage.txt";
    QTest::newRow("other extension") << "/tmp/anlage.cfg"
                                     << "/tmp/anlage.cfg";
    QTest::newRow("point only in the folder") << "/tmp/v1.2/anlage"
                                              << "/tmp/v1.2/anlage.txt";
    QTest::newRow("Windows folder with point") << "C:\\v1.2\\anlage"
                                               << "C:\\v1.2\\anlage.txt";
}

void TestSetupText::defaultExtension() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(TextFile::withDefaultExtension(name), expected);
}

QTEST_GUILESS_MAIN(TestSetupText)
#include "tst_setuptext.moc"
