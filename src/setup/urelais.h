#pragma once

#include <QDialog>

// The switch-point dialog: relay polarities, hysteresis and safety mode.
class Tfrelais final : public QDialog
{
    Q_OBJECT

public:
    explicit Tfrelais(QWidget *parent = nullptr);
};
