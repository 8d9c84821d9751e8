#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// Building blocks of the program's windows: controls laid out at fixed places, each named so
// that it can be found by its name.

// A command at the end of a menu or menu bar.
QAction *makeMenuCommand(QWidget *menu, const char *name, const QString &caption);
QFrame *makeBevel(QWidget *parent, const char *name, const QRect &rect);
QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QPoint &pos);
QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QRect &rect);
// A picture from the program's SVG resources, stretched to its place.
QWidget *makePicture(QWidget *parent, const char *name, const QString &resource, const QRect &rect);
// A centred, sunken text field of fixed size, on a coloured background when one is given.
QLabel *makeTextField(QWidget *parent, const char *name, const QRect &rect,
                      const QString &text = QString(), const QColor &background = QColor());
