#pragma once

#include "nodeconfig/ui/CPgXmlConfigure.h"
