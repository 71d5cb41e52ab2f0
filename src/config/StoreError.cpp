#include "config/StoreError.h"

support::Error storeError(platform::RegStatus status, const std::string& what)
{
    return { platform::regStatusErrorKind(status), what + ": " + platform::regStatusText(status) };
}
