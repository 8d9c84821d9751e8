#pragma once

#include <QDialog>

// The about box with the program's version and the online update.
class TAboutBox final : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);
};
