#include "core/link/allgem.h"
#include "gui/diag/servicerecorddialog.h"
#include "gui/diag/ulive.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "gui/help/uinfo.h"
#include "gui/help/upotikontr.h"
#include "gui/main/fmain1.h"
#include "gui/main/formcontrols.h"
#include "gui/main/germantexts.h"
#include "gui/main/umehr.h"
#include "gui/setup/ueinst.h"
#include "gui/setup/urelais.h"
#include "windowrig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

// How a window is brought into the state to be looked at: its values set, then shown.
using Prepare = std::function<QWidget *(WindowSet &windows)>;

// The values a read-out writes into the main window's fields, in the read-out's own format.
struct Readout {
    QString type;
    QString input;
    QString output;
    QString switchPoint;
};

QWidget *showMainWindow(WindowSet &windows, const Readout &values, bool strainGauge) {
    Tform1 *form = windows.form1;
    form->StaticTextTyp->setText(values.type);
    form->StaticTextHwVersion->setText(QStringLiteral("HW-Version 2.0"));
    form->StaticTextSwVersion->setText(QStringLiteral("SW-Version 3.12"));
    form->StaticTextFnr->setText(QStringLiteral("2147483647"));
    form->StaticTextSetupsperre->setText(QStringLiteral("ein"));
    for (QLabel *input : {form->StaticTextMv, form->StaticTextMv02})
        input->setText(values.input);
    for (QLabel *output : {form->StaticTextMa, form->StaticTextMa02})
        output->setText(values.output);
    for (QLabel *point :
         {form->StaticTextSp1, form->StaticTextSp2, form->StaticTextSP102, form->StaticTextSP202})
        point->setText(values.switchPoint);
    form->Panel1->setVisible(strainGauge);
    form->Panel2->setVisible(!strainGauge);
    form->show();
    return form;
}

template <typename Window> Prepare dialog(Window *WindowSet::*member) {
    return [member](WindowSet &windows) -> QWidget * {
        QWidget *window = windows.*member;
        window->show();
        return window;
    };
}

// What a control shows and the room it has for it, in the control's font; empty for controls
// without text.
struct Room {
    QString text;
    QRect rect;
    int flags = 0;
};

QString withoutShortcutMark(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1);
    }
    return text;
}

QList<Room> roomsOf(const QWidget *control) {
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        const int m = label->margin();
        const int wrap = label->wordWrap() ? int(Qt::TextWordWrap) : 0;
        return {{label->text(), label->contentsRect().adjusted(m, m, -m, -m),
                 int(label->alignment()) | wrap}};
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        QStyle::SubElement element = QStyle::SE_PushButtonContents;
        if (qobject_cast<const QCheckBox *>(button))
            element = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<const QRadioButton *>(button))
            element = QStyle::SE_RadioButtonContents;
        else if (const auto *push = qobject_cast<const QPushButton *>(button);
                 push && push->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        QRect rect = button->style()->subElementRect(element, &option, button);
        if (!button->icon().isNull())
            rect.setLeft(rect.left() + button->iconSize().width() + 4);
        return {{withoutShortcutMark(button->text()), rect, 0}};
    }
    if (const auto *list = qobject_cast<const QComboBox *>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        option.frame = list->hasFrame();
        const QRect rect = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, list);
        QList<Room> rooms;
        for (int i = 0; i < list->count(); ++i)
            rooms << Room{list->itemText(i), rect, 0};
        return rooms;
    }
    if (const auto *menu = qobject_cast<const QMenuBar *>(control)) {
        QList<Room> rooms;
        // An item the bar has no room for gets no place in it.
        for (QAction *action : menu->actions())
            rooms << Room{withoutShortcutMark(action->text()), menu->actionGeometry(action), 0};
        return rooms;
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Prepare)

// Every text the program shows is German and whole, under Debian's default fonts.
class TestTexts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void qtTextsAreGerman();
    void textsFit_data();
    void textsFit();
    void valueTooLongKeepsItsStart();
};

void TestTexts::initTestCase() {
    QVERIFY2(loadGermanTexts(*qApp), "Qt's German translations are missing "
                                     "(Debian package qt6-translations-l10n)");
    // The windows ask for fonts of another system, which a Debian desktop replaces by DejaVu
    // Sans, its default and among the widest. The measurements are made with it even where other
    // replacements are installed.
    const QString debianFont = QStringLiteral("DejaVu Sans");
    QFont applicationFont = QApplication::font();
    applicationFont.setFamily(debianFont);
    QApplication::setFont(applicationFont);
    for (const char *family : {"MS Sans Serif", "Arial", "Tahoma", "System"}) {
        QFont::insertSubstitution(QLatin1String(family), debianFont);
        const QFontInfo resolved{QFont(QLatin1String(family))};
        QVERIFY2(resolved.family() == debianFont,
                 qPrintable(QStringLiteral("%1 resolves to %2, not to DejaVu Sans "
                                           "(Debian package fonts-dejavu-core)")
                                .arg(QLatin1String(family), resolved.family())));
    }
}

void TestTexts::qtTextsAreGerman() {
    QMessageBox question(QMessageBox::Question, QStringLiteral("Bestätigung"), QStringLiteral("?"),
                         QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(question.button(QMessageBox::Cancel)->text(), QStringLiteral("Abbrechen"));

    QFileDialog files(nullptr, QStringLiteral("Einstellung öffnen"));
    files.setOption(QFileDialog::DontUseNativeDialog);
    QCOMPARE(files.findChild<QLabel *>(QStringLiteral("lookInLabel"))->text(),
             QStringLiteral("Suchen in:"));
    QCOMPARE(files.findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text(),
             QStringLiteral("Datei&name:"));

    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList commands;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            commands << action->text().section(QLatin1Char('\t'), 0, 0);
    }
    QVERIFY2(commands.contains(QStringLiteral("&Rückgängig")), qPrintable(commands.join(", ")));
    QVERIFY2(commands.contains(QStringLiteral("Alles auswählen")), qPrintable(commands.join(", ")));

    // The system's reason inside the program's own error boxes.
    QTemporaryDir dir;
    QFile folder(dir.path());
    QVERIFY(!folder.open(QIODevice::ReadOnly));
    QCOMPARE(folder.errorString(), QStringLiteral("die zu öffnende Datei ist ein Verzeichnis"));
    QFile missing(dir.filePath(QStringLiteral("fehlt.txt")));
    QVERIFY(!missing.open(QIODevice::ReadOnly));
    QCOMPARE(missing.errorString(),
             QStringLiteral("Die Datei oder das Verzeichnis konnte nicht gefunden werden"));

    // The file dialogs' dates, as their file model writes them.
    QFile dated(dir.filePath(QStringLiteral("datum.txt")));
    QVERIFY(dated.open(QIODevice::WriteOnly));
    QVERIFY(dated.setFileTime(QDateTime(QDate(2026, 12, 10), QTime(14, 5)),
                              QFileDevice::FileModificationTime));
    dated.close();
    QFileSystemModel model;
    model.setRootPath(dir.path());
    QModelIndex entry;
    QTRY_VERIFY((entry = model.index(dated.fileName(), 3)).isValid() &&
                !model.data(entry).toString().isEmpty());
    QCOMPARE(model.data(entry).toString(), QStringLiteral("10.12.26 14:05"));
}

void TestTexts::textsFit_data() {
    QTest::addColumn<Prepare>("prepare");
    const QString x1 = QStringLiteral("KT 290.X1 - DMS-Schaltverstärker");
    const QString x2 = QStringLiteral("KT 290.X2 - Strom-Schaltverstärker");
    // The widest a read-out writes: negative values, and the exponent form of a device that
    // answers with a number beyond five digits (here the largest single-precision number).
    const Readout strainGauge{x1, FormatFixed(-10.0, 5, 3) + "mV/V", FormatFixed(20.5, 5, 2) + "mA",
                              FormatFixed(-16.5, 5, 2) + "mA"};
    const Readout current{x2, FormatFixed(-12.345, 5, 2) + "mA", FormatFixed(-10.0, 5, 2) + "mA",
                          FormatFixed(16.5, 5, 2) + "mA"};
    const double huge = -3.4028e38;
    const Readout exponent{x2, FormatFixed(huge, 5, 3) + "mV/V", FormatFixed(huge, 5, 2) + "mA",
                           FormatFixed(huge, 5, 2) + "mA"};
    QCOMPARE(strainGauge.input, QStringLiteral("-10,000mV/V"));
    QCOMPARE(exponent.input, QStringLiteral("-3,4028E+38mV/V"));

    QTest::newRow("main window, strain-gauge panel")
        << Prepare([=](WindowSet &windows) { return showMainWindow(windows, strainGauge, true); });
    QTest::newRow("main window, current panel")
        << Prepare([=](WindowSet &windows) { return showMainWindow(windows, current, false); });
    QTest::newRow("main window, exponent form, strain-gauge panel")
        << Prepare([=](WindowSet &windows) { return showMainWindow(windows, exponent, true); });
    QTest::newRow("main window, exponent form, current panel")
        << Prepare([=](WindowSet &windows) { return showMainWindow(windows, exponent, false); });
    QTest::newRow("main window, setup from a file in a deep folder")
        << Prepare([=](WindowSet &windows) {
               windows.form1->setStatusPanelText(
                   1, QStringLiteral("Setup aus Datei /home/techniker/Dokumente/Anlagen/Nord/"
                                     "anlage.txt"));
               return showMainWindow(windows, strainGauge, true);
           });
    QTest::newRow("switch points") << dialog(&WindowSet::frelais);
    QTest::newRow("setting ranges") << dialog(&WindowSet::feinst);
    QTest::newRow("second copy question") << dialog(&WindowSet::fmehr);
    QTest::newRow("status report") << dialog(&WindowSet::fstatus);
    QTest::newRow("log") << dialog(&WindowSet::flogfile);
    QTest::newRow("simulation") << Prepare([=](WindowSet &windows) -> QWidget * {
        windows.form1->Panel1->show();
        Tfsimul *window = windows.fsimul;
        window->show();
        window->Timer1->stop();
        window->Panel2->show();
        for (QLabel *point : {window->StaticTextSp1, window->StaticTextSp2, window->StaticTextSP102,
                              window->StaticTextSP202})
            point->setText(exponent.switchPoint);
        return window;
    });
    QTest::newRow("live view") << Prepare([=](WindowSet &windows) -> QWidget * {
        Tflive *window = windows.flive;
        window->show();
        window->StaticTextEingang->setText(exponent.input);
        window->StaticTextAusgang->setText(exponent.output);
        window->StaticTextRelais1->setText(QStringLiteral("stromlos"));
        window->StaticTextRelais2->setText(QStringLiteral("erregt"));
        window->ComboZeitraum->setCurrentIndex(window->ComboZeitraum->count() - 1);
        window->StaticTextZustand->setText(QStringLiteral("Kalibrierung läuft"));
        window->ButtonAnhalten->setText(QStringLiteral("Anhalten"));
        return window;
    });
    QTest::newRow("service record form") << Prepare([](WindowSet &windows) -> QWidget * {
        auto *form = new ServiceRecordDialog(ServiceRecordForm(), windows.form1);
        form->show();
        return form;
    });
    QTest::newRow("about box") << dialog(&WindowSet::aboutBox);
    QTest::newRow("potentiometer window") << dialog(&WindowSet::fpotikontr);

    // The windows' own push buttons all fit as they are; one that does not gets a smaller font.
    const QString caption = QStringLiteral("Übernehmen");
    const QRect narrow(10, 10, 56, 26);
    {
        QWidget probe;
        const QPushButton *button = makeButton(&probe, "probe", caption, narrow);
        const int room = roomsOf(button).value(0).rect.width();
        QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(caption) > room,
                 "the caption fits its button already");
    }
    QTest::newRow("push button too narrow for its caption")
        << Prepare([=](WindowSet &windows) -> QWidget * {
               auto *window = new QWidget(windows.form1, Qt::Window);
               window->resize(100, 50);
               makeButton(window, "ButtonSchmal", caption, narrow);
               fitCaptions(window);
               window->show();
               return window;
           });
}

// Every label, button, check box, radio button, list item, menu bar item and value field of the
// window shows its text whole in its font, in width and in height (descenders included).
void TestTexts::textsFit() {
    QFETCH(Prepare, prepare);
    const auto rig = WindowRig::make({{}, true});
    QWidget *window = prepare(rig->windows);
    // Drawn as the user sees it: value fields choose their font when drawn.
    window->grab();

    QStringList cut;
    int looked = 0;
    for (const QWidget *control : window->findChildren<QWidget *>()) {
        if (!control->isVisibleTo(window))
            continue;
        const QFontMetrics metrics(control->font());
        for (const Room &room : roomsOf(control)) {
            if (room.text.isEmpty())
                continue;
            ++looked;
            const QRect needed = metrics.boundingRect(room.rect, room.flags, room.text);
            const int width = room.flags & Qt::TextWordWrap ? needed.width()
                                                            : metrics.horizontalAdvance(room.text);
            if (width > room.rect.width() || needed.height() > room.rect.height())
                cut << QStringLiteral("%1 \"%2\": needs %3 x %4, has %5 x %6")
                           .arg(control->objectName(), room.text)
                           .arg(width)
                           .arg(needed.height())
                           .arg(room.rect.width())
                           .arg(room.rect.height());
        }
    }
    QVERIFY(looked > 0);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
}

// A value too long for any readable font keeps its sign and first digit in view.
void TestTexts::valueTooLongKeepsItsStart() {
    const auto rig = WindowRig::make({{}, true});
    const WindowSet &windows = rig->windows;
    QLabel *field = windows.form1->StaticTextMv;
    windows.form1->Panel1->show();
    windows.form1->show();
    field->setText(QStringLiteral("-9,8765432109876543210E+300mV/V"));
    windows.form1->grab();
    QVERIFY(field->alignment() & Qt::AlignLeft);
    const QFontMetrics metrics(field->font());
    QVERIFY(metrics.horizontalAdvance(QStringLiteral("-9")) < field->contentsRect().width());

    field->setText(QStringLiteral("-1,000mV/V"));
    windows.form1->grab();
    QVERIFY(field->alignment() & Qt::AlignHCenter);
}

// The program's own start: German dates are chosen before the application object is made.
int main(int argc, char *argv[]) {
    useGermanDates();
    QApplication app(argc, argv);
    QTEST_DISABLE_KEYPAD_NAVIGATION
    TestTexts test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_texts.moc"
