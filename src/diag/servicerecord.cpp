#include "servicerecord.h"

#include "setup/setupfile.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>

namespace {

constexpr int Resolution = 300; // dots per inch of the drawing
constexpr double MarginMm = 18.0;
constexpr double LogoHeightMm = 14.0;
constexpr const char *Title = "Servicebericht KT 290";
constexpr const char *ReportHeading = "Statusbericht";
constexpr const char *SetupHeading = "Einstellung";
constexpr const char *PageLabel = "Seite %1";
constexpr const char *Creator = "vtk290";

double mm(double millimetres) {
    return millimetres / 25.4 * Resolution;
}

// Draws from top to bottom and begins a new page, with its number, where the page is full.
class PageFlow final {
public:
    PageFlow(QPdfWriter &writer, QPainter &painter)
        : m_writer(writer)
        , m_painter(painter)
        , m_area(m_writer.pageLayout().paintRectPixels(Resolution)) {
        m_area.moveTo(0, 0);
        m_y = 0;
        drawPageNumber();
    }

    double width() const { return m_area.width(); }
    double y() const { return m_y; }

    // Room for `height` more, or a new page.
    void need(double height) {
        if (m_y + height <= m_area.height() - footerHeight())
            return;
        m_writer.newPage();
        ++m_page;
        m_y = 0;
        drawPageNumber();
    }

    void advance(double height) { m_y += height; }

    void line(const QString &text, const QFont &font, double indent = 0) {
        m_painter.setFont(font);
        const QFontMetricsF metrics(font, &m_writer);
        const QRectF room(indent, 0, width() - indent, 1e6);
        const QRectF needed = metrics.boundingRect(room, Qt::TextWrapAnywhere, text);
        const double height = std::max(needed.height(), metrics.height());
        need(height);
        m_painter.drawText(QRectF(indent, m_y, width() - indent, height), Qt::TextWrapAnywhere,
                           text);
        m_y += height;
    }

private:
    double footerHeight() const { return mm(8); }

    void drawPageNumber() {
        QFont font = m_painter.font();
        const QFont small = QFont(QStringLiteral("DejaVu Sans"), 8);
        m_painter.setFont(small);
        m_painter.drawText(QRectF(0, m_area.height() - footerHeight(), width(), footerHeight()),
                           Qt::AlignRight | Qt::AlignBottom,
                           QString::fromUtf8(PageLabel).arg(m_page));
        m_painter.setFont(font);
    }

    QPdfWriter &m_writer;
    QPainter &m_painter;
    QRectF m_area;
    double m_y = 0;
    int m_page = 1;
};

} // namespace

QByteArray ServiceRecord::render(const ServiceRecordContent &content) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(Resolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                                     QPageLayout::Millimeter));
    writer.setTitle(QString::fromUtf8(Title));
    writer.setCreator(QString::fromUtf8(Creator));

    QPainter painter(&writer);
    PageFlow flow(writer, painter);
    const QFont text(QStringLiteral("DejaVu Sans"), 10);
    QFont heading(QStringLiteral("DejaVu Sans"), 12);
    heading.setBold(true);
    QFont title(QStringLiteral("DejaVu Sans"), 16);
    title.setBold(true);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFamily(QStringLiteral("DejaVu Sans Mono"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setPointSizeF(8.5);

    // Header: the logo, the title and the device's identity.
    QSvgRenderer logo(QStringLiteral(":/images/logo.svg"));
    const QSizeF logoSize =
        logo.defaultSize().isEmpty() ? QSizeF(4, 1) : QSizeF(logo.defaultSize());
    const double logoHeight = mm(LogoHeightMm);
    const double logoWidth = logoHeight * logoSize.width() / logoSize.height();
    logo.render(&painter, QRectF(0, 0, logoWidth, logoHeight));
    painter.setFont(title);
    painter.drawText(QRectF(logoWidth + mm(6), 0, flow.width() - logoWidth - mm(6), logoHeight),
                     Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(Title));
    flow.advance(logoHeight + mm(4));
    const QList<QPair<QString, QString>> identity{
        {QStringLiteral("Typ"), content.deviceType},
        {QStringLiteral("F.Nr"), content.serialNumber},
        {QStringLiteral("SW-Version"), content.swVersion},
        {QStringLiteral("HW-Version"), content.hwVersion},
        {QStringLiteral("Datum"), content.madeAt.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))},
    };
    for (const auto &[label, value] : identity)
        flow.line(label + QStringLiteral(": ") + value, text);
    flow.advance(mm(4));

    flow.line(QString::fromUtf8(ReportHeading), heading);
    flow.advance(mm(1.5));
    for (const QString &line : content.reportLines)
        flow.line(line.isEmpty() ? QStringLiteral(" ") : line, fixed);
    flow.advance(mm(5));

    // The setup as a table of two columns with its grid.
    flow.need(mm(20));
    flow.line(QString::fromUtf8(SetupHeading), heading);
    flow.advance(mm(1.5));
    const QFontMetricsF metrics(text, &writer);
    const double rowHeight = metrics.height() + mm(2);
    const double labelWidth = flow.width() * 0.45;
    painter.setFont(text);
    for (const auto &[label, value] : content.setup) {
        flow.need(rowHeight);
        const QRectF labelCell(0, flow.y(), labelWidth, rowHeight);
        const QRectF valueCell(labelWidth, flow.y(), flow.width() - labelWidth, rowHeight);
        painter.drawRect(labelCell);
        painter.drawRect(valueCell);
        painter.drawText(labelCell.adjusted(mm(1.5), 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         label);
        painter.drawText(valueCell.adjusted(mm(1.5), 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         value.isEmpty() ? QStringLiteral("–") : value);
        flow.advance(rowHeight);
    }
    painter.end();
    return bytes;
}

QString ServiceRecord::save(const QString &path, const ServiceRecordContent &content) {
    return SetupFile::save(path, render(content));
}
