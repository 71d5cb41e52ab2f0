#pragma once

#include "uikit/TavoxPage.h"

/// The "ODBC Database" page of the main sheet.
class CPgODBCSQL : public CTavoxPage {
    Q_OBJECT

public:
    explicit CPgODBCSQL(MessageBoxes& boxes, QWidget* parent = nullptr);
    ~CPgODBCSQL() override;

    void OnInitDialog() override;
};
