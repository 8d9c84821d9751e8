#pragma once

#include <QDialog>

// The setting-range dialog: potentiometer ranges and pressure direction.
class Tfeinst final : public QDialog
{
    Q_OBJECT

public:
    explicit Tfeinst(QWidget *parent = nullptr);
};
