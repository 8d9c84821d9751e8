#include "usimul.h"

Tfsimul::Tfsimul(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfsimul"));
    setWindowTitle(QStringLiteral("KT290 - Simulation"));
}
