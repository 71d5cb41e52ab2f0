#pragma once

#include "app/TavoxPage.h"

class QLabel;

/// The "About" page: the application icon, the copyright with its disclaimer, and the
/// change of the login password.
class CPgAbout : public CTavoxPage {
    Q_OBJECT

public:
    explicit CPgAbout(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~CPgAbout() override;

    void OnInitDialog() override;

private slots:
    /// Opens "Change Login Password"; its result changes nothing on the page.
    void OnLoginPassword();

private:
    QLabel* m_icon;
};
