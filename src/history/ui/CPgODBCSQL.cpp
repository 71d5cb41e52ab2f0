#include "history/ui/CPgODBCSQL.h"

#include "uikit/PagePointers.h"

CPgODBCSQL::CPgODBCSQL(MessageBoxes& boxes, QWidget* parent)
    : CTavoxPage(QStringLiteral("ODBC Database"), boxes, parent)
{
}

CPgODBCSQL::~CPgODBCSQL()
{
    if (g_pPgODBCSQL == this)
        g_pPgODBCSQL = nullptr;
}

void CPgODBCSQL::OnInitDialog()
{
    g_pPgODBCSQL = this;
}
