#include "gui/main/modelpanel.h"

#include "gui/main/formcontrols.h"

#include <QFrame>
#include <QLabel>

namespace {

struct Layout {
    const char *panel;
    QSize size;
    const char *diagram;
    QString diagramResource;
    QRect diagramRect;
    QPoint inputAt;
    QPoint outputAt;
    const char *switchPoint1;
    QPoint switchPoint1At;
    const char *switchPoint2;
    QPoint switchPoint2At;
    const char *nc1;
    QPoint nc1At;
    const char *no1;
    QPoint no1At;
    const char *no2;
    QPoint no2At;
    const char *nc2;
    QPoint nc2At;
};

Layout layoutOf(ModelPanel::Model model) {
    if (model == ModelPanel::Model::StrainGauge)
        return {.panel = "Panel1",
                .size = {513, 250},
                .diagram = "Image01",
                .diagramResource = QStringLiteral(":/images/diagram_dms.svg"),
                .diagramRect = {6, 4, 491, 236},
                .inputAt = {36, 43},
                .outputAt = {59, 135},
                .switchPoint1 = "StaticTextSp1",
                .switchPoint1At = {343, 70},
                .switchPoint2 = "StaticTextSp2",
                .switchPoint2At = {343, 158},
                .nc1 = "ImageNc1",
                .nc1At = {400, 37},
                .no1 = "ImageNo1",
                .no1At = {388, 78},
                .no2 = "ImageNo2",
                .no2At = {388, 119},
                .nc2 = "ImageNc2",
                .nc2At = {399, 168}};
    return {.panel = "Panel2",
            .size = {570, 256},
            .diagram = "Image02",
            .diagramResource = QStringLiteral(":/images/diagram_current.svg"),
            .diagramRect = {6, 5, 555, 245},
            .inputAt = {122, 60},
            .outputAt = {114, 145},
            .switchPoint1 = "StaticTextSP102",
            .switchPoint1At = {399, 78},
            .switchPoint2 = "StaticTextSP202",
            .switchPoint2At = {399, 165},
            .nc1 = "ImageNc102",
            .nc1At = {455, 46},
            .no1 = "ImageNo102",
            .no1At = {423, 101},
            .no2 = "ImageNo202",
            .no2At = {423, 137},
            .nc2 = "ImageNc202",
            .nc2At = {455, 177}};
}

constexpr QSize ContactSize(24, 35);
constexpr QSize SwitchPointSize(50, 17);

QWidget *makeContact(QWidget *parent, const char *name, const QString &resource,
                     const QPoint &pos) {
    QWidget *picture = makePicture(parent, name, resource, {pos, ContactSize});
    picture->hide();
    return picture;
}

} // namespace

ModelPanel ModelPanel::build(QWidget *parent, Model model, const QPoint &pos, const Look &look) {
    const Layout layout = layoutOf(model);
    ModelPanel built;
    built.panel = new QFrame(parent);
    built.panel->setObjectName(QLatin1String(layout.panel));
    built.panel->setGeometry({pos, layout.size});
    built.diagram =
        makePicture(built.panel, layout.diagram, layout.diagramResource, layout.diagramRect);
    built.inputAt = layout.inputAt;
    built.outputAt = layout.outputAt;
    built.switchPoint1 =
        makeTextField(built.panel, layout.switchPoint1, {layout.switchPoint1At, SwitchPointSize},
                      QString(), look.switchPointBackground);
    built.switchPoint2 =
        makeTextField(built.panel, layout.switchPoint2, {layout.switchPoint2At, SwitchPointSize},
                      QString(), look.switchPointBackground);
    built.nc1 = makeContact(built.panel, layout.nc1, look.closedContact, layout.nc1At);
    built.no1 = makeContact(built.panel, layout.no1, look.openContact, layout.no1At);
    built.no2 = makeContact(built.panel, layout.no2, look.openContact, layout.no2At);
    built.nc2 = makeContact(built.panel, layout.nc2, look.closedContact, layout.nc2At);
    built.panel->hide();
    return built;
}

void ModelPanel::stackContacts() const {
    no1->move(nc1->pos());
    no2->move(nc2->pos());
    for (QWidget *picture : {nc1, no1, nc2, no2})
        picture->hide();
}

void ModelPanel::showRelays(std::initializer_list<const ModelPanel *> panels,
                            std::optional<int> relayBits) {
    const bool known = relayBits.has_value();
    const bool relay1 = known && (*relayBits & 1);
    const bool relay2 = known && (*relayBits & 2);
    for (const ModelPanel *shown : panels) {
        shown->nc1->setVisible(relay1);
        shown->no1->setVisible(known && !relay1);
        shown->nc2->setVisible(relay2);
        shown->no2->setVisible(known && !relay2);
    }
}
