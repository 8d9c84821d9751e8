#include "core/link/allgem.h"
#include "core/setup/setupfields.h"
#include "core/setup/setuptext.h"
#include "core/system/textfile.h"
#include "gui/main/fmain1.h"
#include "setupstate.h"
#include "windowrig.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace setupstate;

// Random setup texts, made of the pieces real ones are made of and of arbitrary characters, for
// the reading of setup texts and for applying them to the dialogs: no crash, no hang, and the
// dialogs always end in a consistent state. The seed is fixed so that a failure repeats.
class TestSetupFuzz : public QObject {
    Q_OBJECT

private slots:
    void parseKeyValue();
    void decodeBytes();
    void applySetupText();
};

namespace {

constexpr quint32 Seed = 290;

const QStringList Keys{"Version",         " Sicherheitsmodus", "Relais1pol",       "Relais2pol",
                       "Alarm1hysterese", "Alarm2hysterese",   "Sicherheitsmodus", "Druckrichtung",
                       "Nullpotimitte",   "20mA Poti links",   "20mA Poti rechts"};
const QStringList Pieces{":",   " ",   "  ",     "\r\n",  "\r",         "\n",     "\t",
                         "-",   ".",   ",",      "e",     "E+",         "0",      "1",
                         "2",   "0.5", "0.8333", "-0.25", "2147483647", "1e12",   "1e400",
                         "nan", "inf", "mA",     "ä",     "\xE4",       "poti[0]"};

QString randomText(QRandomGenerator &random, int maxPieces) {
    QString text;
    const int pieces = random.bounded(maxPieces + 1);
    for (int i = 0; i < pieces; ++i) {
        switch (random.bounded(4)) {
        case 0:
            text += Keys.at(random.bounded(Keys.size()));
            break;
        case 1:
        case 2:
            text += Pieces.at(random.bounded(Pieces.size()));
            break;
        default:
            text += QChar(char16_t(random.bounded(0x10000)));
            break;
        }
    }
    return text;
}

// Every value list and its code list show the same item; the safety mode only with both
// polarities; a pressure direction code only with the radio item that belongs to it.
void verifyConsistent(const Tfrelais &r, const Tfeinst &e) {
    QCOMPARE(r.ComboBoxR1Pol->currentIndex(), r.CheckBoxR1Pol->isChecked() ? 0 : 1);
    QCOMPARE(r.ComboBoxR2Pol->currentIndex(), r.CheckBoxR2Pol->isChecked() ? 0 : 1);
    QCOMPARE(r.ComboBox251->currentIndex(), r.CheckBox251->isChecked() ? 0 : 1);
    if (r.CheckBox251->isChecked())
        QVERIFY(r.CheckBoxR1Pol->isChecked() && r.CheckBoxR2Pol->isChecked());
    QCOMPARE(r.ComboBoxR1Hy->currentIndex(), r.ComboBoxAl1Hy->currentIndex());
    QCOMPARE(r.ComboBoxR2Hy->currentIndex(), r.ComboBoxAl2Hy->currentIndex());
    QCOMPARE(e.ComboBoxVPotiLF->currentIndex(), e.ComboBoxVPotiL->currentIndex());
    QCOMPARE(e.ComboBoxVPotiRF->currentIndex(), e.ComboBoxVPotiR->currentIndex());
    for (const QComboBox *zero : {e.ComboBox0PotiLF, e.ComboBox0PotiR, e.ComboBox0PotiRF})
        QCOMPARE(zero->currentIndex(), e.ComboBox0PotiL->currentIndex());
    const int radio = e.RadioGroupZD->itemIndex();
    const int code = e.ComboBoxZD->currentIndex();
    QVERIFY(code == radio || (code == -1 && radio == 2));
}

} // namespace

void TestSetupFuzz::parseKeyValue() {
    QRandomGenerator random(Seed);
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomText(random, 60);
        const QString key =
            random.bounded(4) == 0 ? randomText(random, 3) : Keys.at(random.bounded(Keys.size()));
        const double value = ParseKeyValue(key, text);
        QVERIFY2(std::isfinite(value), qPrintable(text));
        if (HasValue(value))
            QVERIFY(text.contains(key));
        for (const QChar c : ExtractNumber(text))
            QVERIFY(c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char(','));
    }
}

void TestSetupFuzz::decodeBytes() {
    QRandomGenerator random(Seed);
    const QByteArray marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    for (int round = 0; round < 5000; ++round) {
        QByteArray bytes = marks[random.bounded(4)];
        const int size = random.bounded(200);
        for (int i = 0; i < size; ++i)
            bytes += char(random.bounded(256));
        const std::optional<QString> text = TextFile::decode(bytes);
        if (text) {
            QVERIFY(!text->contains(QChar(0)));
            QVERIFY(!text->contains(QRegularExpression(QStringLiteral("\r(?!\n)|(?<!\r)\n"))));
        }
    }
}

void TestSetupFuzz::applySetupText() {
    const auto rig = WindowRig::make({{}, true});
    const WindowSet &windows = rig->windows;

    QRandomGenerator random(Seed);
    const QStringList accepted{QStringLiteral(" Version: 3\r\n Sicherheitsmodus: 0\r\n"),
                               QStringLiteral(" Version: 3\r\n Sicherheitsmodus: 1\r\n")};
    int applied = 0;
    for (int round = 0; round < 1500; ++round) {
        // Mostly texts that pass the version check, so that the dialogs take their values; the
        // labels in front of the random part or after it.
        QString text = randomText(random, 40);
        switch (random.bounded(5)) {
        case 0:
            break;
        case 1:
            text += QStringLiteral("\r\n") + accepted.at(random.bounded(2));
            break;
        default:
            text.prepend(accepted.at(random.bounded(2)));
            break;
        }
        const QString before = relaisState(*windows.frelais) + einstState(*windows.feinst);
        windows.setup->applyText(text, CurrentSetup::Origin::File);
        if (SetupTextAccepted(text))
            ++applied;
        else
            QCOMPARE(relaisState(*windows.frelais) + einstState(*windows.feinst), before);
        verifyConsistent(*windows.frelais, *windows.feinst);
        if (QTest::currentTestFailed()) {
            qWarning() << "text:" << text;
            return;
        }
    }
    QVERIFY(applied > 900);
}

QTEST_MAIN(TestSetupFuzz)
#include "tst_setupfuzz.moc"
