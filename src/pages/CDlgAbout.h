#pragma once

#include <QDialog>

/// The about box "About Tavox Utility": the program's name, version and copyright.
class CDlgAbout : public QDialog {
    Q_OBJECT

public:
    explicit CDlgAbout(QWidget* parent = nullptr);
};
