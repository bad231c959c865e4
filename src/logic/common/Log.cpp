#include "common/Log.h"

Q_LOGGING_CATEGORY(lcThinwick, "thinwick", QtWarningMsg)
