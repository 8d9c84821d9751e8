#pragma once

#include <QDialog>

// The potentiometer check window; created at start-up, nothing drives it.
class Tfpotikontr final : public QDialog
{
    Q_OBJECT

public:
    explicit Tfpotikontr(QWidget *parent = nullptr);
};
