#include "pages/CPgEndpoints.h"

#include "app/PagePointers.h"

CPgEndpoints::CPgEndpoints(MessageBoxes& boxes, QWidget* parent)
    : CTavoxPage(QStringLiteral("Endpoints"), boxes, parent)
{
}

CPgEndpoints::~CPgEndpoints()
{
    if (g_pPgEndpoints == this)
        g_pPgEndpoints = nullptr;
}

void CPgEndpoints::OnInitDialog()
{
    g_pPgEndpoints = this;
}
