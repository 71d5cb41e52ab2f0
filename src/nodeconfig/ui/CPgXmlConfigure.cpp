#include "nodeconfig/ui/CPgXmlConfigure.h"

#include "uikit/PagePointers.h"

CPgXmlConfigure::CPgXmlConfigure(MessageBoxes& boxes, QWidget* parent)
    : CTavoxPage(QStringLiteral("Node Config"), boxes, parent)
{
}

CPgXmlConfigure::~CPgXmlConfigure()
{
    if (g_pPgXmlConfigure == this)
        g_pPgXmlConfigure = nullptr;
}

void CPgXmlConfigure::OnInitDialog()
{
    g_pPgXmlConfigure = this;
}
