#include "formcontrols.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSvgWidget>

QAction *makeMenuCommand(QWidget *menu, const char *name, const QString &caption) {
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QFrame *makeBevel(QWidget *parent, const char *name, const QRect &rect) {
    auto *bevel = new QFrame(parent);
    bevel->setObjectName(QLatin1String(name));
    bevel->setGeometry(rect);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    return bevel;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QPoint &pos) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(pos);
    label->adjustSize();
    return label;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QRect &rect) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(rect);
    return button;
}

QWidget *makePicture(QWidget *parent, const char *name, const QString &resource,
                     const QRect &rect) {
    auto *picture = new QSvgWidget(resource, parent);
    picture->setObjectName(QLatin1String(name));
    picture->setGeometry(rect);
    return picture;
}

QLabel *makeTextField(QWidget *parent, const char *name, const QRect &rect, const QString &text,
                      const QColor &background) {
    auto *field = new QLabel(text, parent);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(rect);
    field->setAlignment(Qt::AlignCenter);
    field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (background.isValid()) {
        field->setAutoFillBackground(true);
        QPalette palette = field->palette();
        palette.setColor(QPalette::Window, background);
        field->setPalette(palette);
    }
    return field;
}
