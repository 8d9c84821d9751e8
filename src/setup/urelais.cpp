#include "urelais.h"

Tfrelais::Tfrelais(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfrelais"));
    setWindowTitle(QStringLiteral("KT290 - Schaltpunkte"));
}
