#pragma once

#include "app/TavoxPage.h"

/// The "Endpoints" page of the main sheet.
class CPgEndpoints : public CTavoxPage {
    Q_OBJECT

public:
    explicit CPgEndpoints(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~CPgEndpoints() override;

    void OnInitDialog() override;
};
