// Renders the operating manual from its HTML source into the PDF shipped beside the program.
// Usage: makemanual <source.html> <target.pdf>

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextStream>

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (args.size() != 3) {
        err << "usage: makemanual <source.html> <target.pdf>\n";
        return 2;
    }
    QFile source(args.at(1));
    if (!source.open(QIODevice::ReadOnly)) {
        err << "makemanual: cannot read " << args.at(1) << ": " << source.errorString() << '\n';
        return 1;
    }

    QPdfWriter writer(args.at(2));
    writer.setTitle(QStringLiteral("KT290 Bedienungsanleitung"));
    writer.setCreator(QStringLiteral("vtk290"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.5);
    document.setDefaultFont(font);
    document.setHtml(QString::fromUtf8(source.readAll()));
    // Laid out at the writer's resolution so that point sizes come out right on paper; with
    // the page size set, print() paginates over the printable area as it is.
    document.documentLayout()->setPaintDevice(&writer);
    document.setPageSize(writer.pageLayout().paintRectPixels(writer.resolution()).size());
    document.print(&writer);
    if (!QFile::exists(args.at(2))) {
        err << "makemanual: " << args.at(2) << " was not written\n";
        return 1;
    }
    return 0;
}
