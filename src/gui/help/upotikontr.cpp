#include "gui/help/upotikontr.h"

#include "gui/main/formcontrols.h"

#include <QFrame>
#include <QLabel>

namespace {

constexpr int ClientWidth = 378;
constexpr int ClientHeight = 179;

// One marker: a long rectangle, a shorter one over its right-hand part and a label on that.
struct Marker {
    const char *shape;
    const char *shortShape;
    const char *label;
    int left;
    int top;
};
static constexpr Marker Markers[] = {
    {"Shape1", "Shape1a", "Label1", 24, 128},  {"Shape2", "Shape2a", "Label2", 24, 72},
    {"Shape3", "Shape3a", "Label3", 216, 56},  {"Shape4", "Shape4a", "Label4", 216, 96},
    {"Shape5", "Shape5a", "Label5", 216, 120},
};
constexpr int LongWidth = 97;
constexpr int ShortWidth = 65;
constexpr int ShortOffset = 32;
constexpr int ShapeHeight = 17;
constexpr int LabelDrop = 2;

// A rectangle with white filling and a black outline.
QFrame *makeShape(QWidget *parent, const char *name, const QRect &rect) {
    auto *shape = new QFrame(parent);
    shape->setObjectName(QLatin1String(name));
    shape->setGeometry(rect);
    shape->setStyleSheet(QStringLiteral("QFrame { background: white; border: 1px solid black; }"));
    return shape;
}

} // namespace

Tfpotikontr::Tfpotikontr(QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Tfpotikontr"));
    setWindowTitle(QStringLiteral("An allen 5 Poti's drehen !"));
    setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint);
    QFont windowFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    setFixedSize(ClientWidth, ClientHeight);

    Image1 = makePicture(this, "Image1", QStringLiteral(":/images/device.svg"), {0, 0, 380, 182});

    QFrame **shapes[] = {&Shape1, &Shape2, &Shape3, &Shape4, &Shape5};
    QFrame **shortShapes[] = {&Shape1a, &Shape2a, &Shape3a, &Shape4a, &Shape5a};
    QLabel **labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5};
    for (std::size_t i = 0; i < std::size(Markers); ++i) {
        const Marker &m = Markers[i];
        *shapes[i] = makeShape(this, m.shape, {m.left, m.top, LongWidth, ShapeHeight});
        *shortShapes[i] =
            makeShape(this, m.shortShape, {m.left + ShortOffset, m.top, ShortWidth, ShapeHeight});
        auto *label = new QLabel(QLatin1String(m.label), this);
        label->setObjectName(QLatin1String(m.label));
        label->move(m.left + ShortOffset, m.top + LabelDrop);
        label->adjustSize();
        *labels[i] = label;
    }
    QPalette palette = Label2->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    Label2->setPalette(palette);
    fitCaptions(this);
}
