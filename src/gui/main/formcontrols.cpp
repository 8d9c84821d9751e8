#include "gui/main/formcontrols.h"

#include "gui/main/textfield.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QSvgWidget>

#include <algorithm>

namespace {

// The smallest font a text is shrunk to (5 pixels at the usual 96 dots per inch): a value in
// exponent form still fits its field, smaller would no longer be legible.
constexpr int SmallestPixels = 5;
constexpr double SmallestPoints = 3.75;
// Qt's styles keep this gap between a button's icon and its caption.
constexpr int IconSpacing = 4;

// The caption as drawn: a single "&" marks the shortcut letter and is not shown.
QString shownCaption(const QString &caption) {
    QString shown = caption;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown.at(i) == QLatin1Char('&'))
            shown.remove(i, 1);
    }
    return shown;
}

// The room a button's style gives its caption.
QRect captionRect(const QAbstractButton *button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox *>(button)) {
        element = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<const QRadioButton *>(button)) {
        element = QStyle::SE_RadioButtonContents;
    } else if (const auto *push = qobject_cast<const QPushButton *>(button)) {
        if (push->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (push->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
    }
    QRect rect = button->style()->subElementRect(element, &option, button);
    if (!button->icon().isNull())
        rect.setWidth(rect.width() - button->iconSize().width() - IconSpacing);
    return rect;
}

bool shrink(QFont &font) {
    if (font.pixelSize() > 0) {
        if (font.pixelSize() <= SmallestPixels)
            return false;
        font.setPixelSize(font.pixelSize() - 1);
        return true;
    }
    if (font.pointSizeF() <= SmallestPoints)
        return false;
    font.setPointSizeF(std::max(SmallestPoints, font.pointSizeF() - 0.5));
    return true;
}

} // namespace

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

TextField *makeTextField(QWidget *parent, const char *name, const QRect &rect, const QString &text,
                         const QColor &background) {
    auto *field = new TextField(parent);
    field->setText(text);
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

bool textFits(const QWidget *control) {
    const QFontMetrics metrics(control->font());
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        if (label->text().isEmpty())
            return true;
        const QRect room = label->contentsRect().marginsRemoved(
            QMargins(label->margin(), label->margin(), label->margin(), label->margin()));
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = metrics.boundingRect(room, flags, label->text());
        return needed.width() <= room.width() && needed.height() <= room.height();
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(control)) {
        if (button->text().isEmpty())
            return true;
        const QRect room = captionRect(button);
        // A check box or radio button also asks for room around its caption (focus frame).
        const bool indicator =
            qobject_cast<const QCheckBox *>(button) || qobject_cast<const QRadioButton *>(button);
        if (indicator && button->sizeHint().width() > button->width())
            return false;
        return metrics.horizontalAdvance(shownCaption(button->text())) <= room.width() &&
               metrics.height() <= room.height();
    }
    return true;
}

bool fitText(QWidget *control, const QFont &full) {
    QFont font = full;
    control->setFont(font);
    while (!textFits(control)) {
        if (!shrink(font))
            return false;
        control->setFont(font);
    }
    return true;
}

void fitCaptions(QWidget *window) {
    // Controls placed by a layout get their size from it first.
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->layout())
            widget->layout()->activate();
    }
    if (window->layout())
        window->layout()->activate();
    for (QWidget *control : window->findChildren<QWidget *>()) {
        const bool caption =
            qobject_cast<QAbstractButton *>(control) ||
            (qobject_cast<QLabel *>(control) && !qobject_cast<TextField *>(control));
        if (caption && !textFits(control))
            fitText(control, control->font());
    }
    // The items of one group are read as one list: they share the smallest of their fonts.
    for (const QButtonGroup *group : window->findChildren<QButtonGroup *>()) {
        const QList<QAbstractButton *> buttons = group->buttons();
        const auto smallest = std::min_element(
            buttons.cbegin(), buttons.cend(),
            [](const QAbstractButton *a, const QAbstractButton *b) {
                return QFontInfo(a->font()).pixelSize() < QFontInfo(b->font()).pixelSize();
            });
        if (smallest == buttons.cend())
            continue;
        const QFont font = (*smallest)->font();
        for (QAbstractButton *button : buttons)
            button->setFont(font);
    }
}
