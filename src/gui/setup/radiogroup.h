#pragma once

#include <QGroupBox>
#include <QList>

class QButtonGroup;
class QRadioButton;

// A group of radio buttons with one item index, as the setup dialogs use it: giving it an item
// from code runs its click handler just as a click does; taking the choice away does not.
class TRadioGroup final : public QGroupBox {
    Q_OBJECT

public:
    explicit TRadioGroup(const QStringList &items, QWidget *parent = nullptr);

    // The chosen item, -1 without choice.
    int itemIndex() const;
    // Above the last item the last one is chosen, below 0 none.
    void setItemIndex(int index);
    QRadioButton *button(int index) const;
    int count() const { return int(m_buttons.size()); }

signals:
    // A choice was made, by the user or from code.
    void clicked();

private:
    QButtonGroup *m_group = nullptr;
    QList<QRadioButton *> m_buttons;
};
