#include "upotikontr.h"

Tfpotikontr::Tfpotikontr(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfpotikontr"));
    setWindowTitle(QStringLiteral("An allen 5 Poti's drehen !"));
}
