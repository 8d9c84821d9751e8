#include "gui/diag/servicerecord.h"

#include "core/setup/setupfile.h"
#include "core/system/filewriter.h"

#include <QBuffer>
#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSettings>
#include <QSvgRenderer>
#include <QTextLayout>

namespace {

constexpr int Resolution = 300; // dots per inch of the drawing
constexpr double MarginMm = 18.0;
constexpr double LogoHeightMm = 10.0;
constexpr const char *Title = "Servicebericht KT 290";
constexpr const char *PageLabel = "Seite %1 von %2";
constexpr const char *IdentityHead = "%1 · F.Nr %2 · gelesen am %3";
constexpr const char *Creator = "vtk290";
constexpr const char *DateFormat = "dd.MM.yyyy HH:mm:ss";

constexpr const char *DeviceHeading = "Gerät";
constexpr const char *OrderHeading = "Auftrag";
constexpr const char *ReadingsHeading = "Messwerte beim Auslesen am %1";
constexpr const char *SetupHeading = "Einstellung im Gerät";
constexpr const char *NoSetup = "Das Gerät hat beim Auslesen kein Setup gesendet.";
constexpr const char *ChangesHeading = "Setup vor und nach dem Schreiben am %1";
constexpr const char *ChangesSource =
    "vorher: Sicherung vor dem Schreiben; nachher: Setup-Ausdruck des Geräts beim Auslesen; "
    "geänderte Felder mit *";
constexpr const char *ChangesColumns[] = {"Feld", "vorher", "nachher"};
constexpr const char *SignatureHeading = "Unterschriften";
constexpr const char *Signatures[] = {"Ort, Datum, Unterschrift Techniker",
                                      "Ort, Datum, Unterschrift Kunde"};
constexpr const char *AppendixHeading = "Anhang: Statusausdruck des Geräts vom %1";
constexpr const char *LastVisitHeading = "Letzter Besuch";
constexpr const char *LastVisitSame = "am %1; das Setup ist seither unverändert.";
constexpr const char *LastVisitChanged = "am %1; seither geänderte Felder des Setups:";
constexpr const char *LastVisitColumns[] = {"Feld", "damals", "jetzt"};
constexpr const char *WritesHeading = "Setup in das Gerät geschrieben (seit dem Programmstart)";
constexpr const char *NoWrites = "Das Programm hat seit seinem Start kein Setup in dieses Gerät "
                                 "geschrieben.";
constexpr const char *WritesColumns[] = {"Zeit", "Vorgang", "Sicherung vorher"};
constexpr const char *WriteComplete = "vollständig: %1 Befehle, gespeichert (\"swr1\")";
constexpr const char *WriteCut =
    "abgebrochen nach %1 von %2 Befehlen, nicht gespeichert (kein \"swr1\"): das Setup im Gerät "
    "kann unvollständig sein";
constexpr const char *NoBackup = "keine Sicherung";
constexpr const char *FileNamePattern = "Servicebericht-%1-%2.pdf";
constexpr const char *FileNameDate = "yyyyMMdd-HHmm";
constexpr const char *Results[] = {"nicht in Ordnung", "in Ordnung"};
constexpr const char *Unknown = "–";

// The form's last entries, remembered between runs; order and findings with the F.Nr they
// belong to.
constexpr const char *FormGroup = "serviceRecord";
constexpr const char *FormKeys[] = {"customer", "site", "technician", "order", "findings"};
constexpr std::size_t DeviceKeysFrom = 3;
constexpr const char *SerialKey = "serialNumber";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

QString orDash(const QString &value) {
    return value.trimmed().isEmpty() ? text(Unknown) : value;
}

double mm(double millimetres) {
    return millimetres / 25.4 * Resolution;
}

QSettings settings() {
    return QSettings(QStringLiteral("vtk290"), QStringLiteral("vtk290"));
}

QFont font(double points, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The lines a text takes in the given width: broken at blanks where it can, inside a word where
// a word alone is wider; nothing is cut. Line breaks in the text begin new lines.
QStringList wrapped(const QString &text, const QFont &font, QPaintDevice *device, double width) {
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font, device);
        layout.setTextOption(option);
        layout.beginLayout();
        const qsizetype before = lines.size();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (part.endsWith(QLatin1Char(' ')))
                part.chop(1);
            lines << part;
        }
        layout.endLayout();
        if (lines.size() == before)
            lines << QString();
    }
    return lines;
}

// Draws from top to bottom and begins a new page where the page is full. Every page carries the
// device's identity at its top and its number of the whole at its foot; a table that goes on on
// the next page repeats its section's title and its head there.
class PageFlow final {
public:
    PageFlow(QPdfWriter &writer, QPainter &painter, QString head, int totalPages)
        : m_writer(writer)
        , m_painter(painter)
        , m_area(m_writer.pageLayout().paintRectPixels(Resolution))
        , m_head(std::move(head))
        , m_total(totalPages) {
        m_area.moveTo(0, 0);
        startPage();
    }

    double width() const { return m_area.width(); }
    double y() const { return m_y; }
    int page() const { return m_page; }

    bool fits(double height) const { return m_y + height <= m_area.height() - footerHeight(); }

    // Room for `height` more, or a new page.
    void need(double height) {
        if (!fits(height))
            newPage();
    }

    void newPage() {
        m_writer.newPage();
        ++m_page;
        startPage();
    }

    void advance(double height) { m_y += height; }

    // A text, wrapped to the width; a long one goes on on the next page line by line.
    // `keepWithLast`: room kept below the last line for what must stay with it.
    void line(const QString &text, const QFont &font, double indent = 0, double keepWithLast = 0) {
        m_painter.setFont(font);
        const double height = QFontMetricsF(font, &m_writer).height();
        const QStringList lines = wrapped(text, font, &m_writer, width() - indent);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            need(i + 1 == lines.size() ? height + keepWithLast : height);
            m_painter.drawText(QRectF(indent, m_y, width() - indent, height),
                               Qt::AlignLeft | Qt::AlignTop, lines.at(i));
            m_y += height;
        }
    }

    void heading(const QString &title) {
        const QFont f = font(11, true);
        need(QFontMetricsF(f, &m_writer).height() * 3 + mm(12));
        advance(mm(2.5));
        line(title, f);
        advance(mm(1));
        m_section = title;
    }

    // A table with a grid; `widths` are the columns' shares of the width. Long cells wrap and
    // make their row higher. With `head`, the first row is the head, repeated on every page the
    // table goes on to. `keepWithLast`: room kept below the last two rows for what must stay
    // with them.
    void table(const QList<QStringList> &rows, const QList<double> &widths,
               const QList<bool> &bold = {}, bool head = false, double keepWithLast = 0) {
        const double padding = mm(0.6);
        const double lineHeight = QFontMetricsF(font(9), &m_writer).height();
        QList<QList<QStringList>> cells;
        QList<double> heights;
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QList<QStringList> row;
            qsizetype lines = 1;
            for (qsizetype c = 0; c < widths.size(); ++c) {
                row << wrapped(rows.at(r).value(c), font(9, bold.value(r)), &m_writer,
                               width() * widths.at(c) - mm(2.5));
                lines = std::max(lines, row.last().size());
            }
            cells << row;
            heights << lines * lineHeight + 2 * padding;
        }
        const auto drawRow = [&](qsizetype r) {
            m_painter.setFont(font(9, bold.value(r)));
            double x = 0;
            for (qsizetype c = 0; c < widths.size(); ++c) {
                const QRectF cell(x, m_y, width() * widths.at(c), heights.at(r));
                m_painter.drawRect(cell);
                const QStringList &lines = cells.at(r).at(c);
                for (qsizetype i = 0; i < lines.size(); ++i)
                    m_painter.drawText(QRectF(x + mm(1.5), m_y + padding + i * lineHeight,
                                              cell.width() - mm(2.5), lineHeight),
                                       Qt::AlignLeft | Qt::AlignTop, lines.at(i));
                x += cell.width();
            }
            m_y += heights.at(r);
        };
        for (qsizetype r = 0; r < rows.size(); ++r) {
            double needed = heights.at(r);
            if (keepWithLast > 0 && r >= std::max<qsizetype>(head ? 1 : 0, rows.size() - 2)) {
                needed = keepWithLast;
                for (qsizetype rest = r; rest < rows.size(); ++rest)
                    needed += heights.at(rest);
            }
            if (!fits(needed)) {
                newPage();
                if (r > 0) {
                    line(m_section + QStringLiteral(" (Fortsetzung)"), font(9, true));
                    advance(mm(1));
                    if (head)
                        drawRow(0);
                }
            }
            drawRow(r);
        }
    }

private:
    double footerHeight() const { return mm(8); }

    void startPage() {
        const QFont saved = m_painter.font();
        const QFont small = font(8);
        const double headHeight = QFontMetricsF(small, &m_writer).height();
        m_painter.setFont(small);
        m_painter.drawText(QRectF(0, 0, width(), headHeight), Qt::AlignLeft | Qt::AlignTop,
                           text(Title));
        m_painter.drawText(QRectF(0, 0, width(), headHeight), Qt::AlignRight | Qt::AlignTop,
                           m_head);
        m_painter.drawLine(QPointF(0, headHeight + mm(1)), QPointF(width(), headHeight + mm(1)));
        m_painter.drawText(QRectF(0, m_area.height() - footerHeight(), width(), footerHeight()),
                           Qt::AlignRight | Qt::AlignBottom,
                           text(PageLabel).arg(m_page).arg(m_total));
        m_painter.setFont(saved);
        m_y = headHeight + mm(4);
    }

    QPdfWriter &m_writer;
    QPainter &m_painter;
    QRectF m_area;
    QString m_head;
    int m_total;
    double m_y = 0;
    int m_page = 1;
    QString m_section;
};

QList<QStringList> pairRows(const QList<QPair<QString, QString>> &pairs) {
    QList<QStringList> rows;
    for (const auto &[label, value] : pairs)
        rows << QStringList{label, orDash(value)};
    return rows;
}

// Draws the whole record; gives the number of pages it took.
int draw(QIODevice &device, const ServiceRecordContent &content, int totalPages) {
    QPdfWriter writer(&device);
    writer.setResolution(Resolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                                     QPageLayout::Millimeter));
    writer.setTitle(text(Title) + QStringLiteral(" – F.Nr ") + content.serialNumber);
    writer.setCreator(text(Creator));

    QPainter painter(&writer);
    PageFlow flow(writer, painter, content.identityLine(), totalPages);
    const QFont body = font(9);

    QSvgRenderer logo(QStringLiteral(":/images/logo.svg"));
    const QSizeF logoSize =
        logo.defaultSize().isEmpty() ? QSizeF(4, 1) : QSizeF(logo.defaultSize());
    const double logoHeight = mm(LogoHeightMm);
    const double logoWidth = logoHeight * logoSize.width() / logoSize.height();
    logo.render(&painter, QRectF(0, flow.y(), logoWidth, logoHeight));
    painter.setFont(font(16, true));
    painter.drawText(
        QRectF(logoWidth + mm(6), flow.y(), flow.width() - logoWidth - mm(6), logoHeight),
        Qt::AlignVCenter | Qt::AlignLeft, text(Title));
    flow.advance(logoHeight + mm(2));

    flow.heading(text(DeviceHeading));
    flow.table(pairRows({{QStringLiteral("Typ"), content.deviceType},
                         {QStringLiteral("F.Nr"), content.serialNumber},
                         {QStringLiteral("SW-Version"), content.swVersion},
                         {QStringLiteral("HW-Version"), content.hwVersion},
                         {QStringLiteral("Gelesen am"), ServiceRecord::dateText(content.readAt)}}),
               {0.35, 0.65});

    const ServiceRecordForm &form = content.form;
    flow.heading(text(OrderHeading));
    flow.table(pairRows({{QStringLiteral("Kunde"), form.customer},
                         {QStringLiteral("Standort / Messstelle"), form.site},
                         {QStringLiteral("Auftragsnummer"), form.order},
                         {QStringLiteral("Techniker"), form.technician},
                         {QStringLiteral("Ergebnis"),
                          form.inOrder ? text(Results[*form.inOrder ? 1 : 0]) : QString()}}),
               {0.35, 0.65});
    flow.advance(mm(1.5));
    flow.line(QStringLiteral("Befund und durchgeführte Arbeiten:"), font(9, true));
    for (const QString &line : form.findings.trimmed().split(QLatin1Char('\n')))
        flow.line(orDash(line), body, mm(3));

    flow.heading(text(ReadingsHeading).arg(ServiceRecord::dateText(content.readAt)));
    if (content.readings.isEmpty())
        flow.line(content.readingsNote, body);
    else
        flow.table(pairRows(content.readings), {0.35, 0.65});

    flow.heading(text(SetupHeading));
    flow.line(content.setupSource, font(8.5));
    flow.advance(mm(1));
    if (content.setup.isEmpty())
        flow.line(text(NoSetup), body);
    else
        flow.table(pairRows(content.setup), {0.45, 0.55});

    if (content.lastVisitAt.isValid()) {
        flow.heading(text(LastVisitHeading));
        const QString when = ServiceRecord::dateText(content.lastVisitAt);
        if (content.sinceLastVisit.isEmpty()) {
            flow.line(text(LastVisitSame).arg(when), body);
        } else {
            flow.line(text(LastVisitChanged).arg(when), body);
            flow.advance(mm(1));
            QList<QStringList> rows{
                {text(LastVisitColumns[0]), text(LastVisitColumns[1]), text(LastVisitColumns[2])}};
            QList<bool> bold{true};
            for (const ServiceRecordChange &change : content.sinceLastVisit) {
                rows << QStringList{change.field, orDash(change.before), orDash(change.after)};
                bold << false;
            }
            flow.table(rows, {0.4, 0.3, 0.3}, bold, true, 0);
        }
    }

    // The signatures stay with the block above them: its last lines go with them to a new page.
    const double signatures = mm(34);
    const bool changes = content.writtenAt.isValid();
    flow.heading(text(WritesHeading));
    if (content.writes.isEmpty()) {
        flow.line(text(NoWrites), body, 0, changes ? 0 : signatures);
    } else {
        QList<QStringList> rows{
            {text(WritesColumns[0]), text(WritesColumns[1]), text(WritesColumns[2])}};
        QList<bool> bold{true};
        for (const ServiceRecordWrite &write : content.writes) {
            const bool whole = write.stored && write.sent == write.total;
            rows << QStringList{ServiceRecord::dateText(write.at),
                                whole ? text(WriteComplete).arg(write.total)
                                      : text(WriteCut).arg(write.sent).arg(write.total),
                                write.backupPath.isEmpty()
                                    ? text(NoBackup)
                                    : QDir::toNativeSeparators(write.backupPath)};
            bold << !whole;
        }
        flow.table(rows, {0.22, 0.4, 0.38}, bold, true, changes ? 0 : signatures);
    }

    if (changes) {
        flow.heading(text(ChangesHeading).arg(ServiceRecord::dateText(content.writtenAt)));
        flow.line(text(ChangesSource), font(8.5));
        flow.advance(mm(1));
        QList<QStringList> rows{
            {text(ChangesColumns[0]), text(ChangesColumns[1]), text(ChangesColumns[2])}};
        QList<bool> bold{true};
        for (const ServiceRecordChange &change : content.changes) {
            const bool changed = change.before != change.after;
            rows << QStringList{changed ? change.field + QStringLiteral(" *") : change.field,
                                orDash(change.before), orDash(change.after)};
            bold << changed;
        }
        flow.table(rows, {0.4, 0.3, 0.3}, bold, true, signatures);
    }

    flow.need(signatures);
    flow.heading(text(SignatureHeading));
    flow.advance(mm(13));
    const double half = (flow.width() - mm(10)) / 2;
    painter.setFont(font(8.5));
    for (int i = 0; i < 2; ++i) {
        const double x = i * (half + mm(10));
        painter.drawLine(QPointF(x, flow.y()), QPointF(x + half, flow.y()));
        painter.drawText(QRectF(x, flow.y() + mm(1), half, mm(6)), Qt::AlignLeft | Qt::AlignTop,
                         text(Signatures[i]));
    }
    flow.advance(mm(8));

    flow.newPage();
    flow.heading(text(AppendixHeading).arg(ServiceRecord::dateText(content.reportAt)));
    QFont fixed(QStringLiteral("DejaVu Sans Mono"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPointSizeF(8);
    for (const QString &line : content.reportLines)
        flow.line(line.isEmpty() ? QStringLiteral(" ") : line, fixed);
    painter.end();
    return flow.page();
}

} // namespace

ServiceRecordForm ServiceRecordForm::remembered(const QString &serialNumber) {
    QSettings store = settings();
    store.beginGroup(QLatin1String(FormGroup));
    ServiceRecordForm form;
    const bool sameDevice = store.value(QLatin1String(SerialKey)).toString() == serialNumber;
    QString *fields[] = {&form.customer, &form.site, &form.technician, &form.order, &form.findings};
    for (std::size_t i = 0; i < std::size(FormKeys); ++i)
        if (i < DeviceKeysFrom || sameDevice)
            *fields[i] = store.value(QLatin1String(FormKeys[i])).toString();
    return form;
}

void ServiceRecordForm::remember(const QString &serialNumber) const {
    QSettings store = settings();
    store.beginGroup(QLatin1String(FormGroup));
    const QString *fields[] = {&customer, &site, &technician, &order, &findings};
    for (std::size_t i = 0; i < std::size(FormKeys); ++i)
        store.setValue(QLatin1String(FormKeys[i]), *fields[i]);
    store.setValue(QLatin1String(SerialKey), serialNumber);
}

QString ServiceRecordContent::identityLine() const {
    return text(IdentityHead)
        .arg(orDash(deviceType), orDash(serialNumber), ServiceRecord::dateText(readAt));
}

QString ServiceRecord::suggestedFileName(const QString &serialNumber, const QDateTime &time) {
    return text(FileNamePattern)
        .arg(serialNumber.isEmpty() ? QStringLiteral("unbekannt") : serialNumber,
             time.toString(QLatin1String(FileNameDate)));
}

QString ServiceRecord::dateText(const QDateTime &time) {
    return time.isValid() ? time.toString(QLatin1String(DateFormat)) : text(Unknown);
}

QByteArray ServiceRecord::render(const ServiceRecordContent &content) {
    // The first drawing counts the pages that the second one names on each page.
    QByteArray counted;
    QBuffer counting(&counted);
    counting.open(QIODevice::WriteOnly);
    const int pages = draw(counting, content, 0);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    draw(buffer, content, pages);
    return bytes;
}

QString ServiceRecord::save(const QString &path, const ServiceRecordContent &content) {
    return FileWriter::save(path, render(content));
}
