#pragma once

class CPgStatus;
class CPgEndpoints;
class CPgUsers;
class CPgXmlConfigure;
class CPgODBCSQL;
class CPgAbout;

// The process-wide page pointers: each page stores itself here in its window initialisation
// and clears its pointer when destroyed; the sheet and the other pages skip a null one.
extern CPgStatus* g_pPgStatus;
extern CPgEndpoints* g_pPgEndpoints;
extern CPgUsers* g_pPgUsers;
extern CPgXmlConfigure* g_pPgXmlConfigure;
extern CPgODBCSQL* g_pPgODBCSQL;
extern CPgAbout* g_pPgAbout;

/// In a page's destructor: clears the page's pointer while it points to the page.
template <class Page> void clearPagePointer(Page*& pointer, const Page* page)
{
    if (pointer == page)
        pointer = nullptr;
}
