#include "gui/setup/setupwidgets.h"

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int ListHeight = 21;
}

void makeSetupDialog(QDialog *dialog, const char *name, const QString &title, const QSize &size) {
    dialog->setObjectName(QLatin1String(name));
    dialog->setWindowTitle(title);
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPixelSize(11);
    dialog->setFont(dialogFont);
    dialog->setFixedSize(size);
}

QLabel *makeHeading(QWidget *parent, const char *name, const QString &text, const QPoint &pos) {
    QLabel *label = makeLabel(parent, name, text, pos);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    label->setFont(font);
    label->adjustSize();
    return label;
}

QComboBox *makeList(QWidget *parent, const char *name, const QStringList &items, const QPoint &pos,
                    int width) {
    auto *list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setEditable(false);
    list->addItems(items);
    list->setCurrentIndex(-1);
    list->setGeometry(pos.x(), pos.y(), width, ListHeight);
    return list;
}

void selectItem(QComboBox *list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

void selectItemText(QComboBox *list, const QString &text) {
    selectItem(list, list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}
