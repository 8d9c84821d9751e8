#include "diag/servicerecord.h"

#include "setup/setupfile.h"
#include "system/filewriter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSettings>
#include <QSvgRenderer>

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
constexpr const char *ReadingsHeading = "Messwerte beim Auslesen";
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
constexpr const char *AppendixHeading = "Anhang: Statusausdruck des Geräts";
constexpr const char *Results[] = {"nicht in Ordnung", "in Ordnung"};
constexpr const char *Unknown = "–";

// The form's last entries, remembered between runs.
constexpr const char *FormGroup = "serviceRecord";
constexpr const char *FormKeys[] = {"customer", "site", "order", "technician", "findings"};
constexpr const char *InOrderKey = "inOrder";

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

// Draws from top to bottom and begins a new page where the page is full. Every page carries the
// device's identity at its top and its number of the whole at its foot.
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

    // Room for `height` more, or a new page.
    void need(double height) {
        if (m_y + height <= m_area.height() - footerHeight())
            return;
        newPage();
    }

    void newPage() {
        m_writer.newPage();
        ++m_page;
        startPage();
    }

    void advance(double height) { m_y += height; }

    void line(const QString &line, const QFont &font, double indent = 0) {
        m_painter.setFont(font);
        const QFontMetricsF metrics(font, &m_writer);
        const QRectF room(indent, 0, width() - indent, 1e6);
        const QRectF needed = metrics.boundingRect(room, Qt::TextWordWrap, line);
        const double height = std::max(needed.height(), metrics.height());
        need(height);
        m_painter.drawText(QRectF(indent, m_y, width() - indent, height), Qt::TextWordWrap, line);
        m_y += height;
    }

    void heading(const QString &title) {
        const QFont f = font(11, true);
        need(QFontMetricsF(f, &m_writer).height() * 3);
        advance(mm(2.5));
        line(title, f);
        advance(mm(1));
    }

    // A table with a grid; `widths` are the columns' shares of the width.
    void table(const QList<QStringList> &rows, const QList<double> &widths,
               const QList<bool> &bold = {}) {
        const QFont plain = font(9);
        const double rowHeight = QFontMetricsF(plain, &m_writer).height() + mm(1.2);
        for (qsizetype r = 0; r < rows.size(); ++r) {
            need(rowHeight);
            m_painter.setFont(font(9, bold.value(r)));
            double x = 0;
            for (qsizetype c = 0; c < widths.size(); ++c) {
                const QRectF cell(x, m_y, width() * widths.at(c), rowHeight);
                m_painter.drawRect(cell);
                m_painter.drawText(cell.adjusted(mm(1.5), 0, -mm(1), 0),
                                   Qt::AlignVCenter | Qt::AlignLeft, rows.at(r).value(c));
                x += cell.width();
            }
            m_y += rowHeight;
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
                         {QStringLiteral("Ergebnis"), text(Results[form.inOrder ? 1 : 0])}}),
               {0.35, 0.65});
    flow.advance(mm(1.5));
    flow.line(QStringLiteral("Befund und durchgeführte Arbeiten:"), font(9, true));
    for (const QString &line : form.findings.trimmed().split(QLatin1Char('\n')))
        flow.line(orDash(line), body, mm(3));

    flow.heading(text(ReadingsHeading));
    flow.table(pairRows(content.readings), {0.35, 0.65});

    flow.heading(text(SetupHeading));
    flow.line(content.setupSource, font(8.5));
    flow.advance(mm(1));
    if (content.setup.isEmpty())
        flow.line(text(NoSetup), body);
    else
        flow.table(pairRows(content.setup), {0.45, 0.55});

    if (content.writtenAt.isValid()) {
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
        flow.table(rows, {0.4, 0.3, 0.3}, bold);
    }

    // The signatures stay together on one page.
    flow.need(mm(34));
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
    flow.heading(text(AppendixHeading));
    QFont fixed(QStringLiteral("DejaVu Sans Mono"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPointSizeF(8);
    for (const QString &line : content.reportLines)
        flow.line(line.isEmpty() ? QStringLiteral(" ") : line, fixed);
    painter.end();
    return flow.page();
}

} // namespace

ServiceRecordForm ServiceRecordForm::remembered() {
    QSettings store = settings();
    store.beginGroup(QLatin1String(FormGroup));
    ServiceRecordForm form;
    QString *fields[] = {&form.customer, &form.site, &form.order, &form.technician, &form.findings};
    for (std::size_t i = 0; i < std::size(FormKeys); ++i)
        *fields[i] = store.value(QLatin1String(FormKeys[i])).toString();
    form.inOrder = store.value(QLatin1String(InOrderKey), true).toBool();
    return form;
}

void ServiceRecordForm::remember() const {
    QSettings store = settings();
    store.beginGroup(QLatin1String(FormGroup));
    const QString *fields[] = {&customer, &site, &order, &technician, &findings};
    for (std::size_t i = 0; i < std::size(FormKeys); ++i)
        store.setValue(QLatin1String(FormKeys[i]), *fields[i]);
    store.setValue(QLatin1String(InOrderKey), inOrder);
}

QString ServiceRecordContent::identityLine() const {
    return text(IdentityHead)
        .arg(orDash(deviceType), orDash(serialNumber), ServiceRecord::dateText(readAt));
}

QStringList ServiceRecordContent::textHead() const {
    return {text(Title),
            QStringLiteral("Typ: ") + orDash(deviceType),
            QStringLiteral("F.Nr: ") + orDash(serialNumber),
            QStringLiteral("SW-Version: ") + orDash(swVersion),
            QStringLiteral("HW-Version: ") + orDash(hwVersion),
            QStringLiteral("Gelesen am: ") + ServiceRecord::dateText(readAt),
            QString()};
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
