#pragma once

#include "uikit/TavoxPage.h"
#include "users/CTavoxUsrAuth.h"
#include "certificates/ui/CDlgCertificates.h"
