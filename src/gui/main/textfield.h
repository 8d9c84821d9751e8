#pragma once

#include <QFont>
#include <QLabel>

#include <optional>

// A value field whose text always shows whole. Where the text runs wider than the field, it is
// drawn in a smaller font; a text too long even for the smallest font keeps its start (sign and
// first digit) in view. The font is chosen whenever the field is drawn, so every way the text is
// set is covered.
class TextField final : public QLabel {
    Q_OBJECT

public:
    explicit TextField(QWidget *parent = nullptr);

    // Chooses the font for the present text now rather than at the next drawing.
    void fit();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::optional<QFont> m_fullFont;
    Qt::Alignment m_alignment;
    QString m_fittedText;
    QSize m_fittedSize;
};
