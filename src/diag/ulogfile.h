#pragma once

#include <QDialog>

// The log window: the device's log.
class Tflogfile final : public QDialog
{
    Q_OBJECT

public:
    explicit Tflogfile(QWidget *parent = nullptr);
};
