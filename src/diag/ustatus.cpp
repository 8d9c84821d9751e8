#include "ustatus.h"

Tfstatus::Tfstatus(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfstatus"));
    setWindowTitle(QStringLiteral("KT290 - Status"));
}
