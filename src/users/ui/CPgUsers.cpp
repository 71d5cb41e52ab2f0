#include "users/ui/CPgUsers.h"

#include "app/PagePointers.h"

CPgUsers::CPgUsers(MessageBoxes& boxes, QWidget* parent)
    : CTavoxPage(QStringLiteral("Users"), boxes, parent)
{
}

CPgUsers::~CPgUsers()
{
    if (g_pPgUsers == this)
        g_pPgUsers = nullptr;
}

void CPgUsers::OnInitDialog()
{
    g_pPgUsers = this;
}
