#pragma once

#include "uikit/TavoxPage.h"

/// The "Node Config" page of the main sheet.
class CPgXmlConfigure : public CTavoxPage {
    Q_OBJECT

public:
    explicit CPgXmlConfigure(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~CPgXmlConfigure() override;

    void OnInitDialog() override;
};
