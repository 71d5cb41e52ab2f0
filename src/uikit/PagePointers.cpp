#include "uikit/PagePointers.h"

CPgStatus* g_pPgStatus = nullptr;
CPgEndpoints* g_pPgEndpoints = nullptr;
CPgUsers* g_pPgUsers = nullptr;
CPgXmlConfigure* g_pPgXmlConfigure = nullptr;
CPgODBCSQL* g_pPgODBCSQL = nullptr;
CPgAbout* g_pPgAbout = nullptr;
