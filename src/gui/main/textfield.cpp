#include "gui/main/textfield.h"

#include "gui/main/formcontrols.h"

TextField::TextField(QWidget *parent)
    : QLabel(parent) {}

void TextField::fit() {
    if (m_fittedText == text() && m_fittedSize == size() && m_fullFont)
        return;
    if (!m_fullFont) {
        m_fullFont = font();
        m_alignment = alignment();
    }
    m_fittedText = text();
    m_fittedSize = size();
    setAlignment(m_alignment);
    const bool whole = fitText(this, *m_fullFont);
    if (!whole)
        setAlignment((m_alignment & Qt::AlignVertical_Mask) | Qt::AlignLeft);
}

void TextField::paintEvent(QPaintEvent *event) {
    fit();
    QLabel::paintEvent(event);
}
