#pragma once

#include "app/TavoxPage.h"

/// The "Users" page of the main sheet.
class CPgUsers : public CTavoxPage {
    Q_OBJECT

public:
    explicit CPgUsers(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~CPgUsers() override;

    void OnInitDialog() override;
};
