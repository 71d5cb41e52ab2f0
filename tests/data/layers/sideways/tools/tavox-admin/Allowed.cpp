#include "RegFile.h"
#include "config/CTavoxEnvmnt.h"
#include "tavox-admin/AdminTool.h"
