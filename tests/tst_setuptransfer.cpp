#include "core/link/allgem.h"
#include "core/setup/setuptransfer.h"
#include "deviceprint.h"
#include "gui/setup/setupactions.h"
#include "setupstate.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace setupstate;

// The setup between the dialogs and the device (a device in memory, real pacing), the default
// and the setup file; at the end the whole way through the simulated device.
class TestSetupTransfer : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void defaultSetup();
    void applySetupText_data();
    void applySetupText();
    void upload_data();
    void upload();
    void download();
    void fileRoundTrip_data();
    void fileRoundTrip();
    void openVariants_data();
    void openVariants();
    void openRefused_data();
    void openRefused();
    void openNoSetup_data();
    void openNoSetup();
    void saveFails();
    void fileDialogsCancelled();
    void fileDialogsTakeTypedNames();
    void simulatedDevice_data();
    void simulatedDevice();

private:
    struct Box {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };
    // Answers the next message box with OK and keeps what it showed.
    void answerNextBox();
    Box takeBox(const QMessageBox *box);
    QString state() const;
    void connectFakeDevice();
    QString writeFile(const QString &name, const QByteArray &bytes);

    std::unique_ptr<WindowRig> m_rig;
    FakeSerialPort *m_port = nullptr;
    Tform1 *m_form = nullptr;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<Box> m_boxes;
};

namespace {

// Types a name into the file dialog that comes up next and confirms it. A question the dialog
// asks on its own is kept and answered with its default; a dialog that stays open is closed.
void typeIntoNextFileDialog(QObject *context, const QString &name, QStringList *questions) {
    onNextModal(context, [context, name, questions](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        // Only a question asked while the name is confirmed counts.
        auto confirming = std::make_shared<bool>(true);
        onNextModal(context, [dialog, questions, confirming](QWidget *question) {
            if (!*confirming || question == dialog)
                return;
            if (auto *box = qobject_cast<QMessageBox *>(question))
                *questions << box->text();
            question->close();
        });
        // What the dialog's own button does.
        static_cast<QDialog *>(dialog)->accept();
        *confirming = false;
        if (dialog->isVisible())
            dialog->reject();
    });
}

} // namespace

namespace {

// Windows-1252 on the line and in files, ending with its last line end.
const QByteArray DevicePrint = ExampleDevicePrint.toLatin1() + "\r\n";

// The dialogs after the example print.
const QString PrintState =
    QStringLiteral("[x] 211 | [x] 221 | 0,0 mA 230 | 0,0 mA 240 | [ ] --- // "
                   "2,5 mV/V 435 | 0,83 mV/V 445 | -0,50  mV/V 455 +0,50 mV/V 455 | radio 2 415");
const QString DefaultState = DefaultRelais + " // " + DefaultEinst;
// Something else than the default and the print.
const QString OtherState =
    QStringLiteral("[ ] 212 | [x] 221 | 0,5 mA 232 | 0,1 mA 241 | [ ] --- // "
                   "2,5 mV/V 435 | 1,5 mV/V 443 | -0,75  mV/V 452 +0,25 mV/V 452 | radio 0 412");

const QString ReadError = QStringLiteral("Beim Einlesen ist ein Fehler aufgetreten (KT290 ein?).");

QString printText() {
    return QString::fromLatin1(DevicePrint);
}

} // namespace

void TestSetupTransfer::init() {
    m_rig = WindowRig::make({{QStringLiteral("/fake/1")}, true});
    m_port = m_rig->device;
    m_form = m_rig->form();
    setSwitchPoints(*m_rig->windows.setup, false, true, 0.5, 0.1, false);
    setRanges(*m_rig->windows.setup, -1, -0.25, 1.5, 2.5);
    QCOMPARE(state(), OtherState);
    m_dir = std::make_unique<QTemporaryDir>();
    m_boxes.clear();
}

void TestSetupTransfer::cleanup() {
    m_rig.reset();
    m_form = nullptr;
    m_dir.reset();
}

void TestSetupTransfer::answerNextBox() {
    onNextModal(this, [this](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            modal->close();
            return;
        }
        m_boxes << takeBox(box);
        box->button(QMessageBox::Ok)->click();
    });
}

TestSetupTransfer::Box TestSetupTransfer::takeBox(const QMessageBox *box) {
    return Box{box->windowTitle(), box->text(), box->icon()};
}

QString TestSetupTransfer::state() const {
    return relaisState(*m_rig->windows.frelais) + " // " + einstState(*m_rig->windows.feinst);
}

// The device's port is open and the main window shows it connected.
void TestSetupTransfer::connectFakeDevice() {
    QCOMPARE(m_rig->open(), QString());
}

QString TestSetupTransfer::writeFile(const QString &name, const QByteArray &bytes) {
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return path;
}

void TestSetupTransfer::defaultSetup() {
    answerNextBox();
    m_form->Default1->trigger();
    QCOMPARE(state(), DefaultState);
    QCOMPARE(m_form->statusPanelText(1), QStringLiteral("default Setup"));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].caption, ApplicationTitle());
    QCOMPARE(m_boxes[0].text,
             QStringLiteral("Das Setup wurde auf default eingestellt. (Codetaste T1 = 555)"));
    QCOMPARE(m_boxes[0].icon, QMessageBox::NoIcon);
    QVERIFY(m_port->writes.isEmpty());
}

void TestSetupTransfer::applySetupText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("expected");
    QTest::newRow("example print") << printText() << false << PrintState;
    QTest::newRow("version 2") << QString(printText()).replace("Version: 3", "Version: 2") << true
                               << OtherState;
    QTest::newRow("safety mode without blank")
        << QStringLiteral("Version: 3\r\nSicherheitsmodus: 0\r\n") << true << OtherState;
    QTest::newRow("safety mode unreadable")
        << QString(printText()).replace("Sicherheitsmodus: 0", "Sicherheitsmodus: aus") << true
        << OtherState;
    // A centre or direction that fits no integer leaves only its own field empty.
    QTest::newRow("no centre")
        << QString(printText()).remove(" Nullpotimitte   : 0.000000\r\n") << false
        << "[x] 211 | [x] 221 | 0,0 mA 230 | 0,0 mA 240 | [ ] --- // "
           "2,5 mV/V 435 | 0,83 mV/V 445 | <none> <none> <none> <none> | radio 2 415";
    QTest::newRow("direction 2147483647")
        << QString(printText()).replace("Druckrichtung   : 1", "Druckrichtung   : 2147483647")
        << false
        << "[x] 211 | [x] 221 | 0,0 mA 230 | 0,0 mA 240 | [ ] --- // "
           "2,5 mV/V 435 | 0,83 mV/V 445 | -0,50  mV/V 455 +0,50 mV/V 455 | radio <none> <none>";
}

void TestSetupTransfer::applySetupText() {
    QFETCH(QString, text);
    QFETCH(bool, refused);
    QFETCH(QString, expected);
    QCOMPARE(m_rig->windows.setup->applyText(text, CurrentSetup::Origin::File), !refused);
    QCOMPARE(state(), expected);
}

void TestSetupTransfer::upload_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("expected");
    QTest::newRow("device print") << DevicePrint << false << PrintState;
    QTest::newRow("print without centre")
        << QByteArray(DevicePrint).replace(" Nullpotimitte   : 0.000000\r\n", "") << false
        << "[x] 211 | [x] 221 | 0,0 mA 230 | 0,0 mA 240 | [ ] --- // "
           "2,5 mV/V 435 | 0,83 mV/V 445 | <none> <none> <none> <none> | radio 2 415";
    // The read clears the value controls; the other code lists keep what they showed.
    QTest::newRow("silent device")
        << QByteArray() << true
        << "[ ] 212 | [ ] 222 | <none> 232 | <none> 241 | [ ] --- // "
           "<none> 435 | <none> 443 | <none> 452 +0,25 mV/V 452 | radio <none> 412";
}

void TestSetupTransfer::upload() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, refused);
    QFETCH(QString, expected);
    connectFakeDevice();
    m_port->answer = [&answer](const QByteArray &line) {
        return line == "spr" ? answer : QByteArray();
    };
    answerNextBox();
    m_form->BitBtnUpload->click();

    QCOMPARE(state(), expected);
    QCOMPARE(m_boxes.size(), refused ? 1 : 0);
    QCOMPARE(m_form->statusPanelText(1), QStringLiteral("Setup vom KT 290"));
    QCOMPARE(m_form->MemoSetup->toPlainText().isEmpty(), answer.isEmpty());
    QVERIFY(m_form->MemoSetup->toPlainText().startsWith(
        QString::fromLatin1(answer).section(QLatin1Char('\r'), 0, 0).trimmed()));
    QVERIFY(m_form->BitBtnUpload->isEnabled());
    QVERIFY(m_form->ProgressBar1->isHidden());
    QVERIFY(m_port->commands.size() >= 1);
    for (const QByteArray &command : m_port->commands)
        QCOMPARE(command, QByteArray("spr"));
}

// The commands of the setup in the device's order and pauses, then "swr1", a second for the
// device to store, then the read-out.
void TestSetupTransfer::download() {
    connectFakeDevice();
    setSwitchPoints(*m_rig->windows.setup, true, true, 2.0, 0.0, false);
    setRanges(*m_rig->windows.setup, -1, 0.0, 0.8333, 2.0);
    m_port->answer = [this](const QByteArray &line) {
        // The device's setup before the write, for the backup.
        if (line == "spr")
            return DevicePrint;
        if (line != "inpmv")
            return QByteArray();
        // The read-out has begun: the device goes away, which ends it quickly.
        QTimer::singleShot(250, this, [this] { m_port->pullPlug(); });
        return QByteArray("inpmv 1\r\n");
    };
    m_form->BitBtnDownload->click();

    const QList<QByteArray> expected{"spr",        "R1POL 0",  "R2POL 0",  "al1hy 2.0",
                                     "al2hy 0.0",  "druck -1", "vpoa 2.0", "vpoe 0.83",
                                     "nullpo 0.0", "sich 0",   "swr1",     "inpmv"};
    QCOMPARE(m_port->commands.mid(0, expected.size()), expected);

    // Time from the CR of each set command to the first character of the next one.
    QList<qint64> gaps;
    qint64 lastCr = -1;
    bool backupRead = false;
    QByteArray previous;
    for (const FakeSerialPort::Write &write : std::as_const(m_port->writes)) {
        if (!backupRead) {
            // The CR of "spr" (a CR alone first cleans the line of the opened port).
            backupRead = write.bytes.endsWith('\r') && previous.endsWith('r');
            previous = write.bytes;
            continue;
        }
        if (lastCr >= 0) {
            gaps << write.atMs - lastCr;
            lastCr = -1;
        }
        if (write.bytes.endsWith('\r'))
            lastCr = write.atMs;
    }
    QVERIFY(gaps.size() >= 10);
    const QList<bool> paused{true, true, true, true, false, true, true, true, false};
    for (int i = 0; i < paused.size(); ++i) {
        if (paused[i])
            QVERIFY2(gaps[i] >= 240,
                     qPrintable(QStringLiteral("after %1: %2 ms").arg(i).arg(gaps[i])));
        else
            QVERIFY2(gaps[i] < 230,
                     qPrintable(QStringLiteral("after %1: %2 ms").arg(i).arg(gaps[i])));
    }
    // After "swr1": one second, then the read-out discards stale input before asking.
    QVERIFY2(gaps[9] >= 1000, qPrintable(QString::number(gaps[9])));
    QVERIFY(m_form->ProgressBar1->isHidden());
    // The device went away during the read-out: the button stays off with the connection.
    QVERIFY(!m_form->isConnected());
    QVERIFY(!m_form->BitBtnDownload->isEnabled());
}

void TestSetupTransfer::fileRoundTrip_data() {
    QTest::addColumn<bool>("strainGauge");
    QTest::newRow("strain-gauge model") << true;
    QTest::newRow("current-input model") << false;
}

// The default setup saved on either model gives the same ten lines and reads back to it.
void TestSetupTransfer::fileRoundTrip() {
    QFETCH(bool, strainGauge);
    m_form->conversation().setStrainGauge(strainGauge);
    answerNextBox();
    m_form->Default1Click();

    const QString chosen = m_dir->filePath(QStringLiteral("anlage"));
    m_rig->windows.setupActions->chooseFile = [&](QFileDialog *dialog) {
        return dialog == m_form->SaveDialog1 ? chosen : QString();
    };
    m_form->Speichern1->trigger();
    QVERIFY(!QFile::exists(chosen));
    QFile file(chosen + ".txt");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines.takeLast(), QByteArray());
    const QByteArray line2 = lines.takeAt(1);
    QVERIFY2(QRegularExpression("^gespeichert am \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\r$")
                 .match(QString::fromLatin1(line2))
                 .hasMatch(),
             line2.constData());
    const QList<QByteArray> expected{"KT290-Setup\r",
                                     " Version: 3\r",
                                     " Alarm1hysterese : 0.0   Alarm2hysterese : 0.0\r",
                                     " Relais1polatit\xE4t: 0   Relais2polatit\xE4t: 0\r",
                                     " Druckrichtung   : 1\r",
                                     " Nullpotimitte   : 0.0\r",
                                     " 20mA Poti links : 2.0\r",
                                     " 20mA Poti rechts: 0.83\r",
                                     " Sicherheitsmodus: 0\r"};
    QCOMPARE(lines, expected);
    QVERIFY(m_form->Speichern1->isEnabled());
    QCOMPARE(m_form->statusPanelText(1), QStringLiteral("default Setup"));

    setSwitchPoints(*m_rig->windows.setup, false, true, 0.5, 0.1, false);
    setRanges(*m_rig->windows.setup, -1, -0.25, 1.5, 2.5);
    m_rig->windows.setupActions->chooseFile = [&](QFileDialog *dialog) {
        return dialog == m_form->OpenDialog1 ? chosen + ".txt" : QString();
    };
    m_form->ffnen1->trigger();
    QCOMPARE(state(), DefaultState);
    QCOMPARE(m_form->statusPanelText(1),
             "Setup aus Datei " + QDir::toNativeSeparators(chosen + ".txt"));
    QVERIFY(m_form->ffnen1->isEnabled());
    QVERIFY(m_form->Speichern1->isEnabled());
    QCOMPARE(m_boxes.size(), 1); // the default's
}

void TestSetupTransfer::openVariants_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    const QByteArray saved = " Version: 3\r\n"
                             " Alarm1hysterese : 0.5   Alarm2hysterese : 0.1\r\n"
                             " Relais1polatit\xE4t: 1   Relais2polatit\xE4t: 0\r\n"
                             " Druckrichtung   : -1\r\n"
                             " Nullpotimitte   : -0.25\r\n"
                             " 20mA Poti links : 2.5\r\n"
                             " 20mA Poti rechts: 1.5\r\n"
                             " Sicherheitsmodus: 0\r\n";
    QTest::newRow("saved lines") << QByteArray("KT290-Setup\r\n") + saved << OtherState;
    QList<QByteArray> lines = saved.split('\n');
    lines.removeLast();
    std::reverse(lines.begin(), lines.end());
    QTest::newRow("other order") << lines.join('\n') + '\n' << OtherState;
    QTest::newRow("device print") << DevicePrint << PrintState;
    QTest::newRow("UTF-8 with BOM")
        << QByteArray("\xEF\xBB\xBF") + QString::fromLatin1(saved).toUtf8() << OtherState;
    QByteArray utf16("\xFF\xFE");
    const QString text = QString::fromLatin1(saved);
    utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    QTest::newRow("UTF-16 with BOM") << utf16 << OtherState;
    QTest::newRow("LF line ends") << QByteArray(saved).replace("\r\n", "\n") << OtherState;
    // A hand-edited last line without line end reads like any other.
    QTest::newRow("last line without line end, off") << QByteArray(saved).chopped(2) << OtherState;
    QTest::newRow("last line without line end, on")
        << QByteArray(saved).replace("Sicherheitsmodus: 0\r\n", "Sicherheitsmodus: 1")
        << "[x] 211 | [x] 221 | 0,5 mA 232 | 0,1 mA 241 | [x] 251 // "
           "2,5 mV/V 435 | 1,5 mV/V 443 | -0,75  mV/V 452 +0,25 mV/V 452 | radio 0 412";
}

void TestSetupTransfer::openVariants() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    answerNextBox();
    m_form->Default1Click();
    const QString path = writeFile(QStringLiteral("setup.txt"), bytes);
    m_rig->windows.setupActions->chooseFile = [&](QFileDialog *) {
        return path;
    };
    m_form->BitBtnOpenClick();
    QCOMPARE(state(), expected);
    QCOMPARE(m_form->statusPanelText(1), "Setup aus Datei " + QDir::toNativeSeparators(path));
    QVERIFY(m_form->MemoSetup->toPlainText().contains(QStringLiteral("Version: 3")));
    QCOMPARE(m_boxes.size(), 1); // the default's
}

void TestSetupTransfer::openRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not text") << "bild.txt"
                              << QByteArray(" Version: 3\r\n Sicherheitsmodus: 0\r\n\0\x01\x02", 38)
                              << "Die Datei ist keine Textdatei.";
    QTest::newRow("huge") << "gross.txt"
                          << QByteArray(" Version: 3\r\n Sicherheitsmodus: 0\r\n") +
                                 QByteArray(1024 * 1024, ' ')
                          << "Die Datei ist größer als 1 MiB und keine Setup-Datei.";
    QTest::newRow("missing") << "" << QByteArray() << "";
}

// A refused file changes nothing and says why; both file menu items work again afterwards.
void TestSetupTransfer::openRefused() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString path =
        name.isEmpty() ? m_dir->filePath(QStringLiteral("fehlt.txt")) : writeFile(name, bytes);
    const QString memo = m_form->MemoSetup->toPlainText();
    m_rig->windows.setupActions->chooseFile = [&](QFileDialog *) {
        return path;
    };
    answerNextBox();
    m_form->BitBtnOpenClick();

    QCOMPARE(state(), OtherState);
    QCOMPARE(m_form->statusPanelText(1), QStringLiteral("default Setup"));
    QCOMPARE(m_form->MemoSetup->toPlainText(), memo);
    QVERIFY(m_form->ffnen1->isEnabled());
    QVERIFY(m_form->Speichern1->isEnabled());
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
    const QString start =
        "Datei " + QDir::toNativeSeparators(path) + " kann nicht geöffnet werden. ";
    QVERIFY2(m_boxes[0].text.startsWith(start), qPrintable(m_boxes[0].text));
    const QString shownReason = m_boxes[0].text.mid(start.size());
    if (reason.isEmpty())
        QVERIFY(!shownReason.isEmpty()); // the system's own
    else
        QCOMPARE(shownReason, reason);
}

void TestSetupTransfer::openNoSetup_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no labels") << QByteArray("Brot\r\nMilch\r\n");
    QTest::newRow("version 2") << QByteArray(" Version: 2\r\n Sicherheitsmodus: 0\r\n");
    QTest::newRow("safety mode without its blank")
        << QByteArray(" Version: 3\r\nSicherheitsmodus: 0\r\n");
}

// A text that holds no setup was read; it is refused with the warning a device answer without
// a setup gets, and changes nothing.
void TestSetupTransfer::openNoSetup() {
    QFETCH(QByteArray, bytes);
    const QString path = writeFile(QStringLiteral("liste.txt"), bytes);
    const QString memo = m_form->MemoSetup->toPlainText();
    m_rig->windows.setupActions->chooseFile = [&](QFileDialog *) {
        return path;
    };
    answerNextBox();
    m_form->BitBtnOpenClick();

    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].caption, QStringLiteral("Fehler im String"));
    QCOMPARE(m_boxes[0].text, ReadError);
    QCOMPARE(m_boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(state(), OtherState);
    QCOMPARE(m_form->statusPanelText(1), QStringLiteral("default Setup"));
    QCOMPARE(m_form->MemoSetup->toPlainText(), memo);
    QVERIFY(m_form->ffnen1->isEnabled());
    QVERIFY(m_form->Speichern1->isEnabled());
}

void TestSetupTransfer::saveFails() {
    const QString path = m_dir->filePath(QStringLiteral("fehlt/anlage.txt"));
    m_rig->windows.setupActions->chooseFile = [&](QFileDialog *) {
        return path;
    };
    answerNextBox();
    m_form->BitBtnSaveClick();
    QCOMPARE(m_boxes.size(), 1);
    const QString start =
        "Datei \"" + QDir::toNativeSeparators(path) + "\" kann nicht erstellt werden. ";
    QVERIFY2(m_boxes[0].text.startsWith(start), qPrintable(m_boxes[0].text));
    QVERIFY(m_boxes[0].text.size() > start.size());
    QVERIFY(m_form->Speichern1->isEnabled());
    QVERIFY(!QFile::exists(path));
}

void TestSetupTransfer::fileDialogsCancelled() {
    QList<QFileDialog *> asked;
    m_rig->windows.setupActions->chooseFile = [&](QFileDialog *dialog) {
        asked << dialog;
        return QString();
    };
    m_form->BitBtnSaveClick();
    m_form->BitBtnOpenClick();
    QCOMPARE(asked, (QList<QFileDialog *>{m_form->SaveDialog1, m_form->OpenDialog1}));
    QCOMPARE(m_form->OpenDialog1->windowTitle(), QStringLiteral("Einstellung öffnen"));
    QVERIFY(m_form->ffnen1->isEnabled());
    QVERIFY(m_form->Speichern1->isEnabled());
    QCOMPARE(state(), OtherState);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

// The real dialogs: saving under a typed name without extension replaces the ".txt" file of
// that name without a question; opening takes a name that does not exist and the program says
// why it cannot be read.
void TestSetupTransfer::fileDialogsTakeTypedNames() {
    QStringList questions;
    m_form->SaveDialog1->setDirectory(m_dir->path());
    for (const QString &typed : {QStringLiteral("anlage"), QStringLiteral("anlage.txt")}) {
        const QString older = writeFile(QStringLiteral("anlage.txt"), "alt\r\n");
        typeIntoNextFileDialog(this, typed, &questions);
        m_form->BitBtnSaveClick();
        QCOMPARE(questions, QStringList());
        QFile saved(older);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY2(saved.readAll().startsWith("KT290-Setup\r\n"), qPrintable(typed));
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("anlage"))));
        QCOMPARE(m_form->SaveDialog1->selectedFiles().value(0), older);
    }

    m_form->OpenDialog1->setDirectory(m_dir->path());
    typeIntoNextFileDialog(this, QStringLiteral("fehlt.txt"), &questions);
    answerNextBox();
    m_form->BitBtnOpenClick();
    QCOMPARE(questions, QStringList());
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].text.startsWith(
                 "Datei " + QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("fehlt.txt"))) +
                 " kann nicht geöffnet werden. "),
             qPrintable(m_boxes[0].text));
    QCOMPARE(state(), OtherState);
}

void TestSetupTransfer::simulatedDevice_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QList<bool>>("paused");
    QTest::addColumn<QString>("readBack");
    QTest::addColumn<QString>("cleared");
    QTest::newRow("strain-gauge model")
        << "X1" << QStringList{"R1POL 1",  "R2POL 0",  "al1hy 1.0",   "al2hy 0.5", "druck -1",
                               "vpoa 1.0", "vpoe 1.5", "nullpo 0.25", "sich 0"}
        << QList<bool>{true, true, true, true, false, true, true, true, false}
        << "[ ] 212 | [x] 221 | 1,0 mA 233 | 0,5 mA 242 | [ ] --- // "
           "1,0 mV/V 433 | 1,5 mV/V 443 | -0,25  mV/V 453 +0,75 mV/V 453 | radio 0 412"
        << "[ ] 212 | [ ] 222 | <none> 233 | <none> 242 | [ ] --- // "
           "<none> 433 | <none> 443 | <none> 453 +0,75 mV/V 453 | radio <none> 412";
    // Without the strain-gauge part the device keeps its own potentiometer settings.
    QTest::newRow("current-input model")
        << "X2" << QStringList{"R1POL 1", "R2POL 0", "al1hy 1.0", "al2hy 0.5", "sich 0"}
        << QList<bool>{true, true, true, true, false}
        << "[ ] 212 | [x] 221 | 1,0 mA 233 | 0,5 mA 242 | [ ] --- // "
           "2,5 mV/V 435 | 0,83 mV/V 445 | -0,50  mV/V 455 +0,50 mV/V 455 | radio 2 415"
        << "";
}

// Connect, read the device's setup, write a changed one, read it back; then a device that has
// fallen silent.
void TestSetupTransfer::simulatedDevice() {
    QFETCH(QString, type);
    QFETCH(QStringList, sent);
    QFETCH(QList<bool>, paused);
    QFETCH(QString, readBack);
    QFETCH(QString, cleared);

    SimulatorProcess sim;
    QVERIFY(sim.start({QStringLiteral("--type"), type}));
    const auto rig = WindowRig::make({{sim.portPath()}});
    const WindowSet &windows = rig->windows;
    Tform1 *form = rig->form();
    MessageBoxCatcher boxes;
    boxes.answerWith(QMessageBox::Ok);
    const auto dialogs = [&] {
        return relaisState(*windows.frelais) + " // " + einstState(*windows.feinst);
    };

    form->BitBtnVerbinden->click();
    QVERIFY(form->isConnected());
    QCOMPARE(form->isStrainGaugeModel(), type == QLatin1String("X1"));

    form->BitBtnUpload->click();
    QCOMPARE(dialogs(), PrintState);
    QVERIFY(form->MemoSetup->toPlainText().contains(QStringLiteral("poti[0]")));
    QCOMPARE(form->statusPanelText(1), QStringLiteral("Setup vom KT 290"));

    setSwitchPoints(*windows.setup, false, true, 1.0, 0.5, false);
    setRanges(*windows.setup, -1, 0.25, 1.5, 1.0);
    const qsizetype commandsBefore = sim.commands().size();
    const qsizetype bytesBefore = sim.bytes().size();
    form->BitBtnDownload->click();
    const QStringList commands = sim.commands().mid(commandsBefore);
    QCOMPARE(commands.mid(0, sent.size() + 3),
             QStringList{"spr"} + sent + QStringList({"swr1", "inpmv"}));
    QVERIFY(form->BitBtnDownload->isEnabled());

    // The pause after each set command: from its CR to the next command's first character. The
    // backup's "spr" comes first.
    const auto bytes = sim.bytes().mid(bytesBefore);
    QList<double> gaps;
    for (qsizetype i = 1; i < bytes.size() && gaps.size() <= paused.size() + 1; ++i) {
        if (bytes.at(i - 1).second == '\r')
            gaps << bytes.at(i).first - bytes.at(i - 1).first;
    }
    gaps.removeFirst();
    QCOMPARE(gaps.size(), paused.size() + 1);
    for (qsizetype i = 0; i < paused.size(); ++i) {
        const QByteArray where = commands.at(i).toLatin1() + ": " + QByteArray::number(gaps[i]);
        QVERIFY2(paused[i] ? gaps[i] >= 0.23 : gaps[i] < 0.2, where.constData());
    }
    QVERIFY2(gaps.last() >= 1.0, QByteArray::number(gaps.last()).constData()); // after "swr1"

    form->Default1Click();
    QCOMPARE(dialogs(), DefaultState);
    boxes.boxes.clear();
    form->BitBtnUpload->click();
    QCOMPARE(dialogs(), readBack);
    QVERIFY(boxes.boxes.isEmpty());

    if (cleared.isEmpty())
        return;
    QVERIFY(sim.control(QStringLiteral("fault silent")));
    form->BitBtnUpload->click();
    QCOMPARE(dialogs(), cleared);
    QCOMPARE(int(boxes.boxes.size()), 1);
    QCOMPARE(boxes.boxes[0].text, ReadError);
    QCOMPARE(form->MemoSetup->toPlainText(), QString());
    QCOMPARE(form->statusPanelText(1), QStringLiteral("Setup vom KT 290"));
}

QTEST_MAIN(TestSetupTransfer)
#include "tst_setuptransfer.moc"
