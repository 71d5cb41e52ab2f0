#pragma once

#include "history/OdbcSettings.h"
