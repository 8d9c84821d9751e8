#include "gui/setup/radiogroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const QStringList &items, QWidget *parent)
    : QGroupBox(parent)
    , m_group(new QButtonGroup(this)) {
    auto *layout = new QVBoxLayout(this);
    // The items share the group's height evenly, each with room for a whole line of text.
    layout->setContentsMargins(8, 2, 8, 2);
    layout->setSpacing(0);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        button->setObjectName(QStringLiteral("RadioGroupItem%1").arg(i));
        m_group->addButton(button, i);
        m_buttons << button;
        layout->addWidget(button);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &TRadioGroup::clicked);
}

int TRadioGroup::itemIndex() const {
    return m_group->checkedId();
}

void TRadioGroup::setItemIndex(int index) {
    if (m_buttons.isEmpty())
        return;
    if (index < 0) {
        // An exclusive group keeps one button checked; it lets go only while not exclusive.
        m_group->setExclusive(false);
        for (QRadioButton *button : std::as_const(m_buttons))
            button->setChecked(false);
        m_group->setExclusive(true);
        return;
    }
    m_buttons.at(std::min(index, int(m_buttons.size()) - 1))->setChecked(true);
    emit clicked();
}

QRadioButton *TRadioGroup::button(int index) const {
    return m_buttons.value(index);
}
