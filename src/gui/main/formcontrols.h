#pragma once

#include "gui/main/textfield.h"

#include <QColor>
#include <QRect>
#include <QString>

class QAction;
class QFont;
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
// A centred, sunken text field of fixed size, on a coloured background when one is given. Its
// value always shows whole (see TextField).
TextField *makeTextField(QWidget *parent, const char *name, const QRect &rect,
                         const QString &text = QString(), const QColor &background = QColor());

// Captions and values at fixed places were laid out for narrower fonts than Linux desktops
// offer; these keep every text whole.

// Whether the text of a label, button, check box or radio button shows whole, in width and
// height, in the control's present font.
bool textFits(const QWidget *control);
// Gives the control the largest font, from `full` down to a smallest readable size, in which its
// text fits; false when even the smallest does not.
bool fitText(QWidget *control, const QFont &full);
// Fits every label and button of a window, once its controls are built.
void fitCaptions(QWidget *window);
