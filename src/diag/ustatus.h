#pragma once

#include <QDialog>

// The status window: the device's full status report and a small terminal.
class Tfstatus final : public QDialog
{
    Q_OBJECT

public:
    explicit Tfstatus(QWidget *parent = nullptr);
};
