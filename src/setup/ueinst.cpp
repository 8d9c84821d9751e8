#include "ueinst.h"

Tfeinst::Tfeinst(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tfeinst"));
    setWindowTitle(QStringLiteral("KT290 - Einstellbereiche"));
}
