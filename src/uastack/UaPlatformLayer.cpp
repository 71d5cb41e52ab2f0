#include "uastack/UaPlatformLayer.h"

int UaPlatformLayer::init() { return 0; }

void UaPlatformLayer::cleanup() {}
