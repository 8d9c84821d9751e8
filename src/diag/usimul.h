#pragma once

#include <QDialog>

// The simulation window: simulated input signal or driven output current.
class Tfsimul final : public QDialog
{
    Q_OBJECT

public:
    explicit Tfsimul(QWidget *parent = nullptr);
};
