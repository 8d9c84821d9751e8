#pragma once

#include "gui/main/formcontrols.h"

#include <QRect>
#include <QStringList>

class QComboBox;
class QDialog;

// Building blocks of the two setup dialogs, laid out at fixed places.

// The items of a list from its fixed table.
template <std::size_t N> QStringList itemTexts(const char *const (&table)[N]) {
    QStringList list;
    for (const char *text : table)
        list << QString::fromUtf8(text);
    return list;
}

// Names a setup dialog and gives it its title, its font (MS Sans Serif, 11 pixels) and its fixed
// size.
void makeSetupDialog(QDialog *dialog, const char *name, const QString &title, const QSize &size);
// An area heading in bold Arial, 13 pixels high.
QLabel *makeHeading(QWidget *parent, const char *name, const QString &text, const QPoint &pos);
// A drop-down list that cannot be typed into, starting without selection.
QComboBox *makeList(QWidget *parent, const char *name, const QStringList &items, const QPoint &pos,
                    int width);

// Selects item `index`, or nothing when the list has no such item. Runs no change handler: the
// handlers listen to choices of the user only.
void selectItem(QComboBox *list, int index);
// Selects the item with exactly `text`, or nothing.
void selectItemText(QComboBox *list, const QString &text);
